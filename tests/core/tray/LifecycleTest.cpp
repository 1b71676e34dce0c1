// Loading, unloading and the timer of the tray form, seen from the client.

#include "core/settings/ConfigMessages.h"
#include "core/tray/TrayFixture.h"

namespace qor::testing {
namespace {

TEST_F(TrayTest, LoadFollowsTheDiagnosticLevel) {
    struct Case {
        const char* developper;  // nullptr: value absent
        std::int32_t level;
        bool traceRunning;
        bool hooked;
    } cases[] = {{nullptr, 0, false, true},
                 {"0", 0, false, true},
                 {"3", 3, true, false},
                 {"2.6", 3, true, false},
                 {"abc", 0, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.developper ? c.developper : "absent");
        if (c.developper) SetSetting(kQorPhone, "Developper", c.developper);
        Create();
        EXPECT_EQ(runtime.DeveloperLevel, c.level);
        EXPECT_EQ(runtime.LogFile()->Status() == cLogFile::kRunning, c.traceRunning);
        EXPECT_EQ(platform.IsSubclassed(form().hWnd()), c.hooked);
        EXPECT_TRUE(tray().visible);
        EXPECT_EQ(Icon(), 10022);
        launcher.reset();
        EXPECT_FALSE(runtime.FormLoaded());
        EXPECT_EQ(platform.LiveWindowCount(), 0u) << "the form's window outlived the unload";
        runtime.LogFile()->logStop();
        platform.registry().SetString(reg::kCurrentUser, kQorPhone, "Developper", "0");
    }
}

TEST_F(TrayTest, EachLoadStartsItsOwnTraceAndAQuietOneStopsTheLast) {
    SetSetting(kQorPhone, "Developper", "5");
    StartWithExtension();
    const auto linesWhileTracing = platform.debugLines.size();
    EXPECT_GT(linesWhileTracing, 0u);
    launcher.reset();
    subscription.Reset();

    SetSetting(kQorPhone, "Developper", "0");
    Create();
    components.logWriter->lines.clear();
    const auto before = platform.debugLines.size();
    std::int32_t evt = NumEvtRefresh;
    std::string entryId = "1";
    form().RefreshNumState(evt, entryId);
    EXPECT_EQ(platform.debugLines.size(), before) << "the earlier trace still writes";
    EXPECT_TRUE(components.logWriter->lines.empty());
}

TEST_F(TrayTest, WithoutTheIconLibraryTheFormLoadsBareButWorks) {
    components.failIconLibrary = true;
    Create();
    EXPECT_TRUE(runtime.FormLoaded());
    EXPECT_FALSE(tray().visible);
    EXPECT_EQ(platform.LiveWindowCount(), 1u) << "the form has its window without an icon too";
    EXPECT_EQ(Item("mnuClose").caption, "#01100#Close") << "captions stay as designed";
    EXPECT_FALSE(platform.IsSubclassed(form().hWnd()));
    StartWithExtension();
    EXPECT_TRUE(Item("mnuMaximize").visible) << "Start still works";
}

TEST_F(TrayTest, MissingNotConnectedPictureFailsTheCreationAndLeavesNothing) {
    components.iconLibraryMissing = {10022};
    EXPECT_THROW(Create(), QorError);
    EXPECT_FALSE(runtime.FormLoaded());
    EXPECT_EQ(platform.LiveWindowCount(), 0u);
    components.iconLibraryMissing.clear();
    Create();  // a later creation loads afresh
    EXPECT_TRUE(tray().visible);
}

TEST_F(TrayTest, CaptionsAtLoadComeFromTheRightTranslator) {
    components.stringTableTexts = {{"01113", "Beenden"}, {"05539", "Offline starten"}};
    components.captionTexts = {{"01100", "Schliessen"}, {"01108", "Annehmen"}};
    Create();
    EXPECT_EQ(Item("mnuClose").caption, "Beenden");
    EXPECT_EQ(Item("mnuOffline").caption, "Offline starten");
    EXPECT_EQ(Item("mnuAnswer").caption, "Annehmen");
    // Only the offline start, a separator and the exit are offered at first.
    platform.onPopup = nullptr;
    std::int16_t item = 1, right = kButtonRight, shift = 0;
    handlers().TrayIcon_MouseDown(item, right, shift);
    ASSERT_EQ(platform.popups.size(), 1u);
    EXPECT_EQ(platform.popups[0].visibleItems,
              (std::vector<std::string>{"mnuOffline", "sep4", "mnuClose"}));
}

TEST_F(TrayTest, PendingActionsRunOnePerTickInOrderAndTheIdleTimerSleeps) {
    StartWithExtension();
    handlers().mnuConnect_Click();
    platform.SetClipboardText("0301234");
    std::int16_t item = 1;
    std::int32_t over = 0;
    components.trayIcon->MouseMove(over);  // scans the clipboard: DialText
    handlers().mnuDial_Click();
    handlers().mnuDial_Click();  // twice before the tick: dials once
    Tick();
    EXPECT_EQ(client.events, (std::vector<std::string>{"MakeCall 0301234"}));
    EXPECT_EQ(ext->monitorRequests, 0);
    Tick();
    EXPECT_EQ(ext->monitorRequests, 1) << "connect runs on the second tick";
    EXPECT_EQ(client.events.size(), 1u);
    EXPECT_TRUE(form().TimerEnabled()) << "tmrNum stays enabled for the form's life";
    EXPECT_FALSE(platform.TimerRunning(form().hWnd())) << "nothing pending: no wake-ups";
    (void)item;
}

TEST_F(TrayTest, EveryLauncherDrivesTheSameFormAndReleasingEitherUnloads) {
    Create();
    const WindowHandle window = form().hWnd();
    {
        Launcher second(runtime);
        EXPECT_EQ(form().hWnd(), window) << "no second form";
    }
    EXPECT_FALSE(runtime.FormLoaded());
    EXPECT_FALSE(platform.IsSubclassed(window));
    launcher.reset();  // unloading an unloaded form does nothing
    EXPECT_EQ(platform.LiveWindowCount(), 0u);
}

TEST_F(TrayTest, ExecuteCommandSetsTheForwardIconOrReportsAndReturnsEmpty) {
    StartWithExtension();
    Connect();
    EXPECT_TRUE(launcher->ExecuteCommand("forwardiconid", Variant("12")).IsEmpty());
    EXPECT_TRUE(launcher->ExecuteCommand("ForwardIconID", Variant("12")).IsEmpty());
    std::string forward = "Forward:+49 30 555";
    launcher->SetTooltip(forward);
    EXPECT_EQ(Icon(), 12) << "the forward icon came from the library at size 16";
    EXPECT_EQ(tray().toolTip, "+49 30 555");
    EXPECT_EQ(forward, "Forward:+49 30 555") << "the client's variable is not touched";

    const auto before = components.logWriter->lines.size();
    EXPECT_TRUE(launcher->ExecuteCommand("ForwardIconID", Variant("twelve")).IsEmpty());
    ASSERT_EQ(components.logWriter->lines.size(), before + 1);
    EXPECT_EQ(components.logWriter->lines.back().text,
              "QorIcon Launcher.ExecuteCommand - qorIcon - Type mismatch - 13 (0xD)");
}

TEST_F(TrayTest, OfflineStartIsCheckedOnceAndForever) {
    Create();
    EXPECT_FALSE(launcher->IsOfflineSelected());
    handlers().mnuOffline_Click();
    handlers().mnuOffline_Click();
    EXPECT_TRUE(launcher->IsOfflineSelected());
}

}  // namespace
}  // namespace qor::testing
