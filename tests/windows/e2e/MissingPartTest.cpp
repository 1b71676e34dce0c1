// A part of the install missing or broken, as an administrator meets it: the
// component names the part, its ProgID and what is wrong, on the debugger output
// and, for the tray icon control that the Launcher cannot do without, as the
// creation's own error 429. The logger and the translator are created once per
// process, so each MissingPart case runs in a process of its own (e2e.sh); every
// case puts the registration back before it checks.

#include <gtest/gtest.h>

#include <string>

#include "../TestSupport.h"
#include "DebugOutput.h"
#include "qorIcon.h"
#include "windows/com/Owners.h"

using namespace qortest;

namespace {

constexpr HRESULT kCannotCreate = static_cast<HRESULT>(0x800A01AD);  // error 429

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // paths and names here are ASCII
}

std::wstring ServerFile(const wchar_t* progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return {};
    wchar_t guid[64] = {}, path[MAX_PATH] = {};
    StringFromGUID2(clsid, guid, 64);
    DWORD size = sizeof path;
    RegGetValueW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + guid + L"\\InprocServer32").c_str(),
                 nullptr, RRF_RT_REG_SZ, nullptr, path, &size);
    return path;
}

// Calls DllRegisterServer or DllUnregisterServer of a module, as regsvr32 would.
HRESULT CallExport(const std::wstring& module, const char* name) {
    HMODULE loaded = LoadLibraryW(module.c_str());
    if (!loaded) return HRESULT_FROM_WIN32(GetLastError());
    auto function = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
    const HRESULT hr = function ? function() : E_NOINTERFACE;
    FreeLibrary(loaded);
    return hr;
}

struct Created {
    HRESULT hr;
    std::wstring description;
};

Created CreateLauncher() {
    ComPtr<_Launcher> launcher;
    const HRESULT hr = CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER,
                                        IID__Launcher, launcher.PutVoid());
    return {hr, FAILED(hr) ? LastErrorDescription() : L""};
}

struct Part {
    const char* test;
    const wchar_t* progId;
    const char* name;
    bool launcherFails;  // the tray icon control: the form cannot load without it
};

const Part kParts[] = {
    {"TrayIconControl", L"TrayIconCtl.TrayIcon", "The tray icon control", true},
    {"IconLibrary", L"QORIcons.Icons", "The icon library", false},
    {"CaptionTranslator", L"QORTranslate.CaptionTranslator", "The caption translator", false},
    {"LoggingComponent", L"QORLog.Logger", "The logging component", false},
};

class MissingPart : public testing::TestWithParam<Part> {};

TEST_P(MissingPart, IsNamedWithItsProgId) {
    const Part& part = GetParam();
    const std::wstring file = ServerFile(part.progId);
    ASSERT_FALSE(file.empty()) << "the part should be registered before the test";
    ASSERT_EQ(S_OK, CallExport(file, "DllUnregisterServer"));
    DebugOutput output;
    const Created created = CreateLauncher();
    ASSERT_EQ(S_OK, CallExport(file, "DllRegisterServer"));

    const std::string line =
        std::string(part.name) + " (" + Narrow(part.progId) + ") is not registered";
    EXPECT_NE(std::string::npos, output.Text().find(line + "\r\n")) << output.Text();
    if (part.launcherFails) {
        EXPECT_EQ(kCannotCreate, created.hr);
        EXPECT_EQ(line, Narrow(created.description));
    } else {
        EXPECT_EQ(S_OK, created.hr) << Narrow(created.description);
    }
}

INSTANTIATE_TEST_SUITE_P(EachPart, MissingPart, testing::ValuesIn(kParts),
                         [](const auto& info) { return std::string(info.param.test); });

// The tray icon control registered wrongly in the ways an install goes wrong; the
// creation fails with the reason, and nothing else happens to the process.
class BrokenInstall : public testing::Test {
  protected:
    void SetUp() override {
        file = ServerFile(L"TrayIconCtl.TrayIcon");
        ASSERT_FALSE(file.empty());
    }
    void TearDown() override { EXPECT_EQ(S_OK, CallExport(file, "DllRegisterServer")); }

    void ExpectCreationFails(const std::string& reason) {
        DebugOutput output;
        const Created created = CreateLauncher();
        const std::string line = "The tray icon control (TrayIconCtl.TrayIcon) " + reason;
        EXPECT_EQ(kCannotCreate, created.hr);
        EXPECT_EQ(line, Narrow(created.description));
        EXPECT_NE(std::string::npos, output.Text().find(line + "\r\n")) << output.Text();
    }
    std::wstring file;
};

TEST_F(BrokenInstall, RegisteredOnlyForProgramsOfTheOtherBitness) {
    ASSERT_EQ(S_OK, CallExport(file, "DllUnregisterServer"));
    // What the x86 package writes, as this 64-bit process sees it: only in the
    // other registry view.
    qor::com::UniqueHkey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CLASSES_ROOT, L"TrayIconCtl.TrayIcon\\CLSID", 0, nullptr, 0,
                              KEY_WRITE | KEY_WOW64_32KEY, nullptr, key.Put(), nullptr));
    ExpectCreationFails(
        "is registered for 32-bit programs only; this 64-bit program needs the "
        "x64 package");
    key.Reset();
    qor::com::UniqueHkey progId;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TrayIconCtl.TrayIcon", 0,
                      KEY_ALL_ACCESS | KEY_WOW64_32KEY, progId.Put()) == ERROR_SUCCESS)
        RegDeleteTreeW(progId.Get(), nullptr);
    progId.Reset();
    RegDeleteKeyExW(HKEY_CLASSES_ROOT, L"TrayIconCtl.TrayIcon", KEY_WOW64_32KEY, 0);
}

TEST_F(BrokenInstall, FileRemovedAfterRegistration) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"removed-part";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\trayicon.ocx";
    ASSERT_TRUE(CopyFileW(file.c_str(), copy.c_str(), FALSE));
    ASSERT_EQ(S_OK, CallExport(copy, "DllRegisterServer"));
    ASSERT_TRUE(DeleteFileW(copy.c_str()));
    ExpectCreationFails("is registered, but its file " + Narrow(copy) + " is missing");
}

TEST_F(BrokenInstall, RegisteredWithAFileOfTheOtherBitness) {
    // The x86 build's control, where the build has made one.
    wchar_t other[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"QOR_X86_TRAYICON", other, MAX_PATH) ||
        GetFileAttributesW(other) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no x86 trayicon.ocx built (windows-i686 preset)";
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"TrayIconCtl.TrayIcon", &clsid));
    wchar_t guid[64] = {};
    StringFromGUID2(clsid, guid, 64);
    const std::wstring key = std::wstring(L"CLSID\\") + guid + L"\\InprocServer32";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, other,
                              static_cast<DWORD>((wcslen(other) + 1) * sizeof(wchar_t))));
    ExpectCreationFails("is registered with " + Narrow(other) +
                        ", a file for 32-bit programs; this 64-bit program needs the x64 package");
}

}  // namespace
