#include "native/FakeComponents.h"

#include <algorithm>
#include <cctype>

namespace qor {

std::optional<std::pair<std::string_view, std::string_view>> ParseCaptionLiteral(
    std::string_view text) {
    if (text.size() < 7 || text[0] != '#' || text[6] != '#') return std::nullopt;
    for (int i = 1; i <= 5; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    }
    return std::make_pair(text.substr(1, 5), text.substr(7));
}

namespace {

std::string PictureText(const PicturePtr& picture) {
    if (!picture) return "nothing";
    std::string text = std::to_string(picture->IconId());
    if (auto* fake = dynamic_cast<const FakePicture*>(picture.get()); fake && fake->Size() != 0)
        text += " size " + std::to_string(fake->Size());
    return text;
}

std::string BoolText(bool value) {
    return value ? "True" : "False";
}

}  // namespace

// ---- Icon library

PicturePtr FakeIconLibrary::GetIcon(std::int16_t& id) {
    ++getIconCalls;
    if (calls) calls->push_back("GetIcon " + std::to_string(id));
    requested.push_back(id);
    if (missingIcons.count(id)) Raise(err::kInvalidCall);
    return std::make_shared<FakePicture>(id);
}

PicturePtr FakeIconLibrary::GetIconSized(std::int16_t id, std::int16_t size) {
    ++getIconSizedCalls;
    if (calls) calls->push_back("GetIconSized " + std::to_string(id) + " " + std::to_string(size));
    requested.push_back(id);
    if (missingIcons.count(id)) Raise(err::kInvalidCall);
    return std::make_shared<FakePicture>(id, size);
}

// ---- Translators

std::string FakeTranslation::TranslateText(const std::string& literal) {
    ++translateCalls;
    if (fail) Raise(err::kInternal, "translation failed", "FakeTranslator");
    auto parsed = ParseCaptionLiteral(literal);
    if (!parsed) return literal;
    auto it = texts.find(parsed->first);
    return it != texts.end() ? it->second : std::string(parsed->second);
}

std::string FakeStringTable::Translate(std::string& literal) {
    if (calls) calls->push_back("StringTable.Translate " + literal);
    return TranslateText(literal);
}

std::string FakeCaptionTranslator::Translate(std::string& literal) {
    if (calls) calls->push_back("CaptionTranslator.Translate " + literal);
    return TranslateText(literal);
}

void FakeCaptionTranslator::TranslateForm(ITranslatableForm& form) {
    ++translateFormCalls;
    if (calls) calls->push_back("CaptionTranslator.TranslateForm");
    if (fail) Raise(err::kInternal, "translation failed", "FakeTranslator");
    form.ForEachCaption([this](std::string& caption) {
        if (ParseCaptionLiteral(caption)) caption = TranslateText(caption);
    });
}

// ---- Logging component

void FakeLogWriter::WriteLog(std::int32_t sourceId, std::int32_t code1, std::int32_t code2,
                             const std::string& text) {
    if (failWrites) Raise(failNumber);
    lines.push_back(Line{sourceId, code1, code2, text});
}

// ---- Tray icon item

void FakeTrayItem::Check(std::int32_t dispid) const {
    if (failing.count(dispid)) Raise(failNumber);
}

void FakeTrayItem::Set(std::int32_t dispid) {
    Check(dispid);
    setLog.push_back(dispid);
}

void FakeTrayItem::SetDialCaption(const std::string& caption) {
    if (calls) calls->push_back("DialCaption " + caption);
    Set(trayid::kDialCaption);
    dialCaption = caption;
}

void FakeTrayItem::SetShortCut(std::int16_t modifiers) {
    if (calls) calls->push_back("ShortCut " + std::to_string(modifiers));
    Set(trayid::kShortCut);
    shortCut = modifiers;
}

std::int16_t FakeTrayItem::ShortCut() {
    if (calls) calls->push_back("get ShortCut");
    Check(trayid::kShortCut);
    return shortCut;
}

void FakeTrayItem::SetShortCutActive(bool active) {
    if (calls) calls->push_back("ShortCutActive " + BoolText(active));
    Set(trayid::kShortCutActive);
    shortCutActive = active;
}

bool FakeTrayItem::ShortCutActive() {
    if (calls) calls->push_back("get ShortCutActive");
    Check(trayid::kShortCutActive);
    return shortCutActive;
}

void FakeTrayItem::SetBlinking(bool value) {
    if (calls) calls->push_back("Blinking " + BoolText(value));
    Set(trayid::kBlinking);
    blinking = value;
}

void FakeTrayItem::SetBlinkIcon(const PicturePtr& picture) {
    if (calls) calls->push_back("BlinkIcon " + PictureText(picture));
    Set(trayid::kBlinkIcon);
    blinkIcon = picture;
}

void FakeTrayItem::SetVisible(bool value) {
    if (calls) calls->push_back("Visible " + BoolText(value));
    Set(trayid::kVisible);
    visible = value;
}

bool FakeTrayItem::Visible() {
    if (calls) calls->push_back("get Visible");
    Check(trayid::kVisible);
    return visible;
}

void FakeTrayItem::SetToolTip(const std::string& text) {
    if (calls) calls->push_back("ToolTip \"" + text + "\"");
    Set(trayid::kToolTip);
    toolTip = text;
}

void FakeTrayItem::SetIcon(const PicturePtr& picture) {
    if (calls) calls->push_back("Icon " + PictureText(picture));
    Set(trayid::kIcon);
    icon = picture;
}

void FakeTrayItem::OLEDrag() {
    if (calls) calls->push_back("OLEDrag");
    Check(trayid::kOLEDrag);
    ++oleDragCalls;
    // Like the real control: ask the sinks for data and effects, then do the drag
    // with whatever they filled in.
    FakeDragData data;
    std::int32_t allowedEffects = 0;
    owner_.RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        sink.OLEStartDrag(index, data, allowedEffects);
    });
    const bool started = data.dataSet && allowedEffects != 0;
    // The release that ends a drag is no click.
    if (started) owner_.gesture_.dragged = true;
    drags.push_back(DragResult{data.text, data.format, allowedEffects, data.dataSet, started});
}

