#include "windows/com/TypeLib.h"

#include <utility>
#include <vector>

#include "windows/com/Errors.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"

namespace qor::com {

namespace {
// Script hosts may create objects on other threads (their own apartments), so the
// cache is shared under a lock. Raw pointers on purpose: nothing may call into
// oleaut32 from a static destructor while the DLL is being detached.
SRWLOCK gLock = SRWLOCK_INIT;
ITypeLib* gLib = nullptr;
std::vector<ITypeLib*> gImported;  // resources 2, 3, ... in order
std::vector<std::pair<GUID, ITypeInfo*>> gInfos;

ComPtr<ITypeInfo> VtableHalf(ComPtr<ITypeInfo> info) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return info;
    const bool dual = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    if (!dual) return info;
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(info->GetRefTypeInfo(ref, vtable.Put())))
        return vtable;
    return info;
}
}  // namespace

ComPtr<ITypeLib> TypeLib::Get() {
    ExclusiveLock lock(gLock);
    if (!gLib) {
        const std::wstring path = Module::Path();
        ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &gLib), "LoadTypeLibEx");
        // The contracts the module's library imports come along in the module too.
        // Loaded now, oleaut32 finds them among its loaded libraries when it follows
        // a reference into one, whether or not they are registered.
        // Each attempt maps the module once more: only resources that exist are asked for.
        for (int index = 2; FindResourceW(Module::Handle(), MAKEINTRESOURCEW(index), L"TYPELIB");
             ++index) {
            const std::wstring resource = path + L"\\" + std::to_wstring(index);
            ITypeLib* imported = nullptr;
            if (FAILED(LoadTypeLibEx(resource.c_str(), REGKIND_NONE, &imported))) break;
            gImported.push_back(imported);
        }
    }
    return ComPtr<ITypeLib>(gLib);
}

ComPtr<ITypeInfo> TypeLib::Info(REFGUID guid) {
    ComPtr<ITypeLib> lib = Get();
    ExclusiveLock lock(gLock);
    for (auto& [id, info] : gInfos)
        if (IsEqualGUID(id, guid)) return ComPtr<ITypeInfo>(info);
    ComPtr<ITypeInfo> info;
    HRESULT hr = lib->GetTypeInfoOfGuid(guid, info.Put());
    for (ITypeLib* imported : gImported)
        if (FAILED(hr)) hr = imported->GetTypeInfoOfGuid(guid, info.Put());
    ThrowIfFailed(hr, "GetTypeInfoOfGuid");
    info = VtableHalf(std::move(info));
    gInfos.emplace_back(guid, info.Get());
    info->AddRef();  // the cache's reference
    return info;
}

void TypeLib::Clear() noexcept {
    ExclusiveLock lock(gLock);
    for (auto& entry : gInfos) entry.second->Release();
    gInfos.clear();
    for (ITypeLib* imported : gImported) imported->Release();
    gImported.clear();
    if (gLib) std::exchange(gLib, nullptr)->Release();
}

}  // namespace qor::com
