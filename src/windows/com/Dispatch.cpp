#include "windows/com/Dispatch.h"

namespace qor::com {

namespace {

// The member `id` as `flags` calls it; null when the interface has none (Invoke
// then answers DISP_E_MEMBERNOTFOUND itself).
FUNCDESC* FindMember(ITypeInfo* info, DISPID id, WORD flags) noexcept {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return nullptr;
    const UINT count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func))) continue;
        if (func->memid == id && (func->invkind & flags)) return func;
        info->ReleaseFuncDesc(func);
    }
    return nullptr;
}

class MemberDesc {
  public:
    MemberDesc(ITypeInfo* info, FUNCDESC* func) noexcept : info_(info), func_(func) {}
    ~MemberDesc() {
        if (func_) info_->ReleaseFuncDesc(func_);
    }
    MemberDesc(const MemberDesc&) = delete;
    MemberDesc& operator=(const MemberDesc&) = delete;
    const FUNCDESC* operator->() const noexcept { return func_; }
    explicit operator bool() const noexcept { return func_ != nullptr; }

  private:
    ITypeInfo* info_;
    FUNCDESC* func_;
};

bool IsCallerArgument(const ELEMDESC& param) noexcept {
    return !(param.paramdesc.wParamFlags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID));
}

// A caller's VARIANT reference turned into a reference of the parameter's own type
// to the value inside it, when that value already has the type: VBScript passes
// its variables as VARIANT references, and the callee then changes the variable
// itself. Anything else is left for ITypeInfo::Invoke to convert.
void NarrowReference(const TYPEDESC& param, VARIANTARG& arg) noexcept {
    if (param.vt != VT_PTR || V_VT(&arg) != (VT_BYREF | VT_VARIANT) || !V_VARIANTREF(&arg)) return;
    VARIANT& inner = *V_VARIANTREF(&arg);
    const TYPEDESC& target = *param.lptdesc;
    if (target.vt == VT_PTR && target.lptdesc->vt == VT_USERDEFINED) {
        // An interface of the contract, dual: the caller's object reference.
        if (V_VT(&inner) != VT_DISPATCH) return;
        V_VT(&arg) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&arg) = &V_DISPATCH(&inner);
        return;
    }
    if (target.vt == VT_VARIANT || target.vt == VT_PTR || V_VT(&inner) != target.vt ||
        (V_VT(&inner) & (VT_BYREF | VT_ARRAY)))
        return;
    V_VT(&arg) = static_cast<VARTYPE>(VT_BYREF | target.vt);
    V_BYREF(&arg) = &V_UI1(&inner);  // every value member starts where the union does
}

}  // namespace

HRESULT PrepareArguments(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS& params,
                         std::vector<VARIANTARG>& args) noexcept {
    if (params.cArgs > 0 && !params.rgvarg) return E_INVALIDARG;
    try {
        args.assign(params.rgvarg, params.rgvarg + params.cArgs);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const MemberDesc func(info, FindMember(info, id, flags));
    if (!func) return S_OK;
    // What the caller must and may pass: every parameter but the result and the
    // locale, of which trailing optional ones (or ones with a default) may be
    // left out. A property put's value arrives as one of the caller's arguments.
    UINT most = 0, least = 0;
    for (SHORT i = 0; i < func->cParams; ++i) {
        const ELEMDESC& param = func->lprgelemdescParam[i];
        if (!IsCallerArgument(param)) continue;
        ++most;
        if (!(param.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)))
            least = most;
    }
    if (params.cArgs > most && func->cParamsOpt != -1) return DISP_E_BADPARAMCOUNT;
    if (params.cArgs < least) return DISP_E_PARAMNOTOPTIONAL;
    // Positional arguments come last first; named ones are left as they are.
    if (params.cNamedArgs == 0) {
        for (UINT i = 0; i < params.cArgs; ++i)
            NarrowReference(func->lprgelemdescParam[i].tdesc, args[params.cArgs - 1 - i]);
    }
    return S_OK;
}

}  // namespace qor::com
