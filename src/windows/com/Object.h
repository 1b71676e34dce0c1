#pragma once
// Reference counting and QueryInterface for a COM class that implements the
// listed interfaces. The class starts with one reference owned by its creator:
//
//   class Foo : public ComObject<Foo, IFoo, ISupportErrorInfo> { ... };
//   auto foo = ComPtr<IFoo>::Adopt(new Foo(...));
//
// QueryInterface answers IUnknown and every listed interface by __uuidof; a class
// answers more (IDispatch for a dual, a dispinterface id) by defining
// a public `void* Cast(REFIID)` and falling back to ComObject::Cast.

#include <unknwn.h>

#include "windows/com/Module.h"

namespace qor::com {

template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
  public:
    ComObject() noexcept { Module::Lock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { Module::Unlock(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = static_cast<Derived*>(this)->Cast(riid);
        if (!*out) return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    IUnknown* Unknown() noexcept { return static_cast<First*>(this); }

  protected:
    void* Cast(REFIID riid) noexcept {
        if (IsEqualIID(riid, IID_IUnknown)) return Unknown();
        void* found = nullptr;
        (TryCast<First>(riid, found) || ... || TryCast<Rest>(riid, found));
        return found;
    }
    // The current count, for tests of the owners.
    LONG RefCount() const noexcept { return refs_; }

  private:
    template <class I>
    bool TryCast(REFIID riid, void*& found) noexcept {
        if (!IsEqualIID(riid, __uuidof(I))) return false;
        found = static_cast<I*>(this);
        return true;
    }

    volatile LONG refs_ = 1;
};

}  // namespace qor::com
