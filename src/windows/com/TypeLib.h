#pragma once
// The type libraries embedded in the module (resource 1 TYPELIB: the module's own;
// further ones: contracts its own imports), loaded once per process without
// touching the registry, and the type infos that IDispatch, IProvideClassInfo and
// the error info are built on.

#include <windows.h>

#include <oaidl.h>

#include "windows/com/ComPtr.h"

namespace qor::com {

class TypeLib {
  public:
    // The module's own type library; throws ComError when it cannot be loaded.
    static ComPtr<ITypeLib> Get();
    // The type info for an interface, dispinterface or coclass of any of the
    // module's type libraries. For a
    // dual interface this is its vtable (TKIND_INTERFACE) half, which is what
    // ITypeInfo::Invoke needs to call our methods.
    static ComPtr<ITypeInfo> Info(REFGUID guid);
    // Drops the cache; called when the module is about to be unloaded.
    static void Clear() noexcept;
};

}  // namespace qor::com
