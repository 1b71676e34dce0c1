#include "windows/logger/LogFileWriter.h"

#include <shlobj.h>

#include <cstdio>

#include "windows/com/Owners.h"
#include "windows/com/Text.h"

namespace qor::logging {

namespace {
constexpr wchar_t kCompanyFolder[] = L"\\Norvane";
constexpr wchar_t kProductFolder[] = L"\\Norvane\\5521";
constexpr wchar_t kFileName[] = L"\\qorIcon.log";
constexpr wchar_t kOldFileName[] = L"\\qorIcon.old.log";

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                            bytes, nullptr, nullptr);
    return result;
}

bool EnsureFolder(const std::wstring& path) noexcept {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    // Something by that name exists: usable only if it is a folder.
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
std::uint64_t Size(const std::wstring& path) noexcept {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Moves the full log aside. Processes that write at the same moment agree through
// a mutex, and the size is looked at again inside it: only the first of them
// moves the file, the others then find room.
void MakeRoom(const std::wstring& folder, std::size_t needed) noexcept {
    com::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\qorIcon.log"));
    const DWORD wait = mutex ? WaitForSingleObject(mutex.Get(), 2000) : WAIT_FAILED;
    const bool locked = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    const std::wstring path = folder + kFileName;
    if (Size(path) + needed > kLogCapBytes)
        MoveFileExW(path.c_str(), (folder + kOldFileName).c_str(), MOVEFILE_REPLACE_EXISTING);
    if (locked) ReleaseMutex(mutex.Get());
}

}  // namespace

std::string FormatLine(const SYSTEMTIME& time, std::int32_t sourceId, std::int32_t code1,
                       std::int32_t code2, std::wstring_view text) {
    char head[96];
    std::snprintf(head, sizeof(head), "%04u-%02u-%02u %02u:%02u:%02u.%03u %ld %ld %ld ", time.wYear,
                  time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                  time.wMilliseconds, static_cast<long>(sourceId), static_cast<long>(code1),
                  static_cast<long>(code2));
    std::string line = head;
    line += Utf8(text);
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

std::wstring LogFolder() {
    wchar_t base[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        if (FAILED(
                SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
            return {};
    }
    return std::wstring(base) + kProductFolder;
}

bool AppendLine(const std::wstring& folder, std::string_view line) noexcept {
    try {
        if (folder.empty()) return false;
        // folder is <base>\Norvane\5521: create the company level first.
        const std::wstring base = folder.substr(0, folder.size() - (std::size(kProductFolder) - 1));
        if (!EnsureFolder(base + kCompanyFolder) || !EnsureFolder(folder)) return false;
        std::string data(line);
        data += "\r\n";
        const std::wstring path = folder + kFileName;
        if (Size(path) + data.size() > kLogCapBytes) MakeRoom(folder, data.size());
        // Appending writes are atomic per call, so several processes may share the
        // file; sharing delete lets another one move it aside meanwhile.
        com::UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || file.Get() == INVALID_HANDLE_VALUE) {
            file.Release();  // INVALID_HANDLE_VALUE is not ours to close
            return false;
        }
        DWORD written = 0;
        return WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written,
                         nullptr) &&
               written == data.size();
    } catch (...) {
        return false;
    }
}

}  // namespace qor::logging
