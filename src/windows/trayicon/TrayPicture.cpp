#include "windows/trayicon/TrayPicture.h"

#include <olectl.h>

#include <utility>

#include "core/common/Error.h"
#include "windows/com/Errors.h"

namespace qor::tray {

TrayPicture::TrayPicture(IPictureDisp* picture) {
    if (!picture) return;
    com::ThrowIfFailed(picture->QueryInterface(IID_IPicture, ole_.PutVoid()), "IPicture");
    SHORT type = PICTYPE_NONE;
    com::ThrowIfFailed(ole_->get_Type(&type), "IPicture::get_Type");
    if (type != PICTYPE_ICON)
        throw QorError(err::kInvalidCall, "The tray icon needs an icon picture", "TrayIconCtl");
    com::ThrowIfFailed(picture->QueryInterface(IID_IUnknown, picture_.PutVoid()), "IUnknown");
    sizes_ = picture_.As<icons::ISizedIcon>();
}

// Asked for only when no icon of the right size can be drawn: a picture of the
// icon library makes its own icon on demand, and is mostly never asked.
HICON TrayPicture::Own() noexcept {
    OLE_HANDLE handle = 0;
    if (!own_ && ole_ && SUCCEEDED(ole_->get_Handle(&handle)))
        // OLE_HANDLE is 32 bits; user handles are sign-extended on 64-bit Windows.
        own_ = static_cast<HICON>(LongToHandle(static_cast<LONG>(handle)));
    return own_;
}

HICON TrayPicture::At(int size) noexcept {
    if (!sizes_ || size <= 0) return Own();
    if (cached_ && cachedSize_ == size) return cached_.Get();
    HICON drawn = nullptr;
    if (FAILED(sizes_->IconOfSize(size, size, &drawn)) || !drawn) return Own();
    // The new icon is made before the old one goes, so its handle cannot repeat the
    // old one's and pass for the icon the shell already shows.
    cached_.Reset(drawn);
    cachedSize_ = size;
    return drawn;
}

}  // namespace qor::tray
