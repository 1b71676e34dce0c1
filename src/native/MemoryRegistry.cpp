#include "native/MemoryRegistry.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "core/common/Convert.h"
#include "core/common/Error.h"

namespace qor {

namespace {

constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kMaximumAllowed = 0x02000000;

// Rights beyond reading: what a user without write access to the root cannot get.
bool WantsMoreThanRead(std::uint32_t access) {
    return (access & ~reg::kKeyRead) != 0;
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
    for (RegKey root = reg::kClassesRoot; root <= reg::kDynData; ++root) {
        roots_[root] = std::make_shared<Key>();
    }
    // Every real machine has these; the rights check on "Software" relies on them.
    MakePath(reg::kCurrentUser, "Software");
    MakePath(reg::kLocalMachine, "Software");
}

MemoryRegistry::~MemoryRegistry() = default;

bool MemoryRegistry::IsPredefined(RegKey key) {
    return key >= reg::kClassesRoot && key <= reg::kDynData;
}

std::int32_t MemoryRegistry::SplitPath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty()) return reg::kSuccess;
    // The real functions refuse a path that starts with a separator; a trailing one
    // is tolerated.
    if (path.front() == '\\') return kBadPathname;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part.empty()) {
            if (end != path.size()) return kBadPathname;  // "a\\b"
        } else {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return reg::kSuccess;
}

std::shared_ptr<MemoryRegistry::Key> MemoryRegistry::RootKey(RegKey root) const {
    auto it = roots_.find(root);
    return it == roots_.end() ? nullptr : it->second;
}

MemoryRegistry::Resolved MemoryRegistry::ResolveHandle(RegKey key) const {
    Resolved r;
    if (IsPredefined(key)) {
        r.key = RootKey(key);
        r.root = key;
        r.access = reg::kKeyAllAccess;
        return r;
    }
    auto it = handles_.find(key);
    if (it == handles_.end()) {
        r.status = reg::kInvalidHandle;
        return r;
    }
    if (it->second.key->deleted) {
        r.status = kKeyDeleted;
        return r;
    }
    r.key = it->second.key;
    r.root = it->second.root;
    r.access = it->second.access;
    return r;
}

std::shared_ptr<MemoryRegistry::Key> MemoryRegistry::Find(
    const std::shared_ptr<Key>& from, const std::vector<std::string>& parts) const {
    std::shared_ptr<Key> current = from;
    for (const auto& part : parts) {
        auto it = current->subkeys.find(Upper(part));
        if (it == current->subkeys.end()) return nullptr;
        current = it->second;
    }
    return current;
}

std::shared_ptr<MemoryRegistry::Key> MemoryRegistry::FindPath(RegKey root,
                                                              const std::string& path) const {
    auto rootKey = RootKey(root);
    std::vector<std::string> parts;
    if (!rootKey || SplitPath(path, parts) != reg::kSuccess) return nullptr;
    return Find(rootKey, parts);
}

std::shared_ptr<MemoryRegistry::Key> MemoryRegistry::MakePath(RegKey root,
                                                              const std::string& path) {
    auto current = RootKey(root);
    std::vector<std::string> parts;
    if (!current) throw QorError(err::kInvalidCall, "unknown registry root");
    if (SplitPath(path, parts) != reg::kSuccess)
        throw QorError(err::kInvalidCall, "bad registry path: " + path);
    for (const auto& part : parts) {
        auto& slot = current->subkeys[Upper(part)];
        if (!slot) {
            slot = std::make_shared<Key>();
            slot->name = part;
        }
        current = slot;
    }
    return current;
}

bool MemoryRegistry::Denied(RegKey root) const {
    auto it = denied_.find(root);
    return it != denied_.end() && it->second;
}

RegKey MemoryRegistry::NewHandle(std::shared_ptr<Key> key, RegKey root, std::uint32_t access) {
    RegKey handle = nextHandle_;
    nextHandle_ += 4;  // real handles are multiples of four
    if (access & kMaximumAllowed) access = Denied(root) ? reg::kKeyRead : reg::kKeyAllAccess;
    handles_[handle] = Handle{std::move(key), root, access};
    return handle;
}

void MemoryRegistry::MarkDeleted(Key& key) {
    key.deleted = true;
    for (auto& [name, sub] : key.subkeys) MarkDeleted(*sub);
}

std::int32_t MemoryRegistry::OpenKey(RegKey root, const std::string& subKey, std::uint32_t access,
                                     RegKey& result) {
    result = 0;
    Resolved parent = ResolveHandle(root);
    if (parent.status != reg::kSuccess) return parent.status;
    std::vector<std::string> parts;
    if (auto status = SplitPath(subKey, parts); status != reg::kSuccess) return status;
    auto key = Find(parent.key, parts);
    if (!key) return reg::kFileNotFound;
    if (Denied(parent.root) && WantsMoreThanRead(access) && !(access & kMaximumAllowed))
        return reg::kAccessDenied;
    result = NewHandle(key, parent.root, access);
    return reg::kSuccess;
}

