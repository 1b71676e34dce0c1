#include "windows/icons/IconLibraryObjects.h"

#include <olectl.h>

#include <string>
#include <utility>

#include "core/common/Error.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Object.h"
#include "windows/com/Owners.h"
#include "windows/icons/SizedIcon.h"
#include "windows/translator/CaptionText.h"

namespace qor::icons {

namespace {
constexpr const wchar_t* kSource = L"QORIcons";
constexpr short kLargestSize = 256;

HICON LoadIconOfSize(short id, int width, int height) noexcept {
    // The group's image nearest to the size, scaled to it when none is exact.
    return static_cast<HICON>(LoadImageW(com::Module::Handle(), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         width, height, LR_DEFAULTCOLOR));
}

// A picture of one icon group: an ordinary OLE picture of the size asked for, which
// every client can use, wrapped so that it also hands out the group's other sizes.
// The picture keeps the library loaded: the group lives in its resources.
//
// The OLE picture (and its icon handle) is made on first use. A form fetches every
// picture it may show when it loads and shows one of them, at the size the
// notification area asks of ISizedIcon: icons made for the others up front would
// only cost the start.
class IconPicture final : public com::ComObject<IconPicture, IPictureDisp, IPicture, ISizedIcon> {
  public:
    IconPicture(short id, int size) noexcept : id_(id), size_(size) {}

    void* Cast(REFIID riid) noexcept {
        if (IsEqualIID(riid, IID_IDispatch)) return static_cast<IPictureDisp*>(this);
        return ComObject::Cast(riid);
    }

    // ISizedIcon
    STDMETHODIMP IconOfSize(int width, int height, HICON* icon) override {
        if (!icon) return E_POINTER;
        *icon = nullptr;
        if (width <= 0 || height <= 0 || width > kLargestSize || height > kLargestSize)
            return E_INVALIDARG;
        *icon = LoadIconOfSize(id_, width, height);
        return *icon ? S_OK : LastError();
    }

    // IPictureDisp: the OLE picture's own properties (Handle, Type, Width...).
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        return Made([&] { return dispatch_->GetTypeInfoCount(count); });
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return Made([&] { return dispatch_->GetTypeInfo(index, lcid, info); });
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override {
        return Made([&] { return dispatch_->GetIDsOfNames(riid, names, count, lcid, ids); });
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        return Made([&] {
            return dispatch_->Invoke(id, riid, lcid, flags, params, result, excep, argErr);
        });
    }

    // IPicture
    STDMETHODIMP get_Handle(OLE_HANDLE* handle) override {
        return Made([&] { return picture_->get_Handle(handle); });
    }
    STDMETHODIMP get_hPal(OLE_HANDLE* palette) override {
        return Made([&] { return picture_->get_hPal(palette); });
    }
    // Known without the icon: it is one.
    STDMETHODIMP get_Type(SHORT* type) override {
        if (!type) return E_POINTER;
        *type = PICTYPE_ICON;
        return S_OK;
    }
    STDMETHODIMP get_Width(OLE_XSIZE_HIMETRIC* width) override {
        return Made([&] { return picture_->get_Width(width); });
    }
    STDMETHODIMP get_Height(OLE_YSIZE_HIMETRIC* height) override {
        return Made([&] { return picture_->get_Height(height); });
    }
    STDMETHODIMP Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                        OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                        LPCRECT bounds) override {
        return Made(
            [&] { return picture_->Render(dc, x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc, bounds); });
    }
    STDMETHODIMP set_hPal(OLE_HANDLE palette) override {
        return Made([&] { return picture_->set_hPal(palette); });
    }
    STDMETHODIMP get_CurDC(HDC* dc) override {
        return Made([&] { return picture_->get_CurDC(dc); });
    }
    STDMETHODIMP SelectPicture(HDC in, HDC* out, OLE_HANDLE* bitmap) override {
        return Made([&] { return picture_->SelectPicture(in, out, bitmap); });
    }
    STDMETHODIMP get_KeepOriginalFormat(BOOL* keep) override {
        return Made([&] { return picture_->get_KeepOriginalFormat(keep); });
    }
    STDMETHODIMP put_KeepOriginalFormat(BOOL keep) override {
        return Made([&] { return picture_->put_KeepOriginalFormat(keep); });
    }
    STDMETHODIMP PictureChanged() override {
        return Made([&] { return picture_->PictureChanged(); });
    }
    STDMETHODIMP SaveAsFile(LPSTREAM stream, BOOL saveMemCopy, LONG* size) override {
        return Made([&] { return picture_->SaveAsFile(stream, saveMemCopy, size); });
    }
    STDMETHODIMP get_Attributes(DWORD* attributes) override {
        return Made([&] { return picture_->get_Attributes(attributes); });
    }

  private:
    static HRESULT LastError() noexcept {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }

    // Runs `call` on the OLE picture, made first if it is not yet.
    template <class Call>
    HRESULT Made(Call&& call) noexcept {
        if (!picture_) {
            com::UniqueHicon icon(LoadIconOfSize(id_, size_, size_));
            if (!icon) return LastError();
            PICTDESC description{};
            description.cbSizeofstruct = sizeof(description);
            description.picType = PICTYPE_ICON;
            description.icon.hicon = icon.Get();
            // The OLE picture owns the icon from here on: it lives exactly as long as
            // the picture.
            com::ComPtr<IPicture> ole;
            const HRESULT hr =
                OleCreatePictureIndirect(&description, IID_IPicture, TRUE, ole.PutVoid());
            if (FAILED(hr)) return hr;
            icon.Release();
            com::ComPtr<IPictureDisp> dispatch;
            if (FAILED(ole->QueryInterface(IID_IPictureDisp, dispatch.PutVoid())))
                return E_NOINTERFACE;
            picture_ = std::move(ole);
            dispatch_ = std::move(dispatch);
        }
        return call();
    }

    short id_;
    int size_;
    com::ComPtr<IPicture> picture_;
    com::ComPtr<IPictureDisp> dispatch_;
};

void PictureOf(short id, int size, IPictureDisp** picture) {
    // Only a group that exists gives a picture: the failure comes now, not at the
    // picture's first use.
    if (!FindResourceW(com::Module::Handle(), MAKEINTRESOURCEW(id),
                       reinterpret_cast<LPCWSTR>(RT_GROUP_ICON)))
        throw QorError(err::kInvalidCall, "The icon library has no icon " + std::to_string(id),
                       "QORIcons");
    *picture = static_cast<IPictureDisp*>(new IconPicture(id, size));
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
