#include "native/MemoryRegistry.h"

#include <algorithm>
#include <cstring>

#include "core/common/Convert.h"
#include "core/common/Error.h"
#include "native/RegFile.h"

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

const MemoryRegistry::Value* MemoryRegistry::FindValue(RegKey root, const std::string& path,
                                                       const std::string& name) const {
    auto key = FindPath(root, path);
    if (!key) return nullptr;
    auto it = key->values.find(Upper(name));
    return it == key->values.end() ? nullptr : &it->second;
}

std::optional<std::vector<std::uint8_t>> MemoryRegistry::GetData(RegKey root,
                                                                 const std::string& path,
                                                                 const std::string& name) const {
    const Value* value = FindValue(root, path, name);
    if (!value) return std::nullopt;
    return value->data;
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
    const Value* value = FindValue(root, path, name);
    if (!value) return std::nullopt;
    return value->type;
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

void MemoryRegistry::CreatePath(RegKey root, const std::string& path) {
    MakePath(root, path);
}

void MemoryRegistry::RemoveValue(RegKey root, const std::string& path, const std::string& name) {
    if (auto key = FindPath(root, path)) key->values.erase(Upper(name));
}

bool MemoryRegistry::IsKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    return SplitPath(path, parts) == reg::kSuccess;
}

void MemoryRegistry::LoadRegFile(const std::string& text) {
    qor::LoadRegFile(*this, text);
}

}  // namespace qor
