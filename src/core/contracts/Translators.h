#pragma once
// The two caption translators. A caption literal is "#", five digits, "#" and a
// default text ("#01109#Dial"); Translate gives the text to display for it.

#include <functional>
#include <string>

namespace qor {

// What a translator sees of the tray form: every design caption it may translate.
class ITranslatableForm {
  public:
    virtual ~ITranslatableForm() = default;
    virtual void ForEachCaption(const std::function<void(std::string& caption)>& visit) = 0;
};

// The process-wide translator of the form's captions.
class ICaptionTranslator {
  public:
    virtual ~ICaptionTranslator() = default;
    virtual std::string Translate(std::string& literal) = 0;
    virtual void TranslateForm(ITranslatableForm& form) = 0;
};

// The icon library's string class.
class IStringTable {
  public:
    virtual ~IStringTable() = default;
    virtual std::string Translate(std::string& literal) = 0;
};

}  // namespace qor
