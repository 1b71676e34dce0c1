#include "windows/icons/IconLibraryObjects.h"

#include <olectl.h>

#include <string>

#include "core/common/Error.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"
#include "windows/translator/CaptionText.h"

namespace qor::icons {

namespace {
constexpr const wchar_t* kSource = L"QORIcons";
constexpr short kLargestSize = 256;

// A picture that owns the icon: the icon lives exactly as long as the picture.
void PictureOf(short id, int size, IPictureDisp** picture) {
    com::UniqueHicon icon(static_cast<HICON>(LoadImageW(com::Module::Handle(), MAKEINTRESOURCEW(id),
                                                        IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon)
        throw QorError(err::kInvalidCall, "The icon library has no icon " + std::to_string(id),
                       "QORIcons");
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.picType = PICTYPE_ICON;
    description.icon.hicon = icon.Get();
    com::ThrowIfFailed(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                                reinterpret_cast<void**>(picture)),
                       "OleCreatePictureIndirect");
    icon.Release();  // the picture owns it now
}
}  // namespace

STDMETHODIMP IconsObject::GetIcon(short* id, IPictureDisp** picture) {
    if (!id || !picture) return E_POINTER;
    *picture = nullptr;
    return com::Guard(__uuidof(IIcons), kSource, [&] {
        // The notification area's size, so the icon stays sharp at any DPI setting.
        PictureOf(*id, GetSystemMetrics(SM_CXSMICON), picture);
    });
}

STDMETHODIMP IconsObject::GetIconSized(short id, short size, IPictureDisp** picture) {
    if (!picture) return E_POINTER;
    *picture = nullptr;
    return com::Guard(__uuidof(IIcons), kSource, [&] {
        if (size <= 0 || size > kLargestSize)
            throw QorError(err::kInvalidCall, "Icon size out of range", "QORIcons");
        PictureOf(id, size, picture);
    });
}

StringTableObject::StringTableObject() noexcept : language_(captions::LanguageFromSettings()) {}

STDMETHODIMP StringTableObject::Translate(BSTR* literal, BSTR* text) {
    if (!literal || !text) return E_POINTER;
    *text = nullptr;
    return com::Guard(__uuidof(IStringTable), kSource, [&] {
        std::wstring_view caption(*literal ? *literal : L"", SysStringLen(*literal));
        *text = com::Bstr(captions::Translate(com::Module::Handle(), language_, caption)).Release();
    });
}

HRESULT CreateIcons(REFIID riid, void** out) noexcept {
    return com::CreateWithNew<IconsObject>(riid, out);
}

HRESULT CreateStringTable(REFIID riid, void** out) noexcept {
    return com::CreateWithNew<StringTableObject>(riid, out);
}

}  // namespace qor::icons
