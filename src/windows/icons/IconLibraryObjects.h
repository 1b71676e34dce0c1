#pragma once
// The two classes of the icon library: pictures by icon id (the icons are resources
// of this DLL, each in several sizes) and the string class.

#include "qoricons.h"
#include "windows/com/Dispatch.h"

namespace qor::icons {

class IconsObject final : public com::DispatchObject<IconsObject, IIcons> {
  public:
    STDMETHODIMP GetIcon(short* id, IPictureDisp** picture) override;
    STDMETHODIMP GetIconSized(short id, short size, IPictureDisp** picture) override;
};

class StringTableObject final : public com::DispatchObject<StringTableObject, IStringTable> {
  public:
    StringTableObject() noexcept;
    STDMETHODIMP Translate(BSTR* literal, BSTR* text) override;

  private:
    LANGID language_;
};

HRESULT CreateIcons(REFIID riid, void** out) noexcept;
HRESULT CreateStringTable(REFIID riid, void** out) noexcept;

}  // namespace qor::icons
