#pragma once
// The two OLE objects of a drag that starts at the tray icon: the data object the
// OLEStartDrag handler fills (text only) and the drop source that ends the drag
// when the button is released and reports feedback back to the control.

#include <ole2.h>

#include <functional>
#include <string>

#include "trayicon.h"
#include "windows/com/Dispatch.h"

namespace qor::tray {

class DragDataObject final : public com::DispatchObject<DragDataObject, IDragData, IDataObject> {
  public:
    bool HasText() const noexcept { return hasText_; }

    // IDragData
    STDMETHODIMP SetData(VARIANT data, VARIANT format) override;

    // IDataObject: the text in CF_TEXT (the system's ANSI code page) and CF_UNICODETEXT.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    std::wstring text_;
    bool hasText_ = false;
};

class DropSource final : public com::ComObject<DropSource, IDropSource> {
  public:
    // Asked on every feedback round: returns whether the default cursors apply.
    using FeedbackFn = std::function<bool(DWORD effect)>;
    explicit DropSource(FeedbackFn feedback) : feedback_(std::move(feedback)) {}
    void* Cast(REFIID riid) noexcept { return ComObject::Cast(riid); }

    STDMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    STDMETHODIMP GiveFeedback(DWORD effect) override;

  private:
    FeedbackFn feedback_;
};

}  // namespace qor::tray
