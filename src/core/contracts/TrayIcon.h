#pragma once
// The tray icon control: an indexer of icon items (the component always uses item
// 1) and the events of the icon. The Windows control exposes the item's members at
// the dispatch identifiers below.

#include <cstdint>
#include <memory>
#include <string>

#include "core/common/Subscription.h"
#include "core/contracts/Picture.h"

namespace qor {

namespace trayid {
inline constexpr std::int32_t kDialCaption = 0x68030000;
inline constexpr std::int32_t kShortCut = 0x68030001;
inline constexpr std::int32_t kShortCutActive = 0x68030002;
inline constexpr std::int32_t kBlinking = 0x68030005;
inline constexpr std::int32_t kBlinkIcon = 0x68030006;
inline constexpr std::int32_t kVisible = 0x68030008;
inline constexpr std::int32_t kToolTip = 0x68030009;
inline constexpr std::int32_t kIcon = 0x6803000A;
inline constexpr std::int32_t kOLEDrag = 0x6003001D;
}  // namespace trayid

// Short-dial modifiers: the Shift and Ctrl bits of the usual modifier mask.
inline constexpr std::int16_t kShortCutShift = 1;
inline constexpr std::int16_t kShortCutCtrl = 2;
inline constexpr std::int16_t kShortCutCtrlShift = 3;

// Mouse buttons in the events.
inline constexpr std::int16_t kButtonLeft = 1;
inline constexpr std::int16_t kButtonRight = 2;

class ITrayIconItem {
  public:
    virtual ~ITrayIconItem() = default;
    virtual void SetDialCaption(const std::string& caption) = 0;
    virtual void SetShortCut(std::int16_t modifiers) = 0;
    virtual std::int16_t ShortCut() = 0;
    virtual void SetShortCutActive(bool active) = 0;
    virtual bool ShortCutActive() = 0;
    virtual void SetBlinking(bool blinking) = 0;
    virtual void SetBlinkIcon(const PicturePtr& picture) = 0;  // nullptr clears it
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() = 0;
    virtual void SetToolTip(const std::string& text) = 0;
    virtual void SetIcon(const PicturePtr& picture) = 0;
    virtual void OLEDrag() = 0;  // the control then raises OLEStartDrag
};

// Data object of an OLE drag: the component puts plain text into it.
inline constexpr std::int16_t kClipboardFormatText = 1;
inline constexpr std::int32_t kDropEffectCopyOrMove = 3;

class IDragData {
  public:
    virtual ~IDragData() = default;
    virtual void SetData(const std::string& text, std::int16_t format) = 0;
};

// Events of the control; the first argument (the item index) is never used by the
// component. The argument counts follow the control's event shapes.
class ITrayIconEvents {
  public:
    virtual ~ITrayIconEvents() = default;
    virtual void MouseMove(std::int16_t& item, std::int32_t& value) = 0;
    virtual void MouseDown(std::int16_t& item, std::int16_t& button, std::int16_t& shift) = 0;
    virtual void MouseUp(std::int16_t& item, std::int16_t& button, std::int16_t& shift) = 0;
    virtual void Click(std::int16_t& item, std::int16_t& button, std::int16_t& shift) = 0;
    virtual void DblClick(std::int16_t& item, std::int16_t& button, std::int16_t& shift) = 0;
    virtual void ShortCutClick(std::int16_t& item, std::int16_t& shift) = 0;
    virtual void OLEStartDrag(std::int16_t& item, IDragData& data,
                              std::int32_t& allowedEffects) = 0;
    // Drop-side notifications: nothing can be dropped on the icon.
    virtual void OLEDragOver(std::int16_t& item, IDragData& data, std::int32_t& effect,
                             std::int16_t& button, std::int16_t& shift, float& x, float& y,
                             std::int16_t& state) = 0;
    virtual void OLECompleteDrag(std::int16_t& item, std::int32_t& effect) = 0;
    virtual void OLEGiveFeedback(std::int16_t& item, std::int32_t& effect,
                                 bool& defaultCursors) = 0;
};

class ITrayIcon {
  public:
    virtual ~ITrayIcon() = default;
    virtual ITrayIconItem& Item(std::int16_t index) = 0;
    virtual Subscription Advise(ITrayIconEvents& sink) = 0;
};

}  // namespace qor