// ---- Tray icon control

FakeTrayIcon::FakeTrayIcon() : item_(*this), sinks_(std::make_shared<std::vector<SinkEntry>>()) {}

FakeTrayIcon::~FakeTrayIcon() = default;

ITrayIconItem& FakeTrayIcon::Item(std::int16_t index) {
    if (index != 1) Raise(err::kSubscriptOutOfRange);
    return item_;
}

Subscription FakeTrayIcon::Advise(ITrayIconEvents& sink) {
    const std::uint64_t cookie = nextCookie_++;
    sinks_->push_back(SinkEntry{cookie, &sink});
    std::weak_ptr<std::vector<SinkEntry>> weak = sinks_;
    return Subscription([weak, cookie] {
        if (auto sinks = weak.lock()) {
            std::erase_if(*sinks, [cookie](const SinkEntry& e) { return e.cookie == cookie; });
        }
    });
}

template <class F>
void FakeTrayIcon::RaiseEvent(F&& raiseOne) {
    // A handler may unsubscribe (or subscribe) while the event is being raised.
    const auto snapshot = *sinks_;
    for (const auto& entry : snapshot) {
        const bool stillThere =
            std::any_of(sinks_->begin(), sinks_->end(),
                        [&](const SinkEntry& e) { return e.cookie == entry.cookie; });
        if (!stillThere) continue;
        std::int16_t index = 1;
        raiseOne(*entry.sink, index);
    }
}

void FakeTrayIcon::MouseMove(std::int32_t value) {
    RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        std::int32_t v = value;
        sink.MouseMove(index, v);
    });
}

void FakeTrayIcon::MouseDown(std::int16_t button, std::int16_t shift) {
    RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        std::int16_t b = button, s = shift;
        sink.MouseDown(index, b, s);
    });
}

void FakeTrayIcon::MouseUp(std::int16_t button, std::int16_t shift) {
    RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        std::int16_t b = button, s = shift;
        sink.MouseUp(index, b, s);
    });
}

void FakeTrayIcon::Click(std::int16_t button, std::int16_t shift) {
    RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        std::int16_t b = button, s = shift;
        sink.Click(index, b, s);
    });
}

