#include "windows/trayicon/TrayIconControl.h"

#include <iterator>

#include "core/common/Error.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"
#include "windows/trayicon/DragData.h"

namespace qor::tray {

namespace {
constexpr const wchar_t* kSource = L"TrayIconCtl";
constexpr const char* kSourceA = "TrayIconCtl";
constexpr short kOnlyItem = 1;

VARIANTARG ByRef(short* value) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I2;
    V_I2REF(&v) = value;
    return v;
}
VARIANTARG ByRef(long* value) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I4;
    V_I4REF(&v) = reinterpret_cast<LONG*>(value);
    return v;
}
// VARIANT_BOOL is a short: the overload needs its own name.
VARIANTARG ByRefBool(VARIANT_BOOL* value) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&v) = value;
    return v;
}
VARIANTARG ByRef(IDispatch** value) {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&v) = value;
    return v;
}
VARIANTARG Index() {
    VARIANTARG v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = kOnlyItem;
    return v;
}
}  // namespace

// ---- the item ----------------------------------------------------------------

STDMETHODIMP_(ULONG) TrayIconItemObject::AddRef() {
    return control_.AddRef();
}
STDMETHODIMP_(ULONG) TrayIconItemObject::Release() {
    return control_.Release();
}

// Every read first sends the shell what it has not heard yet: whoever reads a
// property back finds the notification area showing what was set.
STDMETHODIMP TrayIconItemObject::get_DialCaption(BSTR* value) {
    control_.Window().Flush();
    if (!value) return E_POINTER;
    return com::Guard(__uuidof(ITrayIconItem), kSource,
                      [&] { *value = com::Bstr(dialCaption_).Release(); });
}

STDMETHODIMP TrayIconItemObject::put_DialCaption(BSTR value) {
    return com::Guard(__uuidof(ITrayIconItem), kSource,
                      [&] { dialCaption_.assign(value ? value : L"", SysStringLen(value)); });
}