std::int32_t MemoryRegistry::QueryValue(RegKey key, const std::string& valueName,
                                        std::uint32_t* type, std::uint8_t* data,
                                        std::uint32_t* size) {
    Resolved r = ResolveHandle(key);
    if (r.status != reg::kSuccess) return r.status;
    if (data && !size) return reg::kInvalidParameter;
    auto it = r.key->values.find(Upper(valueName));
    if (it == r.key->values.end()) return reg::kFileNotFound;
    const Value& value = it->second;
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    if (type) *type = value.type;
    if (data) {
        if (*size < needed) {
            *size = needed;
            return reg::kMoreData;
        }
        if (needed) std::memcpy(data, value.data.data(), needed);
    }
    if (size) *size = needed;
    return reg::kSuccess;
}

std::int32_t MemoryRegistry::CreateKey(RegKey root, const std::string& subKey,
                                       const std::string& className, std::uint32_t /*options*/,
                                       std::uint32_t access, RegKey& result,
                                       std::uint32_t* disposition) {
    result = 0;
    Resolved parent = ResolveHandle(root);
    if (parent.status != reg::kSuccess) return parent.status;
    std::vector<std::string> parts;
    if (auto status = SplitPath(subKey, parts); status != reg::kSuccess) return status;

    const bool denied = Denied(parent.root);
    auto existing = Find(parent.key, parts);
    if (existing) {
        if (denied && WantsMoreThanRead(access) && !(access & kMaximumAllowed))
            return reg::kAccessDenied;
        if (disposition) *disposition = 2;  // REG_OPENED_EXISTING_KEY
        result = NewHandle(existing, parent.root, access);
        return reg::kSuccess;
    }
    // Creating needs the right to add subkeys to the key the path starts from.
    if (denied || !(parent.access & kKeyCreateSubKey)) return reg::kAccessDenied;
    auto current = parent.key;
    for (const auto& part : parts) {
        auto& slot = current->subkeys[Upper(part)];
        if (!slot) {
            slot = std::make_shared<Key>();
            slot->name = part;
            slot->className = className;
        }
        current = slot;
    }
    if (disposition) *disposition = 1;  // REG_CREATED_NEW_KEY
    result = NewHandle(current, parent.root, access);
    return reg::kSuccess;
}

std::int32_t MemoryRegistry::SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t size) {
    Resolved r = ResolveHandle(key);
    if (r.status != reg::kSuccess) return r.status;
    if (Denied(r.root) || !(r.access & kKeySetValue)) return reg::kAccessDenied;
    if (!data && size) return reg::kInvalidParameter;
    Value& value = r.key->values[Upper(valueName)];
    value.name = valueName;
    value.type = type;
    value.data.assign(data, data + size);
    return reg::kSuccess;
}

std::int32_t MemoryRegistry::DeleteValue(RegKey key, const std::string& valueName) {
    Resolved r = ResolveHandle(key);
    if (r.status != reg::kSuccess) return r.status;
    if (Denied(r.root) || !(r.access & kKeySetValue)) return reg::kAccessDenied;
    return r.key->values.erase(Upper(valueName)) ? reg::kSuccess : reg::kFileNotFound;
}

std::int32_t MemoryRegistry::DeleteKey(RegKey key, const std::string& subKey) {
    Resolved parent = ResolveHandle(key);
    if (parent.status != reg::kSuccess) return parent.status;
    std::vector<std::string> parts;
    if (auto status = SplitPath(subKey, parts); status != reg::kSuccess) return status;
    // A root itself (empty path from a predefined key) cannot be deleted.
    if (parts.empty()) return reg::kAccessDenied;
    const std::string last = parts.back();
    parts.pop_back();
    auto owner = Find(parent.key, parts);
    if (!owner) return reg::kFileNotFound;
    auto it = owner->subkeys.find(Upper(last));
    if (it == owner->subkeys.end()) return reg::kFileNotFound;
    if (Denied(parent.root)) return reg::kAccessDenied;
    // Only a key without subkeys can be deleted by this function.
    if (!it->second->subkeys.empty()) return reg::kAccessDenied;
    MarkDeleted(*it->second);
    owner->subkeys.erase(it);
    return reg::kSuccess;
}

std::int32_t MemoryRegistry::CloseKey(RegKey key) {
    if (IsPredefined(key)) return reg::kSuccess;
    return handles_.erase(key) ? reg::kSuccess : reg::kInvalidHandle;
}

void MemoryRegistry::DenyWriteAccess(RegKey root, bool deny) {
    denied_[root] = deny;
}

void MemoryRegistry::SetRaw(RegKey root, const std::string& path, const std::string& name,
                            std::uint32_t type, std::vector<std::uint8_t> data) {
    auto key = MakePath(root, path);
    Value& value = key->values[Upper(name)];
    value.name = name;
    value.type = type;
    value.data = std::move(data);
}

void MemoryRegistry::SetString(RegKey root, const std::string& path, const std::string& name,
                               const std::string& value) {
    std::vector<std::uint8_t> data(value.begin(), value.end());
    data.push_back(0);
    SetRaw(root, path, name, reg::kTypeString, std::move(data));
}

