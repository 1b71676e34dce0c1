#pragma once
// What the icon library's pictures offer besides IPicture, and what the tray icon
// control asks them for. An OLE picture made from one icon handle holds one size,
// but the notification area wants another at every DPI setting: a picture of the
// library also answers ISizedIcon and hands out its icon at any size, drawn from
// the image of the icon group nearest to it. A picture from elsewhere does not
// answer it and is shown as it is. In-process only: no proxy exists for it.

#include <windows.h>

#include <unknwn.h>

namespace qor::icons {

struct ISizedIcon : public IUnknown {
    // A new icon of exactly width x height pixels; the caller destroys it.
    virtual HRESULT STDMETHODCALLTYPE IconOfSize(int width, int height, HICON* icon) = 0;
};

}  // namespace qor::icons

__CRT_UUID_DECL(qor::icons::ISizedIcon, 0x8ab733c3, 0x70c5, 0x4f7b, 0xb0, 0xab, 0xc5, 0x1b, 0x9d,
                0x9e, 0x96, 0xb8)
