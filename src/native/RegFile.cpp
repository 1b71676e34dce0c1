#include "native/RegFile.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "core/common/Convert.h"
#include "core/common/Error.h"
#include "native/MemoryRegistry.h"

namespace qor {

namespace {

[[noreturn]] void Malformed(std::size_t lineNumber, const std::string& why) {
    throw QorError(err::kInvalidCall,
                   "registry file line " + std::to_string(lineNumber) + ": " + why);
}

std::string TrimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string TrimLeft(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    return text.substr(i);
}

// Reads a quoted text at text[pos] ('"'); pos ends after the closing quote.
std::string ReadQuoted(const std::string& text, std::size_t& pos, std::size_t lineNumber) {
    if (pos >= text.size() || text[pos] != '"') Malformed(lineNumber, "expected '\"'");
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\') {
            if (++pos >= text.size()) break;
            if (text[pos] != '\\' && text[pos] != '"') Malformed(lineNumber, "unknown escape");
            c = text[pos];
        }
        out.push_back(c);
    }
    Malformed(lineNumber, "unterminated text");
}

bool ParseRoot(const std::string& name, RegKey& root) {
    static const struct {
        const char* longName;
        const char* shortName;
        RegKey key;
    } kRoots[] = {{"HKEY_CLASSES_ROOT", "HKCR", reg::kClassesRoot},
                  {"HKEY_CURRENT_USER", "HKCU", reg::kCurrentUser},
                  {"HKEY_LOCAL_MACHINE", "HKLM", reg::kLocalMachine},
                  {"HKEY_USERS", "HKU", reg::kUsers},
                  {"HKEY_CURRENT_CONFIG", "HKCC", reg::kCurrentConfig}};
    const std::string upper = Upper(name);
    for (const auto& r : kRoots) {
        if (upper == r.longName || upper == r.shortName) {
            root = r.key;
            return true;
        }
    }
    return false;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

void LoadRegFile(MemoryRegistry& registry, const std::string& text) {
    std::vector<std::string> lines;
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) lines.push_back(TrimRight(line));
    }
    bool headerSeen = false;
    // The key the value lines go to, once a [key] line named one.
    std::optional<std::pair<RegKey, std::string>> current;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t lineNumber = i + 1;
        std::string line = TrimLeft(lines[i]);
        if (!headerSeen && i == 0 && line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);  // a UTF-8 byte order mark
        if (line.empty() || line[0] == ';') continue;
        if (!headerSeen) {
            if (line != "Windows Registry Editor Version 5.00" && line != "REGEDIT4")
                Malformed(lineNumber, "missing header");
            headerSeen = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') Malformed(lineNumber, "missing ']'");
            std::string path = line.substr(1, line.size() - 2);
            const bool remove = !path.empty() && path[0] == '-';
            if (remove) path.erase(0, 1);
            const std::size_t sep = path.find('\\');
            RegKey root = 0;
            if (!ParseRoot(path.substr(0, sep), root)) Malformed(lineNumber, "unknown root");
            const std::string below = sep == std::string::npos ? "" : path.substr(sep + 1);
            if (!MemoryRegistry::IsKeyPath(below)) Malformed(lineNumber, "bad key path");
            if (remove) {
                if (below.empty()) Malformed(lineNumber, "cannot delete a root");
                registry.RemoveTree(root, below);
                current.reset();
            } else {
                registry.CreatePath(root, below);
                current.emplace(root, below);
            }
            continue;
        }
        // A value line: "name"=data or @=data.
        std::size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            pos = 1;
        } else {
            name = ReadQuoted(line, pos, lineNumber);
        }
        if (pos >= line.size() || line[pos] != '=') Malformed(lineNumber, "expected '='");
        if (!current) Malformed(lineNumber, "value outside a key");
        std::string data = line.substr(pos + 1);
        if (data == "-") {
            registry.RemoveValue(current->first, current->second, name);
            continue;
        }
        std::uint32_t type = reg::kTypeNone;
        std::vector<std::uint8_t> bytes;
        if (!data.empty() && data[0] == '"') {
            std::size_t p = 0;
            std::string s = ReadQuoted(data, p, lineNumber);
            if (!TrimLeft(data.substr(p)).empty()) Malformed(lineNumber, "text after the value");
            type = reg::kTypeString;
            bytes.assign(s.begin(), s.end());
            bytes.push_back(0);
        } else if (data.compare(0, 6, "dword:") == 0) {
            std::string hex = data.substr(6);
            if (hex.empty() || hex.size() > 8 || !std::all_of(hex.begin(), hex.end(), IsHexDigit))
                Malformed(lineNumber, "bad dword");
            const auto v = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
            type = reg::kTypeDword;
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
        } else if (data.compare(0, 4, "hex:") == 0) {
            // Byte lists may continue on the next lines after a trailing backslash.
            std::string list = data.substr(4);
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                if (++i >= lines.size()) Malformed(lineNumber, "unterminated byte list");
                list += TrimLeft(lines[i]);
            }
            type = reg::kTypeBinary;
            std::istringstream items(list);
            std::string byte;
            while (std::getline(items, byte, ',')) {
                byte = TrimLeft(TrimRight(byte));
                if (byte.size() != 2 || !IsHexDigit(byte[0]) || !IsHexDigit(byte[1]))
                    Malformed(lineNumber, "bad byte");
                bytes.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
            }
        } else {
            Malformed(lineNumber, "unknown value form");
        }
        registry.SetRaw(current->first, current->second, name, type, std::move(bytes));
    }
}

}  // namespace qor
