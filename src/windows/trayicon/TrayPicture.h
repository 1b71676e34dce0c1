#pragma once
// A picture handed to the tray icon control, seen as the icon the notification
// area wants: at the size it asks for when the picture can draw that size (the
// icon library's pictures can), else the picture's own icon, which the shell scales.

#include <windows.h>

#include <ocidl.h>

#include "windows/com/ComPtr.h"
#include "windows/com/Owners.h"
#include "windows/icons/SizedIcon.h"

namespace qor::tray {

class TrayPicture {
  public:
    TrayPicture() noexcept = default;
    // Throws when the picture is not an icon: only icons go to the notification area.
    explicit TrayPicture(IPictureDisp* picture);

    // The icon to show at size x size pixels; null for no picture. The handle stays
    // valid until the next call with another size, or until this object goes.
    HICON At(int size) noexcept;

    // Whether both stand for the same picture object.
    bool operator==(const TrayPicture& other) const noexcept {
        return picture_.Get() == other.picture_.Get();
    }

  private:
    HICON Own() noexcept;

    com::ComPtr<IPicture> ole_;
    HICON own_ = nullptr;            // the picture's icon, alive as long as the picture
    com::ComPtr<IUnknown> picture_;  // its identity
    com::ComPtr<icons::ISizedIcon> sizes_;
    int cachedSize_ = 0;
    com::UniqueHicon cached_;
};

}  // namespace qor::tray
