#include <gtest/gtest.h>

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
    auto tray = components.CreateTrayIcon(0x10);
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
