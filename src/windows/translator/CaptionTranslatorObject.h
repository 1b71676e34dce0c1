#pragma once
// The caption translator class: display texts from the string tables built into
// this DLL, in the language the settings choose when the object is created.

#include "qortranslate.h"
#include "windows/com/Dispatch.h"

namespace qor::captions {

class CaptionTranslatorObject final
    : public com::DispatchObject<CaptionTranslatorObject, ICaptionTranslator> {
  public:
    CaptionTranslatorObject() noexcept;

    STDMETHODIMP Translate(BSTR* literal, BSTR* text) override;
    STDMETHODIMP TranslateForm(IDispatch* form) override;

  private:
    LANGID language_;
};

HRESULT CreateCaptionTranslator(REFIID riid, void** out) noexcept;

}  // namespace qor::captions
