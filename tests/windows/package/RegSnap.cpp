// regsnap: writes what an install can touch, one line each, sorted: every key and
// value below HKLM\Software (both registry views) and HKCU\Software, and every
// file and folder below the folders named. Two snapshots compare with diff.
//
//   regsnap <out.txt> [folder...]
//   regsnap <out.txt> --classes machine|user    only the classes root, its prefix
//                                               removed (per-user against machine)

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string Data(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        for (auto& c : text)
            if (c == L'\0') c = L'|';
        while (!text.empty() && text.back() == L'|') text.pop_back();
        return Utf8(text);
    }
    if (type == REG_DWORD && size == 4)
        return std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
    std::string hex;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        hex += byte;
    }
    return hex;
}

void Walk(HKEY root, const std::wstring& path, REGSAM view, const std::string& label,
          std::vector<std::string>& lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    // The classes root itself may come and go with a per-user registration: only
    // what is in it counts.
    if (label != "CLASSES") lines.push_back(label);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size + 2);
        nameLength = 16384;
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        lines.push_back(label + "|" + Utf8(name) + "|" + std::to_string(type) + "|" +
                        Data(type, data, size));
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const auto& child : children) {
        // The 64-bit walk of HKLM\Software reaches the 32-bit view as Wow6432Node:
        // that view has its own walk. The classes walk is of this bitness only
        // (Wine reflects type libraries into the other view).
        const bool otherView =
            lstrcmpiW(child.c_str(), L"Wow6432Node") == 0 &&
            ((view == KEY_WOW64_64KEY && path == L"Software") || label == "CLASSES");
        if (otherView) continue;
        Walk(root, path + L"\\" + child, view, label + "\\" + Utf8(child), lines);
    }
}

void Files(const std::wstring& folder, std::vector<std::string>& lines) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        lines.push_back("FILE " + Utf8(path));
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Files(path, lines);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: regsnap out.txt [folder...] | --classes machine|user\n");
        return 2;
    }
    std::vector<std::string> lines;
    if (argc == 4 && std::wstring(argv[2]) == L"--classes") {
        const bool user = std::wstring(argv[3]) == L"user";
        Walk(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, "CLASSES",
             lines);
    } else {
        Walk(HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_64KEY, "HKLM64\\Software", lines);
        Walk(HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_32KEY, "HKLM32\\Software", lines);
        Walk(HKEY_CURRENT_USER, L"Software", 0, "HKCU\\Software", lines);
        for (int i = 2; i < argc; ++i) Files(argv[i], lines);
    }
    std::sort(lines.begin(), lines.end());
    FILE* out = _wfopen(argv[1], L"wb");
    if (!out) return 1;
    for (const auto& line : lines) std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
    return 0;
}
