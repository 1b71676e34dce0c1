#pragma once
// Stand-ins for the outside components the tray form holds: icon library, string
// table, caption translator, logging component and tray icon control. Each keeps
// its state public so that a test can set it up, make it fail and read it back.
// Given a call log, the icon library, the translators and the tray item also write
// every call they answer there, in order, with its arguments ("Icon 10031",
// "Translate #01109#Dial"): a test can then compare whole runs.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/common/Error.h"
#include "core/contracts/OutsideComponents.h"

namespace qor {

// "#01109#Dial" -> {"01109", "Dial"}, views into the text; nullopt for a text that
// is no caption literal.
std::optional<std::pair<std::string_view, std::string_view>> ParseCaptionLiteral(
    std::string_view text);

class FakePicture : public IPicture {
  public:
    explicit FakePicture(std::int32_t id, std::int16_t size = 0) : id_(id), size_(size) {}
    std::int32_t IconId() const override { return id_; }
    std::int16_t Size() const { return size_; }  // 0 for the library's natural size

  private:
    std::int32_t id_;
    std::int16_t size_;
};

using CallLog = std::vector<std::string>;

class FakeIconLibrary : public IIconLibrary {
  public:
    PicturePtr GetIcon(std::int16_t& id) override;
    PicturePtr GetIconSized(std::int16_t id, std::int16_t size) override;

    CallLog* calls = nullptr;

    std::set<int> missingIcons;  // these ids fail with error 5
    int getIconCalls = 0;
    int getIconSizedCalls = 0;
    std::vector<std::int16_t> requested;  // ids of every call, in order
};

// Translation shared by the two translators: texts[number] when set, else the
// literal's own text; a non-literal comes back unchanged.
class FakeTranslation {
  public:
    std::map<std::string, std::string, std::less<>> texts;  // key: the five digits
    bool fail = false;                                      // Translate throws
    int translateCalls = 0;
    CallLog* calls = nullptr;

  protected:
    std::string TranslateText(const std::string& literal);
};

class FakeStringTable : public IStringTable, public FakeTranslation {
  public:
    std::string Translate(std::string& literal) override;
};

class FakeCaptionTranslator : public ICaptionTranslator, public FakeTranslation {
  public:
    std::string Translate(std::string& literal) override;
    void TranslateForm(ITranslatableForm& form) override;
    int translateFormCalls = 0;
};

class FakeLogWriter : public ILogWriter {
  public:
    void WriteLog(std::int32_t sourceId, std::int32_t code1, std::int32_t code2,
                  const std::string& text) override;

    struct Line {
        std::int32_t sourceId, code1, code2;
        std::string text;
    };
    std::vector<Line> lines;
    bool failWrites = false;  // WriteLog throws failNumber with its standard description
    std::int32_t failNumber = err::kInternal;
};

// The text data object the control hands to OLEStartDrag.
class FakeDragData : public IDragData {
  public:
    void SetData(const std::string& text, std::int16_t format) override {
        this->text = text;
        this->format = format;
        dataSet = true;
    }
    std::string text;
    std::int16_t format = 0;
    bool dataSet = false;
};

class FakeTrayIcon;

class FakeTrayItem : public ITrayIconItem {
  public:
    explicit FakeTrayItem(FakeTrayIcon& owner) : owner_(owner) {}

    void SetDialCaption(const std::string& caption) override;
    void SetShortCut(std::int16_t modifiers) override;
    std::int16_t ShortCut() override;
    void SetShortCutActive(bool active) override;
    bool ShortCutActive() override;
    void SetBlinking(bool blinking) override;
    void SetBlinkIcon(const PicturePtr& picture) override;
    void SetVisible(bool visible) override;
    bool Visible() override;
    void SetToolTip(const std::string& text) override;
    void SetIcon(const PicturePtr& picture) override;
    void OLEDrag() override;

    std::string dialCaption;
    std::int16_t shortCut = kShortCutShift;  // the real control's own default
    bool shortCutActive = false;
    bool blinking = false;
    PicturePtr blinkIcon;
    bool visible = false;
    std::string toolTip;
    PicturePtr icon;
    int oleDragCalls = 0;

    std::set<std::int32_t> failing;    // trayid:: members whose set/get throws
    std::vector<std::int32_t> setLog;  // trayid:: of every successful set, in order
    CallLog* calls = nullptr;
    std::int32_t failNumber = err::kInvalidCall;

