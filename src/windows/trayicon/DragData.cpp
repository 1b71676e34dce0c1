#include "windows/trayicon/DragData.h"

#include <shlobj.h>

#include <cstring>

#include "core/common/Error.h"
#include "windows/com/Owners.h"

namespace qor::tray {

namespace {
constexpr const char* kSource = "TrayIconCtl";

bool IsTextFormat(CLIPFORMAT format) noexcept {
    return format == CF_TEXT || format == CF_UNICODETEXT;
}

// A movable global block of `bytes` bytes that `fill` writes; null when it cannot
// be had. The caller owns the block until it hands it to a medium.
template <class Fill>
HGLOBAL FilledGlobal(SIZE_T bytes, Fill&& fill) noexcept {
    com::UniqueHglobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!block) return nullptr;
    {
        com::GlobalLockGuard lock(block.Get());
        if (!lock.Data()) return nullptr;
        fill(lock.Data());
    }
    return block.Release();
}
}  // namespace

STDMETHODIMP DragDataObject::SetData(VARIANT data, VARIANT format) {
    return com::Guard(__uuidof(IDragData), L"TrayIconCtl", [&] {
        CLIPFORMAT clip = CF_TEXT;
        if (V_VT(&format) != VT_ERROR && V_VT(&format) != VT_EMPTY) {
            com::Variant number;
            com::ThrowIfFailed(VariantChangeType(number.Get(), &format, 0, VT_I4), "Format");
            clip = static_cast<CLIPFORMAT>(V_I4(number.Get()));
        }
        if (!IsTextFormat(clip))
            throw QorError(err::kInvalidCall, "Only text can be dragged from the tray icon",
                           kSource);
        if (V_VT(&data) == VT_ERROR || V_VT(&data) == VT_EMPTY) {
            text_.clear();
            hasText_ = false;
            return;
        }
        com::Variant text;
        com::ThrowIfFailed(VariantChangeType(text.Get(), &data, 0, VT_BSTR), "Data");
        UINT length = SysStringLen(V_BSTR(text.Get()));
        text_.assign(V_BSTR(text.Get()) ? V_BSTR(text.Get()) : L"", length);
        hasText_ = true;
    });
}

STDMETHODIMP DragDataObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    if (!hasText_ || !IsTextFormat(format->cfFormat)) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return S_OK;
}

STDMETHODIMP DragDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!medium) return E_POINTER;
    HRESULT hr = QueryGetData(format);
    if (FAILED(hr)) return hr;
    HGLOBAL block = nullptr;
    if (format->cfFormat == CF_UNICODETEXT) {
        const SIZE_T bytes = (text_.size() + 1) * sizeof(wchar_t);
        block =
            FilledGlobal(bytes, [&](void* target) { std::memcpy(target, text_.c_str(), bytes); });
    } else {
        int bytes = WideCharToMultiByte(CP_ACP, 0, text_.c_str(), -1, nullptr, 0, nullptr, nullptr);
        if (bytes > 0)
            block = FilledGlobal(static_cast<SIZE_T>(bytes), [&](void* target) {
                WideCharToMultiByte(CP_ACP, 0, text_.c_str(), -1, static_cast<char*>(target), bytes,
                                    nullptr, nullptr);
            });
    }
    if (!block) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;  // the receiver frees the block
    return S_OK;
}

STDMETHODIMP DragDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (!out) return E_POINTER;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP DragDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC formats[] = {{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                           {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}};
    return SHCreateStdEnumFmtEtc(hasText_ ? 2 : 0, formats, out);
}

STDMETHODIMP DropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    if (escapePressed) return DRAGDROP_S_CANCEL;
    if (!(keyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) return DRAGDROP_S_DROP;
    return S_OK;
}

STDMETHODIMP DropSource::GiveFeedback(DWORD effect) {
    try {
        return feedback_(effect) ? DRAGDROP_S_USEDEFAULTCURSORS : S_OK;
    } catch (...) {
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
}

}  // namespace qor::tray
