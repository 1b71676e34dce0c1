#pragma once
// Owning smart pointer for COM interfaces: one AddRef per copy, one Release per
// owner. Move-only use is the norm; copies exist because sink lists and snapshots
// need them.

#include <unknwn.h>

#include <utility>

namespace qor::com {

template <class T>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference of p.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns (for instance a freshly created object).
    static ComPtr Adopt(T* p) noexcept {
        ComPtr result;
        result.p_ = p;
        return result;
    }

    void Reset() noexcept {
        // Clear before releasing: the release may re-enter and look at this pointer.
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Address for an out parameter; releases what was held first.
    T** Put() noexcept {
        Reset();
        return &p_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    // Hands a new reference to an out parameter.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = p_;
        if (p_) p_->AddRef();
        return S_OK;
    }

    template <class U>
    ComPtr<U> As() const noexcept {
        ComPtr<U> result;
        if (p_) p_->QueryInterface(__uuidof(U), result.PutVoid());
        return result;
    }
    ComPtr<IUnknown> AsUnknown(REFIID iid) const noexcept {
        ComPtr<IUnknown> result;
        if (p_) p_->QueryInterface(iid, result.PutVoid());
        return result;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }

  private:
    T* p_ = nullptr;
};

// Whether two pointers are the same COM object (identity through IUnknown).
inline bool SameObject(IUnknown* a, IUnknown* b) noexcept {
    if (a == b) return true;
    if (!a || !b) return false;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, ua.PutVoid());
    b->QueryInterface(IID_IUnknown, ub.PutVoid());
    return ua.Get() == ub.Get();
}

}  // namespace qor::com