void FakeTrayIcon::DblClick(std::int16_t button, std::int16_t shift) {
    RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        std::int16_t b = button, s = shift;
        sink.DblClick(index, b, s);
    });
}

void FakeTrayIcon::ShortCutClick(std::int16_t shift) {
    RaiseEvent([&](ITrayIconEvents& sink, std::int16_t& index) {
        std::int16_t s = shift;
        sink.ShortCutClick(index, s);
    });
}

// ---- What the shell reports, by the real control's rules

bool FakeTrayIcon::ShortCutHeld(std::int16_t shift) const {
    return item_.shortCutActive && item_.shortCut != 0 &&
           (shift & kShortCutCtrlShift) == item_.shortCut;
}

void FakeTrayIcon::ShellMove() {
    gesture_.pointerOver = true;
    MouseMove(gesture_.heldButtons);
}

void FakeTrayIcon::ShellLeave() {
    if (!gesture_.pointerOver) return;
    gesture_.pointerOver = false;
    MouseMove(-1);
}

void FakeTrayIcon::ShellButtonDown(std::int16_t button, std::int16_t shift) {
    gesture_.heldButtons |= button;
    if (button == kButtonLeft) gesture_.dragged = false;
    if (button == kButtonRight) {
        // The short-dial gesture replaces the press's event.
        gesture_.shortCutGesture = ShortCutHeld(shift);
        if (gesture_.shortCutGesture) return;
    }
    MouseDown(button, shift);
}

void FakeTrayIcon::ShellButtonUp(std::int16_t button, std::int16_t shift) {
    gesture_.heldButtons &= ~static_cast<std::int32_t>(button);
    if (button == kButtonRight && (gesture_.shortCutGesture || ShortCutHeld(shift))) {
        gesture_.shortCutGesture = false;
        ShortCutClick(shift);
        return;
    }
    if (button == kButtonLeft) {
        if (gesture_.swallowNextUp) {
            gesture_.swallowNextUp = false;
        } else if (gesture_.dragged) {
            gesture_.dragged = false;
        } else {
            gesture_.clickPending = true;
            gesture_.pendingClickShift = shift;
        }
    }
    MouseUp(button, shift);
}

void FakeTrayIcon::ShellDoubleClick(std::int16_t shift) {
    gesture_.heldButtons |= kButtonLeft;
    gesture_.clickPending = false;
    gesture_.swallowNextUp = true;
    DblClick(kButtonLeft, shift);
}

void FakeTrayIcon::DoubleClickTimeElapsed() {
    if (!gesture_.clickPending) return;
    gesture_.clickPending = false;
    Click(kButtonLeft, gesture_.pendingClickShift);
}

// ---- Creation

namespace {
[[noreturn]] void CannotCreate() {
    Raise(err::kCannotCreateObject);
}
}  // namespace

std::shared_ptr<IIconLibrary> FakeOutsideComponents::CreateIconLibrary() {
    if (failIconLibrary) CannotCreate();
    iconLibrary = std::make_shared<FakeIconLibrary>();
    iconLibrary->calls = callLog;
    return iconLibrary;
}

std::shared_ptr<IStringTable> FakeOutsideComponents::CreateStringTable() {
    if (failStringTable) CannotCreate();
    stringTable = std::make_shared<FakeStringTable>();
    stringTable->calls = callLog;
    return stringTable;
}

std::shared_ptr<ICaptionTranslator> FakeOutsideComponents::CreateCaptionTranslator() {
    if (failCaptionTranslator) CannotCreate();
    captionTranslator = std::make_shared<FakeCaptionTranslator>();
    captionTranslator->calls = callLog;
    return captionTranslator;
}

std::shared_ptr<ILogWriter> FakeOutsideComponents::CreateLogWriter() {
    if (failLogWriter) CannotCreate();
    ++createdLogWriters;
    logWriter = std::make_shared<FakeLogWriter>();
    return logWriter;
}

std::shared_ptr<ITrayIcon> FakeOutsideComponents::CreateTrayIcon() {
    if (failTrayIcon) CannotCreate();
    ++createdTrayIcons;
    trayIcon = std::make_shared<FakeTrayIcon>();
    trayIcon->item().calls = callLog;
    return trayIcon;
}

}  // namespace qor
