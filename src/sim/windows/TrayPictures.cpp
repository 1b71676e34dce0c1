// Reading pictures: which of the icon library's pictures the control shows, and
// what Wine's notification area looks like on screen.

#include <olectl.h>

#include <cstdio>
#include <exception>

#include "sim/windows/TrayObserver.h"
#include "sim/windows/TrayObserverState.h"
#include "windows/com/Automation.h"
#include "windows/com/Owners.h"

namespace qor::sim::win {

namespace {

constexpr wchar_t kIconsProgId[] = L"QORIcons.Icons";

void DeleteBitmap(HBITMAP bitmap) noexcept {
    DeleteObject(bitmap);
}
using UniqueBitmap = com::Unique<HBITMAP, DeleteBitmap>;

BOOL CALLBACK AddIconId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<short>*>(ids)->push_back(
            static_cast<short>(reinterpret_cast<UINT_PTR>(name)));
    return TRUE;
}

// An icon's colour and mask bits as 32-bpp rows, with their sizes: two icons with
// the same pixels give the same bytes whichever handle or picture carries them.
std::vector<std::uint8_t> PixelsOf(HICON icon) {
    std::vector<std::uint8_t> pixels;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return pixels;
    UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
    HDC screen = GetDC(nullptr);
    for (HBITMAP bitmap : {color.Get(), mask.Get()}) {
        BITMAP size{};
        if (!bitmap || !GetObjectW(bitmap, sizeof size, &size)) continue;
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = size.bmWidth;
        format.bmiHeader.biHeight = -size.bmHeight;  // top-down
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        std::vector<std::uint8_t> rows(static_cast<std::size_t>(size.bmWidth) * size.bmHeight * 4);
        if (!GetDIBits(screen, bitmap, 0, size.bmHeight, rows.data(), &format, DIB_RGB_COLORS))
            continue;
        const auto* header = reinterpret_cast<const std::uint8_t*>(&size.bmWidth);
        pixels.insert(pixels.end(), header, header + sizeof size.bmWidth * 2);
        pixels.insert(pixels.end(), rows.begin(), rows.end());
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

HICON IconOf(IDispatch* picture) {
    if (!picture) return nullptr;
    auto ole = com::ComPtr<IDispatch>(picture).As<IPicture>();
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (!ole || FAILED(ole->get_Type(&type)) || type != PICTYPE_ICON ||
        FAILED(ole->get_Handle(&handle)))
        return nullptr;
    return reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle));
}

// The icon ids the library holds: its module's icon resources, so the list is the
// library's own and not a copy that could go stale.
std::vector<short> LibraryIds(IDispatch* icons) {
    std::vector<short> ids;
    HMODULE module = nullptr;
    // The object's table of methods lives in the module that implements it.
    const void* methods = *reinterpret_cast<void* const*>(icons);
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(methods), &module))
        return ids;
    EnumResourceNamesW(module, RT_GROUP_ICON, AddIconId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

}  // namespace

std::string TrayObserver::IconIdOf(IDispatch* picture) {
    if (!picture) return "none";
    if (!libraryLoaded_) {
        libraryLoaded_ = true;
        com::ComPtr<IDispatch> icons;
        try {
            icons = com::CreateByProgId(kIconsProgId);
        } catch (const std::exception&) {
            // Without the icon library no picture can be named: all read "unknown".
        }
        for (short id : icons ? LibraryIds(icons.Get()) : std::vector<short>{}) {
            std::int16_t requested = id;
            VARIANT args[] = {com::RefTo(&requested)};
            com::Variant own = com::InvokeByName(icons.Get(), L"GetIcon", DISPATCH_METHOD, args);
            auto pixels = PixelsOf(IconOf(com::DispatchOf(*own.Get()).Get()));
            if (!pixels.empty()) library_.emplace_back(std::to_string(id), std::move(pixels));
        }
    }
    HICON icon = IconOf(picture);
    if (!icon) return "unknown";
    const auto pixels = PixelsOf(icon);
    for (const auto& [id, known] : library_)
        if (known == pixels) return id;
    return "unknown";
}

bool TrayObserver::SaveScreenshot(const std::string& bmpPath) {
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    if (HWND icon = ShellIcon()) tray = GetAncestor(icon, GA_ROOT);
    // The client area only: without a window manager nobody draws the frame.
    RECT rect{};
    if (!tray || !GetClientRect(tray, &rect)) return false;
    MapWindowPoints(tray, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    // The tray window belongs to the shell's process: its pixels are read from the
    // screen, as a user would see them.
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    UniqueBitmap picture(CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool copied = false;
    if (memory && picture && bits) {
        HGDIOBJ old = SelectObject(memory, picture.Get());
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) return false;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof format.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    format.bmiHeader.biSizeImage = imageSize;
    FILE* out = std::fopen(bmpPath.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                   std::fwrite(&format.bmiHeader, sizeof format.bmiHeader, 1, out) == 1 &&
                   std::fwrite(bits, imageSize, 1, out) == 1;
    written = std::fclose(out) == 0 && written;
    return written;
}

}  // namespace qor::sim::win