void MemoryRegistry::SetDword(RegKey root, const std::string& path, const std::string& name,
                              std::uint32_t value) {
    // Little-endian, as on every machine the component runs on.
    std::vector<std::uint8_t> data{static_cast<std::uint8_t>(value & 0xFF),
                                   static_cast<std::uint8_t>((value >> 8) & 0xFF),
                                   static_cast<std::uint8_t>((value >> 16) & 0xFF),
                                   static_cast<std::uint8_t>((value >> 24) & 0xFF)};
    SetRaw(root, path, name, reg::kTypeDword, std::move(data));
}

void MemoryRegistry::SetBinary(RegKey root, const std::string& path, const std::string& name,
                               std::vector<std::uint8_t> data) {
    SetRaw(root, path, name, reg::kTypeBinary, std::move(data));
}

std::optional<std::vector<std::uint8_t>> MemoryRegistry::GetData(RegKey root,
                                                                 const std::string& path,
                                                                 const std::string& name) const {
    auto key = FindPath(root, path);
    if (!key) return std::nullopt;
    auto it = key->values.find(Upper(name));
    if (it == key->values.end()) return std::nullopt;
    return it->second.data;
}

std::optional<std::string> MemoryRegistry::GetString(RegKey root, const std::string& path,
                                                     const std::string& name) const {
    auto data = GetData(root, path, name);
    if (!data) return std::nullopt;
    auto end = std::find(data->begin(), data->end(), std::uint8_t{0});
    return std::string(data->begin(), end);
}

std::optional<std::uint32_t> MemoryRegistry::GetType(RegKey root, const std::string& path,
                                                     const std::string& name) const {
    auto key = FindPath(root, path);
    if (!key) return std::nullopt;
    auto it = key->values.find(Upper(name));
    if (it == key->values.end()) return std::nullopt;
    return it->second.type;
}

bool MemoryRegistry::KeyExists(RegKey root, const std::string& path) const {
    return FindPath(root, path) != nullptr;
}

std::optional<std::string> MemoryRegistry::KeyClass(RegKey root, const std::string& path) const {
    auto key = FindPath(root, path);
    if (!key) return std::nullopt;
    return key->className;
}

void MemoryRegistry::RemoveTree(RegKey root, const std::string& path) {
    std::vector<std::string> parts;
    auto rootKey = RootKey(root);
    if (!rootKey || SplitPath(path, parts) != reg::kSuccess || parts.empty()) return;
    const std::string last = parts.back();
    parts.pop_back();
    auto owner = Find(rootKey, parts);
    if (!owner) return;
    auto it = owner->subkeys.find(Upper(last));
    if (it == owner->subkeys.end()) return;
    MarkDeleted(*it->second);
    owner->subkeys.erase(it);
}

// ---- .reg files

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

void MemoryRegistry::LoadRegFile(const std::string& text) {
    std::vector<std::string> lines;
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) lines.push_back(TrimRight(line));
    }
    bool headerSeen = false;
    std::shared_ptr<Key> current;
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
            std::vector<std::string> parts;
            if (SplitPath(below, parts) != reg::kSuccess) Malformed(lineNumber, "bad key path");
            if (remove) {
                if (parts.empty()) Malformed(lineNumber, "cannot delete a root");
                RemoveTree(root, below);
                current = nullptr;
            } else {
                current = MakePath(root, below);
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
            current->values.erase(Upper(name));
            continue;
        }
        Value value;
        value.name = name;
        if (!data.empty() && data[0] == '"') {
            std::size_t p = 0;
            std::string s = ReadQuoted(data, p, lineNumber);
            if (!TrimLeft(data.substr(p)).empty()) Malformed(lineNumber, "text after the value");
            value.type = reg::kTypeString;
            value.data.assign(s.begin(), s.end());
            value.data.push_back(0);
        } else if (data.compare(0, 6, "dword:") == 0) {
            std::string hex = data.substr(6);
            if (hex.empty() || hex.size() > 8 || !std::all_of(hex.begin(), hex.end(), IsHexDigit))
                Malformed(lineNumber, "bad dword");
            const auto v = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
            value.type = reg::kTypeDword;
            for (int shift = 0; shift < 32; shift += 8)
                value.data.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
        } else if (data.compare(0, 4, "hex:") == 0) {
            // Byte lists may continue on the next lines after a trailing backslash.
            std::string bytes = data.substr(4);
            while (!bytes.empty() && bytes.back() == '\\') {
                bytes.pop_back();
                if (++i >= lines.size()) Malformed(lineNumber, "unterminated byte list");
                bytes += TrimLeft(lines[i]);
            }
            value.type = reg::kTypeBinary;
            std::istringstream list(bytes);
            std::string byte;
            while (std::getline(list, byte, ',')) {
                byte = TrimLeft(TrimRight(byte));
                if (byte.size() != 2 || !IsHexDigit(byte[0]) || !IsHexDigit(byte[1]))
                    Malformed(lineNumber, "bad byte");
                value.data.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
            }
        } else {
            Malformed(lineNumber, "unknown value form");
        }
        current->values[Upper(name)] = std::move(value);
    }
}

}  // namespace qor
