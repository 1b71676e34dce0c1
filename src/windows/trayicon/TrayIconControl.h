#pragma once
// The tray icon control as a COM class: the control (its Item indexer and its
// events) and the one icon item it has, whose members the client reaches by the
// fixed dispatch ids of the type library.

#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "trayicon.h"
#include "windows/com/ComPtr.h"
#include "windows/com/ConnectionPoint.h"
#include "windows/com/Dispatch.h"
#include "windows/trayicon/NotifyIconWindow.h"

namespace qor::tray {

class TrayIconControl;

// The item lives inside the control and lends its reference count: a client that
// holds only the item keeps the whole control (and its icon) alive.
class TrayIconItemObject final : public com::DispatchObject<TrayIconItemObject, ITrayIconItem> {
  public:
    explicit TrayIconItemObject(TrayIconControl& control) noexcept : control_(control) {}

    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP get_DialCaption(BSTR* value) override;
    STDMETHODIMP put_DialCaption(BSTR value) override;
    STDMETHODIMP get_ShortCut(short* value) override;
    STDMETHODIMP put_ShortCut(short value) override;
    STDMETHODIMP get_ShortCutActive(VARIANT_BOOL* value) override;
    STDMETHODIMP put_ShortCutActive(VARIANT_BOOL value) override;
    STDMETHODIMP get_Blinking(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Blinking(VARIANT_BOOL value) override;
    STDMETHODIMP get_BlinkIcon(IPictureDisp** value) override;
    STDMETHODIMP putref_BlinkIcon(IPictureDisp* value) override;
    STDMETHODIMP put_BlinkIcon(IPictureDisp* value) override { return putref_BlinkIcon(value); }
    STDMETHODIMP get_Visible(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Visible(VARIANT_BOOL value) override;
    STDMETHODIMP get_ToolTip(BSTR* value) override;
    STDMETHODIMP put_ToolTip(BSTR value) override;
    STDMETHODIMP get_Icon(IPictureDisp** value) override;
    STDMETHODIMP putref_Icon(IPictureDisp* value) override;
    STDMETHODIMP put_Icon(IPictureDisp* value) override { return putref_Icon(value); }
    STDMETHODIMP OLEDrag() override;

  private:
    TrayIconControl& control_;
    com::ComPtr<IPictureDisp> icon_;
    com::ComPtr<IPictureDisp> blinkIcon_;
    std::wstring toolTip_;
    std::wstring dialCaption_;
};

class TrayIconControl final
    : public com::DispatchObject<TrayIconControl, ITrayIcon, IConnectionPointContainer,
                                 IProvideClassInfo2>,
      private INotifyIconEvents {
  public:
    TrayIconControl();  // throws when the icon's window cannot be created
    ~TrayIconControl() override;

    void* Cast(REFIID riid) noexcept;

    // ITrayIcon
    STDMETHODIMP get_Item(short index, ITrayIconItem** value) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    NotifyIconWindow& Window() noexcept { return window_; }
    // OLEDrag of the item: OLEStartDrag lets the handler fill the data, then the
    // drag runs until the user drops or cancels.
    void StartDrag();

  private:
    // INotifyIconEvents: raised to every connected sink.
    void MouseMove(long value) override;
    void MouseDown(short button, short shift) override;
    void MouseUp(short button, short shift) override;
    void Click(short button, short shift) override;
    void DblClick(short button, short shift) override;
    void ShortCutClick(short shift) override;

    void FireButtonEvent(DISPID id, short button, short shift);
    void Fire(DISPID id, VARIANTARG* argsLastFirst, UINT count);

    com::ConnectionPoint events_;
    NotifyIconWindow window_;
    TrayIconItemObject item_;
};

// Creation through the class factory.
HRESULT CreateTrayIcon(REFIID riid, void** out) noexcept;

}  // namespace qor::tray
