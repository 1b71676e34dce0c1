// The scenario runner's view of a loaded module: its modal and outside calls go to
// recorders instead of the screen, and its tray form is read through its describe
// export. Checked on a small module that makes the same calls as qorIcon.dll.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "sim/windows/FormProbe.h"
#include "sim/windows/Recorder.h"

using qor::sim::win::PopupEntry;
using qor::sim::win::Recorder;

namespace {

template <class Fn>
Fn* Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class RecorderTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(module) << "RecorderTestDll.dll beside the test";
        owner = CreateWindowExA(0, "STATIC", "owner", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        ASSERT_TRUE(owner);
    }
    void TearDown() override {
        DestroyWindow(owner);
        FreeLibrary(module);
    }
    HMODULE module = LoadLibraryA("RecorderTestDll.dll");
    HWND owner = nullptr;
};

void* RealMessageBox() {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxA"));
}

TEST_F(RecorderTest, PatchesOnlyTheModulesImportsAndPutsThemBack) {
    auto slot = Export<void*()>(module, "MessageBoxSlot");
    {
        Recorder recorder(module);
        for (const char* f : {"MessageBoxA", "MessageBeep", "TrackPopupMenu", "TrackPopupMenuEx",
                              "CreateProcessA", "SetForegroundWindow"})
            EXPECT_TRUE(recorder.Patched(f)) << f;
        EXPECT_FALSE(recorder.Patched("GetTickCount"));
        EXPECT_NE(RealMessageBox(), slot());
        // The test's own imports are untouched.
        EXPECT_EQ(RealMessageBox(), reinterpret_cast<void*>(&MessageBoxA));
        EXPECT_THROW(Recorder second(module), std::logic_error);
    }
    EXPECT_EQ(RealMessageBox(), slot());
}

TEST_F(RecorderTest, RecordsInsteadOfShowingOrStarting) {
    Recorder recorder(module);
    EXPECT_EQ(IDOK, Export<int(const char*)>(module, "ShowBox")("No call to answer"));
    EXPECT_TRUE(Export<BOOL()>(module, "BeepOnce")());
    EXPECT_TRUE(Export<BOOL()>(module, "BeepOnce")());
    BOOL handlesUsable = FALSE;
    EXPECT_TRUE(Export<BOOL(const char*, WORD, BOOL*)>(module, "Start")(
        "\"C:\\qorclient\\qorphone.exe\" qorphone://123", SW_SHOWMINNOACTIVE, &handlesUsable));
    EXPECT_TRUE(handlesUsable);
    // A program that is not there does not start and is not recorded.
    EXPECT_FALSE(Export<BOOL(const char*, WORD, BOOL*)>(module, "Start")(
        "\"C:\\nowhere\\qorphone.exe\" qorphone://123", SW_SHOWMINNOACTIVE, &handlesUsable));
    EXPECT_TRUE(Export<BOOL(HWND)>(module, "Foreground")(owner));
    auto debug = Export<void(const char*)>(module, "Debug");
    debug("first\r\nsecond\r\n");
    debug("third without an end");

    EXPECT_EQ(std::vector<std::string>{"No call to answer"}, recorder.messageBoxes);
    EXPECT_EQ(2, recorder.beeps);
    ASSERT_EQ(1u, recorder.processes.size());
    EXPECT_EQ("\"C:\\qorclient\\qorphone.exe\" qorphone://123", recorder.processes[0].commandLine);
    EXPECT_EQ(SW_SHOWMINNOACTIVE, recorder.processes[0].showMode);
    EXPECT_EQ(std::vector<HWND>{owner}, recorder.foregroundCalls);
    // Other output of the process may come in between; ours is there in order.
    std::vector<std::string> ours;
    for (const auto& line : recorder.debugLines)
        if (line == "first" || line == "second" || line == "third without an end")
            ours.push_back(line);
    EXPECT_EQ((std::vector<std::string>{"first", "second", "third without an end"}), ours);
}