STDMETHODIMP TrayIconItemObject::get_ShortCut(short* value) {
    control_.Window().Flush();
    if (!value) return E_POINTER;
    *value = control_.Window().ShortCut();
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::put_ShortCut(short value) {
    control_.Window().SetShortCut(value);
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::get_ShortCutActive(VARIANT_BOOL* value) {
    control_.Window().Flush();
    if (!value) return E_POINTER;
    *value = control_.Window().ShortCutActive() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::put_ShortCutActive(VARIANT_BOOL value) {
    control_.Window().SetShortCutActive(value != VARIANT_FALSE);
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::get_Blinking(VARIANT_BOOL* value) {
    control_.Window().Flush();
    if (!value) return E_POINTER;
    *value = control_.Window().Blinking() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::put_Blinking(VARIANT_BOOL value) {
    control_.Window().SetBlinking(value != VARIANT_FALSE);
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::get_BlinkIcon(IPictureDisp** value) {
    control_.Window().Flush();
    return blinkIcon_.CopyTo(value);
}

STDMETHODIMP TrayIconItemObject::putref_BlinkIcon(IPictureDisp* value) {
    return com::Guard(__uuidof(ITrayIconItem), kSource, [&] {
        TrayPicture picture(value);
        blinkIcon_ = com::ComPtr<IPictureDisp>(value);
        control_.Window().SetBlinkIcon(std::move(picture));
    });
}

STDMETHODIMP TrayIconItemObject::get_Visible(VARIANT_BOOL* value) {
    control_.Window().Flush();
    if (!value) return E_POINTER;
    *value = control_.Window().Visible() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::put_Visible(VARIANT_BOOL value) {
    control_.Window().SetVisible(value != VARIANT_FALSE);
    return S_OK;
}

STDMETHODIMP TrayIconItemObject::get_ToolTip(BSTR* value) {
    control_.Window().Flush();
    if (!value) return E_POINTER;
    return com::Guard(__uuidof(ITrayIconItem), kSource,
                      [&] { *value = com::Bstr(toolTip_).Release(); });
}

STDMETHODIMP TrayIconItemObject::put_ToolTip(BSTR value) {
    return com::Guard(__uuidof(ITrayIconItem), kSource, [&] {
        toolTip_.assign(value ? value : L"", SysStringLen(value));
        control_.Window().SetToolTip(toolTip_);
    });
}

STDMETHODIMP TrayIconItemObject::get_Icon(IPictureDisp** value) {
    control_.Window().Flush();
    return icon_.CopyTo(value);
}

STDMETHODIMP TrayIconItemObject::putref_Icon(IPictureDisp* value) {
    return com::Guard(__uuidof(ITrayIconItem), kSource, [&] {
        TrayPicture picture(value);
        icon_ = com::ComPtr<IPictureDisp>(value);
        control_.Window().SetIcon(std::move(picture));
    });
}

STDMETHODIMP TrayIconItemObject::OLEDrag() {
    return com::Guard(__uuidof(ITrayIconItem), kSource, [&] { control_.StartDrag(); });
}

// ---- the control -------------------------------------------------------------

TrayIconControl::TrayIconControl()
    : events_(*this, DIID__ITrayIconEvents), window_(*this), item_(*this) {
    com::ThrowIfFailed(window_.Create(com::Module::Handle()), "Creating the tray icon window");
}

TrayIconControl::~TrayIconControl() {
    events_.Clear();
}

void* TrayIconControl::Cast(REFIID riid) noexcept {
    if (IsEqualIID(riid, IID_IProvideClassInfo)) return static_cast<IProvideClassInfo2*>(this);
    return DispatchObject::Cast(riid);
}

STDMETHODIMP TrayIconControl::get_Item(short index, ITrayIconItem** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return com::Guard(__uuidof(ITrayIcon), kSource, [&] {
        if (index != kOnlyItem)
            throw QorError(err::kSubscriptOutOfRange, "The tray icon control has item 1 only",
                           kSourceA);
        *value = &item_;
        item_.AddRef();
    });
}

STDMETHODIMP TrayIconControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return com::EnumConnectionPointsOf({&events_}, out);
}

STDMETHODIMP TrayIconControl::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    return com::FindConnectionPointIn({&events_}, riid, out);
}

STDMETHODIMP TrayIconControl::GetClassInfo(ITypeInfo** info) {
    return com::ClassInfoOf(CLSID_TrayIcon, info);
}

STDMETHODIMP TrayIconControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID__ITrayIconEvents;
    return S_OK;
}

void TrayIconControl::Fire(DISPID id, VARIANTARG* argsLastFirst, UINT count) {
    if (events_.Count() == 0) return;
    DISPPARAMS params{argsLastFirst, nullptr, count, 0};
    // A handler may release the control; it must outlive the raise.
    com::ComPtr<IUnknown> keepAlive(Unknown());
    events_.Fire(id, params);
}

void TrayIconControl::FireButtonEvent(DISPID id, short button, short shift) {
    VARIANTARG args[] = {ByRef(&shift), ByRef(&button), Index()};
    Fire(id, args, static_cast<UINT>(std::size(args)));
}

void TrayIconControl::MouseMove(long value) {
    VARIANTARG args[] = {ByRef(&value), Index()};
    Fire(TrayIconEventMouseMove, args, static_cast<UINT>(std::size(args)));
}

void TrayIconControl::MouseDown(short button, short shift) {
    FireButtonEvent(TrayIconEventMouseDown, button, shift);
}
void TrayIconControl::MouseUp(short button, short shift) {
    FireButtonEvent(TrayIconEventMouseUp, button, shift);
}
void TrayIconControl::Click(short button, short shift) {
    FireButtonEvent(TrayIconEventClick, button, shift);
}
void TrayIconControl::DblClick(short button, short shift) {
    FireButtonEvent(TrayIconEventDblClick, button, shift);
}

void TrayIconControl::ShortCutClick(short shift) {
    VARIANTARG args[] = {ByRef(&shift), Index()};
    Fire(TrayIconEventShortCutClick, args, static_cast<UINT>(std::size(args)));
}

void TrayIconControl::StartDrag() {
    com::ComPtr<IUnknown> keepAlive(Unknown());
    auto data = com::ComPtr<DragDataObject>::Adopt(new DragDataObject());
    // The handler gets the data object by reference and may hand back another one;
    // only our own kind can be dragged.
    com::ComPtr<IDispatch> handed(static_cast<IDragData*>(data.Get()));
    long allowed = 0;
    {
        IDispatch* raw = handed.Detach();
        VARIANTARG args[] = {ByRef(&allowed), ByRef(&raw), Index()};
        Fire(TrayIconEventOLEStartDrag, args, static_cast<UINT>(std::size(args)));
        handed = com::ComPtr<IDispatch>::Adopt(raw);
    }
    if (!data->HasText() || allowed == 0) return;  // the handler offered nothing
    window_.DragStarted();

    auto source = com::ComPtr<IDropSource>::Adopt(new DropSource([this](DWORD effect) {
        long current = static_cast<long>(effect);
        VARIANT_BOOL defaultCursors = VARIANT_TRUE;
        VARIANTARG args[] = {ByRefBool(&defaultCursors), ByRef(&current), Index()};
        Fire(TrayIconEventOLEGiveFeedback, args, static_cast<UINT>(std::size(args)));
        return defaultCursors != VARIANT_FALSE;
    }));
    DWORD effect = DROPEFFECT_NONE;
    HRESULT hr = DoDragDrop(static_cast<IDataObject*>(data.Get()), source.Get(),
                            static_cast<DWORD>(allowed), &effect);
    com::ThrowIfFailed(hr, "DoDragDrop");
    long completed = static_cast<long>(effect);
    VARIANTARG args[] = {ByRef(&completed), Index()};
    Fire(TrayIconEventOLECompleteDrag, args, static_cast<UINT>(std::size(args)));
}

HRESULT CreateTrayIcon(REFIID riid, void** out) noexcept {
    return com::CreateWithNew<TrayIconControl>(riid, out);
}

}  // namespace qor::tray
