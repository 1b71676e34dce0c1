// qorcall.exe under Wine, as Windows and a browser use it: registered with its own
// switches, started by the shell for a link, reaching the stand-in client (which
// records its command line beside itself), and refusing what it must.
// InstalledHandler.* runs only where the package installed it (package.sh).
//
//   qorcall_link_tests.exe [gtest flags] <path of qorcall.exe inside the prefix>

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "windows/com/Owners.h"

namespace {

using qor::com::UniqueHandle;
using qor::com::UniqueHkey;

std::wstring gProgram;  // qorcall.exe

std::wstring InstallPath() {
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Norvane\\5521\\Install", L"Path", RRF_RT_REG_SZ,
                 nullptr, path, &size);
    return path;
}

// A file's bytes, or nothing when it does not exist.
std::optional<std::string> Recorded(const std::wstring& file) {
    UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (handle.Get() == INVALID_HANDLE_VALUE) {
        handle.Release();
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

// What the stand-in client records when the handler passes it `number`.
std::string ClientCommand(const std::string& number) {
    std::string program;
    for (const wchar_t c : InstallPath()) program += static_cast<char>(c);
    return "\"" + program + "qorphone.exe\" qorphone://" + number + "\n";
}

// The command line the stand-in client recorded in `file`, waiting for it a while.
std::optional<std::string> StartedWith(const std::wstring& file) {
    for (int i = 0; i < 100; ++i) {
        if (auto line = Recorded(file); line && !line->empty()) return line;
        Sleep(50);
    }
    return std::nullopt;
}

DWORD WaitForExit(HANDLE process) {
    if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process, &code);
    return code;
}

// qorcall.exe with that argument text; its exit code.
DWORD RunHandler(const std::wstring& arguments) {
    std::wstring line = L"\"" + gProgram + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 0xFFFFFFFF;
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return WaitForExit(process.hProcess);
}

// Opens the link the way a browser hands one to Windows; the handler's exit code.
DWORD ShellOpen(const std::wstring& link) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = link.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) return 0xFFFFFFFF;
    UniqueHandle process(info.hProcess);
    return WaitForExit(info.hProcess);
}

// Everything below a key as text lines: "key", "key|name|type|data".
void Dump(HKEY root, const std::wstring& path, std::vector<std::wstring>& lines) {
    UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) !=
        ERROR_SUCCESS)
        return;
    lines.push_back(path);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        nameLength = 16384;
        RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataSize);
        data.resize(dataSize / sizeof(wchar_t));
        lines.push_back(path + L"|" + name + L"|" + std::to_wstring(type) + L"|" + data);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (path == L"Software" && std::wstring(name) == L"Wine") continue;  // Wine's own state
        Dump(root, path + L"\\" + name, lines);
    }
}

std::vector<std::wstring> Snapshot(HKEY root) {
    std::vector<std::wstring> lines;
    Dump(root, root == HKEY_CURRENT_USER ? L"Software" : L"Software\\Classes", lines);
    if (root == HKEY_LOCAL_MACHINE) Dump(root, L"Software\\RegisteredApplications", lines);
    return lines;
}

// What one snapshot has and the other lacks, marked "+" (only in `after`) or "-".
std::string Changes(const std::vector<std::wstring>& before,
                    const std::vector<std::wstring>& after) {
    std::string changes;
    const auto note = [&](char mark, const std::wstring& line) {
        changes += mark;
        for (const wchar_t c : line) changes += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
        changes += '\n';
    };
    const std::set<std::wstring> had(before.begin(), before.end()), has(after.begin(), after.end());
    for (const auto& line : after)
        if (!had.count(line)) note('+', line);
    for (const auto& line : before)
        if (!has.count(line)) note('-', line);
    return changes;
}

std::optional<std::wstring> Value(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

void SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& data) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(root, key.c_str(), name, REG_SZ, data.c_str(),
                                             static_cast<DWORD>((data.size() + 1) * 2)));
}

const std::wstring kTelCommand = L"Software\\Classes\\tel\\shell\\open\\command";
const std::wstring kCalltoCommand = L"Software\\Classes\\callto\\shell\\open\\command";

