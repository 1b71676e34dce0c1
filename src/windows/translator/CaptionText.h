#pragma once
// Caption literals ("#01109#Dial") and the display texts the string tables give for
// them. Shared by the caption translator and the icon library's string class, so
// both turn a literal into the same text.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace qor::captions {

struct CaptionLiteral {
    unsigned number = 0;            // the five-digit text number
    std::wstring_view defaultText;  // the wording after the second "#"
};

// Splits "#", five digits, "#", default text; anything else is no literal.
std::optional<CaptionLiteral> ParseLiteral(std::wstring_view text) noexcept;

// The language chosen by HKCU\Software\Norvane\5521\qorIcon\Settings "Language":
// "de" gives German, anything else (or nothing) English.
LANGID LanguageFromSettings() noexcept;

// The text with that number in the given language's table of the module.
std::optional<std::wstring> LoadText(HMODULE module, LANGID language, unsigned number);

// Display text of a caption: the table's text for a literal, the literal's own
// default text when the table has none, and any other text unchanged.
std::wstring Translate(HMODULE module, LANGID language, std::wstring_view caption);

}  // namespace qor::captions
