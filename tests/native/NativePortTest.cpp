#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "native/FakeComponents.h"
#include "native/NativePlatform.h"

namespace qor {
namespace {

TEST(NativePlatformTest, StartsOnlyRegisteredProgramsByTheirFirstToken) {
    NativePlatform platform;
    platform.AddProgram("C:\\Program Files\\Q\\qorphone.exe");
    platform.AddProgram("notepad.exe");
    struct Case {
        const char* commandLine;
        std::uint32_t result;
    } cases[] = {
        {"\"c:\\program files\\q\\QORPHONE.exe\" lname:a qorphone://x", 0},
        {"notepad.exe file.txt", 0},
        {"C:\\Program Files\\Q\\qorphone.exe", 2},  // unquoted: the program is "C:\Program"
        {"\"other.exe\"", 2}};
    for (const auto& c : cases)
        EXPECT_EQ(platform.StartProcess(c.commandLine, kShowMinimized), c.result) << c.commandLine;
    ASSERT_EQ(platform.processes.size(), 2u);
    EXPECT_EQ(platform.processes[0].showMode, kShowMinimized);
    EXPECT_EQ(platform.failedProcessStarts.size(), 2u);
}

// The real process start takes a NUL-terminated command line: what follows a NUL
// never reaches the program, so it is not recorded either.
TEST(NativePlatformTest, ProcessStartSeesTheCommandLineUpToTheFirstNul) {
    using namespace std::string_literals;
    NativePlatform platform;
    platform.AddProgram("a.exe");
    EXPECT_EQ(platform.StartProcess("\"a.exe\" x\0y"s, kShowMinimized), 0u);
    EXPECT_EQ(platform.StartProcess("a.ex\0e x"s, kShowMinimized), 2u);
    ASSERT_EQ(platform.processes.size(), 1u);
    EXPECT_EQ(platform.processes[0].commandLine, "\"a.exe\" x");
    ASSERT_EQ(platform.failedProcessStarts.size(), 1u);
    EXPECT_EQ(platform.failedProcessStarts[0].commandLine, "a.ex");
}

NativePlatform* gPlatform = nullptr;
std::uintptr_t gPrevious = 0;
std::intptr_t Hook(WindowHandle w, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp) {
    if (msg == kMsgConfigChanged) return 7;
    return gPlatform->CallPreviousWindowProc(gPrevious, w, msg, wp, lp);
}

TEST(NativePlatformTest, SubclassChainsToTheOriginalProcedureUntilRestored) {
    NativePlatform platform;
    gPlatform = &platform;
    const WindowHandle w = platform.CreateFormWindow("S-Norvane Dialwise");
    EXPECT_EQ(platform.FindWindowByTitle("s-norvane dialwise"), w);
    gPrevious = platform.SubclassWindow(w, &Hook);
    EXPECT_TRUE(platform.IsSubclassed(w));
    EXPECT_EQ(platform.SendMessage(w, kMsgConfigChanged, 0, 0), 7);
    EXPECT_EQ(platform.SendMessage(w, 0x10, 1, 2), 0);
    platform.RestoreWindowProc(w, gPrevious);
    EXPECT_FALSE(platform.IsSubclassed(w));
    platform.SendMessage(w, kMsgConfigChanged, 0, 0);
    ASSERT_EQ(platform.receivedByOriginal.size(), 2u);
    EXPECT_EQ(platform.receivedByOriginal[0].msg, 0x10u);
    EXPECT_EQ(platform.receivedByOriginal[1].msg, kMsgConfigChanged);

    int ticks = 0;
    platform.StartTimer(w, 100, [&] { ++ticks; });
    EXPECT_TRUE(platform.FireTimer());
    platform.DestroyFormWindow(w);
    EXPECT_FALSE(platform.FireTimer());
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(platform.FindWindowByTitle("S-Norvane Dialwise"), 0u);
}

TEST(NativePlatformTest, PopupRecordsVisibleItemsAndLetsTheTestChoose) {
    NativePlatform platform;
    MenuItem root;
    root.Add("mnuDial", "Dial", true);
    root.Add("mnuAnswer", "Answer", false);
    MenuItem& session = root.Add("mnuAppSession", "App", true, 0);
    EXPECT_EQ(platform.TrackPopupMenu(1, root, nullptr), nullptr);
    platform.onPopup = [](const MenuItem& r, const MenuItem*) { return r.children[0].get(); };
    EXPECT_EQ(platform.TrackPopupMenu(1, root, &session), root.children[0].get());
    ASSERT_EQ(platform.popups.size(), 2u);
    EXPECT_EQ(platform.popups[1].visibleItems,
              (std::vector<std::string>{"mnuDial", "mnuAppSession(0)"}));
    EXPECT_EQ(platform.popups[1].defaultItem, "mnuAppSession(0)");
}

class DragSink : public ITrayIconEvents {
  public:
    void MouseMove(std::int16_t&, std::int32_t&) override {}
    void MouseDown(std::int16_t&, std::int16_t& b, std::int16_t&) override { buttons.push_back(b); }
    void MouseUp(std::int16_t&, std::int16_t&, std::int16_t&) override {}
    void Click(std::int16_t&, std::int16_t&, std::int16_t&) override { subscription.Reset(); }
    void DblClick(std::int16_t&, std::int16_t&, std::int16_t&) override {}
    void ShortCutClick(std::int16_t&, std::int16_t&) override {}
    void OLEStartDrag(std::int16_t&, IDragData& data, std::int32_t& effects) override {
        data.SetData("0123", kClipboardFormatText);
        effects = kDropEffectCopyOrMove;
    }
    void OLEDragOver(std::int16_t&, IDragData&, std::int32_t&, std::int16_t&, std::int16_t&, float&,
                     float&, std::int16_t&) override {}
    void OLECompleteDrag(std::int16_t&, std::int32_t&) override {}
    void OLEGiveFeedback(std::int16_t&, std::int32_t&, bool&) override {}
    std::vector<std::int16_t> buttons;
    Subscription subscription;
};

TEST(FakeTrayIconTest, DragAsksTheSinksAndSinksMayLeaveDuringAnEvent) {
    FakeOutsideComponents components;
    auto tray = components.CreateTrayIcon();
    DragSink sink;
    sink.subscription = tray->Advise(sink);
    tray->Item(1).OLEDrag();
    auto& item = components.trayIcon->item();
    ASSERT_EQ(item.drags.size(), 1u);
    EXPECT_EQ(item.drags[0].text, "0123");
    EXPECT_EQ(item.drags[0].allowedEffects, kDropEffectCopyOrMove);
    EXPECT_THROW(tray->Item(2), QorError);

    components.trayIcon->MouseDown(kButtonRight);
    components.trayIcon->Click(kButtonLeft);  // the sink unsubscribes here
    components.trayIcon->MouseDown(kButtonLeft);
    EXPECT_EQ(sink.buttons, std::vector<std::int16_t>{kButtonRight});
    EXPECT_EQ(components.trayIcon->SinkCount(), 0u);

    item.failing.insert(trayid::kIcon);
    EXPECT_THROW(item.SetIcon(nullptr), QorError);
    item.SetVisible(true);
    EXPECT_EQ(item.setLog, std::vector<std::int32_t>{trayid::kVisible});
}

// Writes down every event the control raises; on the second move of a press it
// starts a drag the way the component does, offering text or not.
class GestureLog : public ITrayIconEvents {
  public:
    GestureLog(FakeTrayIcon& tray, bool offer) : tray_(tray), offer_(offer) {}
    void MouseMove(std::int16_t&, std::int32_t& v) override {
        Log("Move " + std::to_string(v));
        if (v > 0 && ++movesHeld_ == 2) tray_.item().OLEDrag();
    }
    void MouseDown(std::int16_t&, std::int16_t& b, std::int16_t& s) override {
        movesHeld_ = 0;
        Log("Down " + std::to_string(b) + " " + std::to_string(s));
    }
    void MouseUp(std::int16_t&, std::int16_t& b, std::int16_t& s) override {
        Log("Up " + std::to_string(b) + " " + std::to_string(s));
    }
    void Click(std::int16_t&, std::int16_t& b, std::int16_t& s) override {
        Log("Click " + std::to_string(b) + " " + std::to_string(s));
    }
    void DblClick(std::int16_t&, std::int16_t& b, std::int16_t&) override {
        Log("DblClick " + std::to_string(b));
    }
    void ShortCutClick(std::int16_t&, std::int16_t& s) override {
        Log("ShortCutClick " + std::to_string(s));
    }
    void OLEStartDrag(std::int16_t&, IDragData& data, std::int32_t& effects) override {
        Log("StartDrag");
        if (!offer_) return;
        data.SetData("0612", kClipboardFormatText);
        effects = kDropEffectCopyOrMove;
    }
    void OLEDragOver(std::int16_t&, IDragData&, std::int32_t&, std::int16_t&, std::int16_t&, float&,
                     float&, std::int16_t&) override {}
    void OLECompleteDrag(std::int16_t&, std::int32_t&) override {}
    void OLEGiveFeedback(std::int16_t&, std::int32_t&, bool&) override {}
    std::string log;