TEST_F(RecorderTest, PopupIsReadAsBuiltAndAnsweredByTheChooser) {
    Recorder recorder(module);
    auto show = Export<UINT(HWND, UINT, BOOL)>(module, "ShowMenu");

    recorder.onPopup = [](const std::vector<PopupEntry>&) -> UINT { return 0; };
    EXPECT_EQ(0u, show(owner, TPM_RETURNCMD, FALSE));
    ASSERT_EQ(1u, recorder.popups.size());
    const auto& menu = recorder.popups[0];
    ASSERT_EQ(5u, menu.size());
    struct Expected {
        const char* caption;
        bool separator, checked, grayed, isDefault;
        UINT id;
        std::size_t children;
    };
    const Expected expected[] = {
        {"&Dial", false, false, false, true, 1, 0},  {"Offline", false, true, false, false, 2, 0},
        {"", true, false, false, false, 0, 0},       {"Apps", false, false, false, false, 0, 2},
        {"E&xit", false, false, false, false, 3, 0},
    };
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const auto& e = expected[i];
        EXPECT_EQ(e.caption, menu[i].caption) << i;
        EXPECT_EQ(e.separator, menu[i].separator) << i;
        EXPECT_EQ(e.checked, menu[i].checked) << i;
        EXPECT_EQ(e.grayed, menu[i].grayed) << i;
        EXPECT_EQ(e.isDefault, menu[i].isDefault) << i;
        EXPECT_EQ(e.id, menu[i].id) << i;
        EXPECT_EQ(e.children, menu[i].children.size()) << i;
    }
    ASSERT_EQ(2u, menu[3].children.size());
    EXPECT_EQ("Locked", menu[3].children[1].caption);
    EXPECT_TRUE(menu[3].children[1].grayed);
    EXPECT_EQ(8u, menu[3].children[1].id);

    // What the module gets back, and what its owner hears, for each answer.
    struct Case {
        UINT flags;
        BOOL ex;
        UINT answer;
        UINT returned;
        UINT command;  // WM_COMMAND id posted to the owner, 0 for none
    };
    const Case cases[] = {
        {TPM_RETURNCMD, FALSE, 7, 7, 0},  // a submenu's command
        {TPM_RETURNCMD | TPM_RIGHTBUTTON, TRUE, 1, 1, 0},
        {TPM_RETURNCMD, FALSE, 8, 0, 0},   // grayed: a user cannot choose it
        {TPM_RETURNCMD, FALSE, 99, 0, 0},  // not in the menu
        {0, FALSE, 3, TRUE, 3},            // without RETURNCMD the owner is told
        {0, TRUE, 0, TRUE, 0},             // dismissed: nothing to tell
        {TPM_NONOTIFY, FALSE, 2, TRUE, 0},
    };
    for (const auto& c : cases) {
        recorder.onPopup = [&](const std::vector<PopupEntry>&) { return c.answer; };
        EXPECT_EQ(c.returned, show(owner, c.flags, c.ex)) << "answer " << c.answer;
        MSG message{};
        const bool posted = PeekMessageA(&message, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE);
        EXPECT_EQ(c.command, posted ? LOWORD(message.wParam) : 0u) << "answer " << c.answer;
    }
    recorder.onPopup = [](const std::vector<PopupEntry>&) -> UINT {
        throw std::runtime_error("the chooser failed");
    };
    EXPECT_EQ(0u, show(owner, TPM_RETURNCMD, FALSE));
    EXPECT_EQ(2u + std::size(cases), recorder.popups.size());
}

TEST_F(RecorderTest, FormProbeReadsALongDescription) {
    qor::sim::FormView form;
    ASSERT_TRUE(qor::sim::win::ReadFormProbe(module, form));
    EXPECT_EQ(3, form.state);
    EXPECT_EQ("mnuDial", form.defaultItem);
    ASSERT_EQ(4u, form.items.size());
    EXPECT_EQ("sep1", form.items[1].name);
    EXPECT_TRUE(form.items[1].separator);
    EXPECT_FALSE(form.items[1].visible);
    EXPECT_EQ("mnuAppSession(0)", form.items[2].name);
    EXPECT_TRUE(form.items[2].checked);
    EXPECT_EQ("main", form.items[2].tag);
    EXPECT_EQ(1, form.items[3].depth);
    EXPECT_EQ(5000u, form.items[3].caption.size());
    EXPECT_EQ("42", form.items[3].tag);
    // A module without the export has no form to read.
    EXPECT_FALSE(qor::sim::win::ReadFormProbe(GetModuleHandleA("kernel32.dll"), form));
    EXPECT_EQ(3, form.state);
}

}  // namespace
