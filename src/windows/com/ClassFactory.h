#pragma once
// A static class factory per creatable class: no heap object, no reference count
// of its own (it lives as long as the module), creation through a plain function
// so each class decides how it is built and what its creation failure looks like.

#include <unknwn.h>

#include "windows/com/ComPtr.h"
#include "windows/com/Errors.h"
#include "windows/com/Module.h"

namespace qor::com {

// Creates a new object and returns the requested interface. Must not throw.
using CreateFn = HRESULT (*)(REFIID riid, void** out);

class ClassFactory final : public IClassFactory {
  public:
    constexpr explicit ClassFactory(CreateFn create) noexcept : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

  private:
    CreateFn create_;
};

// Standard creation for a class built by `new T()` (whose constructor may throw):
// the creator's reference is dropped after the QueryInterface.
// A failing constructor becomes the creation's COM error (with its error info).
template <class T>
HRESULT CreateWithNew(REFIID riid, void** out) noexcept {
    return Guard(riid, L"", [&] {
        auto object = ComPtr<IUnknown>::Adopt((new T())->Unknown());
        return object->QueryInterface(riid, out);
    });
}

}  // namespace qor::com