  private:
    void Log(const std::string& e) { log += (log.empty() ? "" : ", ") + e; }
    FakeTrayIcon& tray_;
    bool offer_;
    int movesHeld_ = 0;
};

// Plays what the shell reports, one step per word: "D1" a press of button 1, "U2+1"
// the release of button 2 with modifiers 1, "X" the second press of a double
// click, "M" a move, "L" the pointer found gone, "W" the double-click time passing.
void PlayShell(FakeTrayIcon& tray, const std::string& steps) {
    std::istringstream words(steps);
    for (std::string w; words >> w;) {
        const auto button = static_cast<std::int16_t>(w.size() > 1 ? w[1] - '0' : 0);
        const auto shift = static_cast<std::int16_t>(w.size() > 3 ? w[3] - '0' : 0);
        switch (w[0]) {
            case 'D':
                tray.ShellButtonDown(button, shift);
                break;
            case 'U':
                tray.ShellButtonUp(button, shift);
                break;
            case 'X':
                tray.ShellDoubleClick();
                break;
            case 'M':
                tray.ShellMove();
                break;
            case 'L':
                tray.ShellLeave();
                break;
            case 'W':
                tray.DoubleClickTimeElapsed();
                break;
            default:
                FAIL() << w;
        }
    }
}

// The stand-in must raise what the real control raises for each gesture, with the
// same suppressions: the scenarios play the same gestures in both worlds.
TEST(FakeTrayIconTest, GesturesRaiseWhatTheRealControlRaises) {
    struct Case {
        const char* gesture;
        const char* shell;
        const char* events;
        bool offer = true;         // the component offers text when the drag starts
        bool shortDialOn = false;  // short dial on for Ctrl
    };
    const Case cases[] = {
        {"click", "D1 U1+2 W", "Down 1 0, Up 1 2, Click 1 2"},
        {"the Click waits for the double-click time", "D1 U1", "Down 1 0, Up 1 0"},
        {"double click, then a click", "D1 U1 X U1 W D1 U1 W",
         "Down 1 0, Up 1 0, DblClick 1, Up 1 0, Down 1 0, Up 1 0, Click 1 0"},
        {"drag, then a click", "D1 M M U1 W D1 U1 W",
         "Down 1 0, Move 1, Move 1, StartDrag, Up 1 0, Down 1 0, Up 1 0, Click 1 0"},
        {"a drag that offered nothing is a click", "D1 M M U1 W",
         "Down 1 0, Move 1, Move 1, StartDrag, Up 1 0, Click 1 0", false},
        {"no click but the left one", "D4 U4 D2+1 U2+1 W", "Down 4 0, Up 4 0, Down 2 1, Up 2 1"},
        {"short dial: a silent press", "D2+2 U2", "ShortCutClick 0", true, true},
        {"short-dial keys without the short dial", "D2+2 U2+2", "Down 2 2, Up 2 2"},
        {"leaving once per visit", "L M L L", "Move 0, Move -1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gesture);
        FakeTrayIcon tray;
        tray.item().shortCut = kShortCutCtrl;
        tray.item().shortCutActive = c.shortDialOn;
        GestureLog log(tray, c.offer);
        auto subscription = tray.Advise(log);
        PlayShell(tray, c.shell);
        EXPECT_EQ(log.log, c.events);
    }
}

TEST(FakeTranslatorTest, TranslatesLiteralsOnly) {
    FakeStringTable table;
    table.texts["01109"] = "Wählen";
    for (auto [in, out] : {std::pair{"#01109#Dial", "Wählen"},
                           {"#01113#E&xit", "E&xit"},
                           {"plain", "plain"},
                           {"#0110#x", "#0110#x"}}) {
        std::string literal = in;
        EXPECT_EQ(table.Translate(literal), out) << in;
    }
}

}  // namespace
}  // namespace qor