std::wstring OurCommand() {
    return L"\"" + gProgram + L"\" \"%1\"";
}

TEST(LinkRegistrationTest, PerUserRegistrationRoundTripsAndShowsInDefaultApps) {
    // Windows always has the user's classes key; a fresh Wine prefix starts without.
    UniqueHkey classes;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                             KEY_READ, nullptr, classes.Put(), nullptr));
    const auto before = Snapshot(HKEY_CURRENT_USER);
    ASSERT_EQ(0u, RunHandler(L"/register"));
    // clang-format off
    const struct { std::wstring key; const wchar_t* name; std::wstring data; } expected[] = {
        {L"Software\\Classes\\tel", L"URL Protocol", L""},
        {kTelCommand, L"", OurCommand()},
        {L"Software\\Classes\\callto", L"URL Protocol", L""},
        {kCalltoCommand, L"", OurCommand()},
        {L"Software\\RegisteredApplications", L"Norvane.qorcall",
         L"Software\\Classes\\Norvane.qorcall\\Capabilities"},
        {L"Software\\Classes\\Norvane.qorcall\\Capabilities\\URLAssociations", L"tel",
         L"Norvane.qorcall"},
        {L"Software\\Classes\\Norvane.qorcall\\Capabilities\\URLAssociations", L"callto",
         L"Norvane.qorcall"},
        {L"Software\\Classes\\Norvane.qorcall\\shell\\open\\command", L"", OurCommand()},
    };
    // clang-format on
    for (const auto& e : expected)
        EXPECT_EQ(Value(HKEY_CURRENT_USER, e.key, e.name), e.data) << e.key.c_str();
    const auto registered = Snapshot(HKEY_CURRENT_USER);
    ASSERT_EQ(0u, RunHandler(L"/REGISTER"));  // a second time changes nothing
    EXPECT_EQ(Changes(registered, Snapshot(HKEY_CURRENT_USER)), "");
    ASSERT_EQ(0u, RunHandler(L"/unregister"));
    EXPECT_EQ(Changes(before, Snapshot(HKEY_CURRENT_USER)), "");
    EXPECT_EQ(0u, RunHandler(L"/unregister"));  // nothing to remove is no failure
    EXPECT_EQ(5u, RunHandler(L"/register /everywhere"));
    EXPECT_EQ(Changes(before, Snapshot(HKEY_CURRENT_USER)), "");
}

TEST(LinkRegistrationTest, AnotherProgramsHandlerIsLeftAlone) {
    const auto before = Snapshot(HKEY_CURRENT_USER);
    const std::wstring other = L"\"C:\\other\\phone.exe\" \"%1\"";
    // callto: belongs to another program before registration ...
    SetValue(HKEY_CURRENT_USER, L"Software\\Classes\\callto", L"URL Protocol", L"");
    SetValue(HKEY_CURRENT_USER, kCalltoCommand, L"", other);
    EXPECT_EQ(3u, RunHandler(L"/register"));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kCalltoCommand, L""), other);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kTelCommand, L""), OurCommand());
    // ... and tel: is taken over by another program after it.
    SetValue(HKEY_CURRENT_USER, kTelCommand, L"", other);
    EXPECT_EQ(0u, RunHandler(L"/unregister"));
    for (const auto& scheme : {L"tel", L"callto"}) {
        const std::wstring key = std::wstring(L"Software\\Classes\\") + scheme;
        EXPECT_EQ(Value(HKEY_CURRENT_USER, key + L"\\shell\\open\\command", L""), other);
        EXPECT_EQ(Value(HKEY_CURRENT_USER, key, L"URL Protocol"), L"");
    }
    EXPECT_FALSE(Value(HKEY_CURRENT_USER, L"Software\\RegisteredApplications", L"Norvane.qorcall"));
    EXPECT_FALSE(
        Value(HKEY_CURRENT_USER, L"Software\\Classes\\Norvane.qorcall\\shell\\open\\command", L""));
    // Take the other program away: what is left is exactly what was there before.
    for (const auto& scheme : {L"Software\\Classes\\tel", L"Software\\Classes\\callto"})
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, scheme));
    EXPECT_EQ(Changes(before, Snapshot(HKEY_CURRENT_USER)), "");
}

