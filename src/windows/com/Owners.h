#pragma once
// Move-only owners of the Win32 and automation resources the DLLs use: one owner
// type per kind of handle, so no business code calls a close function itself.

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <utility>

namespace qor::com {

// Owner of a handle-like value with a close function.
template <class H, auto Close, H Invalid = H{}>
class Unique {
  public:
    Unique() noexcept = default;
    explicit Unique(H h) noexcept : h_(h) {}
    Unique(Unique&& other) noexcept : h_(std::exchange(other.h_, Invalid)) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.h_, Invalid));
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    void Reset(H h = Invalid) noexcept {
        if (H old = std::exchange(h_, h); old != Invalid) Close(old);
    }
    H Release() noexcept { return std::exchange(h_, Invalid); }
    H Get() const noexcept { return h_; }
    H* Put() noexcept {
        Reset();
        return &h_;
    }
    // For an [in, out] parameter: the callee may free the value and leave another
    // one there, which the owner then holds.
    H* InOut() noexcept { return &h_; }
    explicit operator bool() const noexcept { return h_ != Invalid; }

  private:
    H h_ = Invalid;
};

namespace detail {
inline void CloseKey(HKEY h) noexcept {
    // The predefined roots are not ours to close.
    if (reinterpret_cast<ULONG_PTR>(h) < 0x80000000u ||
        reinterpret_cast<ULONG_PTR>(h) > 0x800000FFu)
        RegCloseKey(h);
}
inline void CloseHandleFn(HANDLE h) noexcept {
    CloseHandle(h);
}
inline void DestroyMenuFn(HMENU h) noexcept {
    DestroyMenu(h);
}
inline void DestroyWindowFn(HWND h) noexcept {
    DestroyWindow(h);
}
inline void DestroyIconFn(HICON h) noexcept {
    DestroyIcon(h);
}
inline void FreeBstr(BSTR b) noexcept {
    SysFreeString(b);
}
inline void FreeGlobal(HGLOBAL h) noexcept {
    GlobalFree(h);
}
}  // namespace detail

using UniqueHkey = Unique<HKEY, detail::CloseKey>;
using UniqueHandle = Unique<HANDLE, detail::CloseHandleFn>;
using UniqueHmenu = Unique<HMENU, detail::DestroyMenuFn>;
using UniqueHwnd = Unique<HWND, detail::DestroyWindowFn>;
using UniqueHicon = Unique<HICON, detail::DestroyIconFn>;
// A global memory block until it is handed over (Release) to the clipboard or a medium.
using UniqueHglobal = Unique<HGLOBAL, detail::FreeGlobal>;

// Holds an SRW lock exclusively for its lifetime.
class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) {
        AcquireSRWLockExclusive(&lock_);
    }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& lock_;
};

// The memory of a global block, locked for its lifetime; Data() is null when the
// block could not be locked (a discarded or invalid block).
class GlobalLockGuard {
  public:
    explicit GlobalLockGuard(HGLOBAL block) noexcept : block_(block), data_(GlobalLock(block)) {}
    ~GlobalLockGuard() {
        if (data_) GlobalUnlock(block_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* Data() const noexcept { return data_; }

  private:
    HGLOBAL block_;
    void* data_;
};

// A BSTR we own. Get() of an empty owner is null, which automation reads as "".
class Bstr : public Unique<BSTR, detail::FreeBstr> {
  public:
    using Unique::Unique;
    Bstr() noexcept = default;
    explicit Bstr(const wchar_t* text) : Unique(text ? SysAllocString(text) : nullptr) {}
    explicit Bstr(const std::wstring& text)
        : Unique(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    UINT Length() const noexcept { return Get() ? SysStringLen(Get()) : 0; }
    std::wstring Wide() const { return std::wstring(Get() ? Get() : L"", Length()); }
};

// A VARIANT we own: VariantClear on destruction.
class Variant {
  public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&v_);
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }

    VARIANT* Put() noexcept {
        VariantClear(&v_);
        return &v_;
    }
    VARIANT* Get() noexcept { return &v_; }
    const VARIANT* Get() const noexcept { return &v_; }
    VARIANT& operator*() noexcept { return v_; }
    VARTYPE Type() const noexcept { return V_VT(&v_); }
    // Hands the value over to a raw VARIANT the caller then owns.
    void Detach(VARIANT* out) noexcept {
        *out = v_;
        VariantInit(&v_);
    }

  private:
    VARIANT v_;
};

}  // namespace qor::com