    struct DragResult {
        std::string text;
        std::int16_t format;
        std::int32_t allowedEffects;
        bool dataSet;
        bool started;  // the handler offered text and effects, so the drag ran
    };
    std::vector<DragResult> drags;

  private:
    void Check(std::int32_t dispid) const;
    void Set(std::int32_t dispid);
    FakeTrayIcon& owner_;
};

class FakeTrayIcon : public ITrayIcon {
  public:
    FakeTrayIcon();
    ~FakeTrayIcon() override;

    ITrayIconItem& Item(std::int16_t index) override;  // only 1; else error 9
    Subscription Advise(ITrayIconEvents& sink) override;

    FakeTrayItem& item() { return item_; }
    std::size_t SinkCount() const { return sinks_->size(); }

    // Raise one of the control's events as it is to every subscribed sink, item
    // index 1: for tests of a single handler.
    void MouseMove(std::int32_t value);
    void MouseDown(std::int16_t button, std::int16_t shift = 0);
    void MouseUp(std::int16_t button, std::int16_t shift = 0);
    void Click(std::int16_t button, std::int16_t shift = 0);
    void DblClick(std::int16_t button = kButtonLeft, std::int16_t shift = 0);
    void ShortCutClick(std::int16_t shift);

    // What the shell reports of the user's mouse on the icon. The control turns it
    // into its events by the real control's rules: a move reports the buttons held;
    // the pointer leaving is reported once per visit; a right press with the
    // short-dial keys held is silent and its release raises ShortCutClick; a left
    // release raises Click only once the double-click time has passed, and never
    // for the release of a double click or of a press that became a drag; the
    // second press of a double click raises DblClick instead of MouseDown; other
    // buttons raise no Click.
    void ShellMove();
    void ShellLeave();
    void ShellButtonDown(std::int16_t button, std::int16_t shift = 0);
    void ShellButtonUp(std::int16_t button, std::int16_t shift = 0);
    void ShellDoubleClick(std::int16_t shift = 0);
    void DoubleClickTimeElapsed();
    bool PointerOver() const { return gesture_.pointerOver; }

  private:
    friend class FakeTrayItem;
    template <class F>
    void RaiseEvent(F&& raiseOne);
    bool ShortCutHeld(std::int16_t shift) const;

    // The control's own record of the gesture under way.
    struct Gesture {
        std::int32_t heldButtons = 0;
        bool pointerOver = false;
        bool clickPending = false;
        std::int16_t pendingClickShift = 0;
        bool swallowNextUp = false;  // the release that ends a double click
        bool dragged = false;        // the left press turned into a drag
        bool shortCutGesture = false;
    };
    Gesture gesture_;

    struct SinkEntry {
        std::uint64_t cookie;
        ITrayIconEvents* sink;
    };
    FakeTrayItem item_;
    // Shared with the subscriptions, which may outlive the control.
    std::shared_ptr<std::vector<SinkEntry>> sinks_;
    std::uint64_t nextCookie_ = 1;
};

class FakeOutsideComponents : public IOutsideComponents {
  public:
    std::shared_ptr<IIconLibrary> CreateIconLibrary() override;
    std::shared_ptr<IStringTable> CreateStringTable() override;
    std::shared_ptr<ICaptionTranslator> CreateCaptionTranslator() override;
    std::shared_ptr<ILogWriter> CreateLogWriter() override;
    std::shared_ptr<ITrayIcon> CreateTrayIcon() override;

    // A set switch makes that creation fail with error 429.
    bool failIconLibrary = false;
    bool failStringTable = false;
    bool failCaptionTranslator = false;
    bool failLogWriter = false;
    bool failTrayIcon = false;

    // Handed to every icon library, translator and tray icon created from now on.
    CallLog* callLog = nullptr;

    // The most recent object of each kind.
    std::shared_ptr<FakeIconLibrary> iconLibrary;
    std::shared_ptr<FakeStringTable> stringTable;
    std::shared_ptr<FakeCaptionTranslator> captionTranslator;
    std::shared_ptr<FakeLogWriter> logWriter;
    std::shared_ptr<FakeTrayIcon> trayIcon;
    int createdTrayIcons = 0;
    int createdLogWriters = 0;
};

}  // namespace qor