// Wine's shell reads only the machine's classes (it does not merge the per-user
// ones into HKEY_CLASSES_ROOT), so the links are opened with the machine-wide
// registration; the handler does the same work either way.
class ShellLinkTest : public testing::Test {
  protected:
    void SetUp() override {
        before_ = Snapshot(HKEY_LOCAL_MACHINE);
        ASSERT_EQ(0u, RunHandler(L"/register /machine"));
        record_ = InstallPath() + L"cmdline.txt";
    }
    void TearDown() override {
        EXPECT_EQ(0u, RunHandler(L"/unregister /machine"));
        EXPECT_EQ(Changes(before_, Snapshot(HKEY_LOCAL_MACHINE)), "");
        DeleteFileW(record_.c_str());
    }
    std::vector<std::wstring> before_;
    std::wstring record_;
};

TEST_F(ShellLinkTest, AcceptedLinksStartTheClientWithTheNumberAlone) {
    // clang-format off
    const struct { const wchar_t* link; std::string number; } cases[] = {
        {L"tel:+4930123456", "+4930123456"},
        {L"tel:+49%2030%20123-456", "+4930123456"},
        {L"callto://+49.30.123456/", "+4930123456"},
        {L"TEL:*31%230301234", "*31#0301234"},
        {L"tel:7042;phone-context=pbx.example.com", "7042"},
    };
    // clang-format on
    for (const auto& c : cases) {
        DeleteFileW(record_.c_str());
        EXPECT_EQ(0u, ShellOpen(c.link)) << c.number;
        EXPECT_EQ(StartedWith(record_), ClientCommand(c.number));
    }
}

TEST_F(ShellLinkTest, RefusedLinksStartNothing) {
    const wchar_t* links[] = {
        L"tel:123%22%20lname:x",        L"tel:123\" \"/unregister", L"tel:12%003",
        L"tel:+4930123;ext=12",         L"tel:+49\uFF13\uFF10123",  L"callto://someone/",
        L"tel:123%0D%0Aqorphone://999", L"tel:+4930tel:+4940",
    };
    for (const auto* link : links) {
        DeleteFileW(record_.c_str());
        EXPECT_EQ(1u, ShellOpen(link));
        Sleep(200);
        EXPECT_FALSE(Recorded(record_));
    }
    // The shell's own registration was not touched by the hostile switch.
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kTelCommand, L""), OurCommand());
}

// The package's own registry rows, machine-wide: the shell opens a tel: link with
// the installed program, which starts the client with the number.
TEST(InstalledHandler, TelLinkReachesTheClient) {
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kTelCommand, L""), OurCommand());
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Norvane.qorcall"),
              L"Software\\Classes\\Norvane.qorcall\\Capabilities");
    const std::wstring record = InstallPath() + L"cmdline.txt";
    DeleteFileW(record.c_str());
    EXPECT_EQ(0u, ShellOpen(L"tel:+49%2030%20123-456"));
    EXPECT_EQ(StartedWith(record), ClientCommand("+4930123456"));
    DeleteFileW(record.c_str());
}

// The debugger output is the same line (the core's tests show it); the log is the
// logging component's file.
TEST(LinkRefusalTest, ReasonReachesTheLog) {
    EXPECT_EQ(1u, RunHandler(L"\"tel:12\uFF13\""));
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    const auto log = Recorded(std::wstring(folder) + L"\\Norvane\\5521\\qorIcon.log");
    ASSERT_TRUE(log) << "no log file";
    EXPECT_NE(log->find(" 0 3 5 qorcall.OpenLink  - qorcall \"tel:12<U+FF13>\" Link refused: the "
                        "link holds a character outside plain ASCII (U+FF13) - 5 (0x5)"),
              std::string::npos)
        << *log;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count < 2) {
        std::fprintf(stderr, "usage: %s [gtest flags] <qorcall.exe>\n", argv[0]);
        return 2;
    }
    gProgram = args[count - 1];
    LocalFree(args);
    return RUN_ALL_TESTS();
}
