#pragma once
// An in-memory registry with the behaviour of the Windows one for everything the
// component relies on: case-insensitive key and value names, typed values stored
// byte for byte, the default (unnamed) value, key handles that must be closed, and
// per-root write protection to play a user without administrator rights.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/contracts/Platform.h"

namespace qor {

class MemoryRegistry : public IRegistry {
  public:
    // Status codes the real functions answer beyond those in reg::.
    static constexpr std::int32_t kBadPathname = 161;
    static constexpr std::int32_t kKeyDeleted = 1018;

    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    // --- IRegistry
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t access,
                         RegKey& result) override;
    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    std::int32_t CreateKey(RegKey root, const std::string& subKey, const std::string& className,
                           std::uint32_t options, std::uint32_t access, RegKey& result,
                           std::uint32_t* disposition) override;
    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t DeleteValue(RegKey key, const std::string& valueName) override;
    std::int32_t DeleteKey(RegKey key, const std::string& subKey) override;
    std::int32_t CloseKey(RegKey key) override;

    // --- Simulation: opening with more than read access, creating, setting and
    // deleting anywhere below `root` fail with kAccessDenied.
    void DenyWriteAccess(RegKey root, bool deny = true);

    // --- Direct access for tests and the simulator (no handles involved; keys on
    // the way are created). An empty name is the default value.
    // REG_SZ with a terminating zero, as the registry editor stores it.
    void SetString(RegKey root, const std::string& path, const std::string& name,
                   const std::string& value);
    void SetDword(RegKey root, const std::string& path, const std::string& name,
                  std::uint32_t value);
    void SetBinary(RegKey root, const std::string& path, const std::string& name,
                   std::vector<std::uint8_t> data);
    void SetRaw(RegKey root, const std::string& path, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);
    // The value's data read as text up to its first zero byte; nullopt when the key
    // or the value does not exist.
    std::optional<std::string> GetString(RegKey root, const std::string& path,
                                         const std::string& name) const;
    std::optional<std::uint32_t> GetType(RegKey root, const std::string& path,
                                         const std::string& name) const;
    std::optional<std::vector<std::uint8_t>> GetData(RegKey root, const std::string& path,
                                                     const std::string& name) const;
    bool KeyExists(RegKey root, const std::string& path) const;
    // The class text given to CreateKey when it created that key.
    std::optional<std::string> KeyClass(RegKey root, const std::string& path) const;
    // Removes a key with everything below it.
    void RemoveTree(RegKey root, const std::string& path);
    // Creates the key and the keys on the way; throws QorError for a bad path.
    void CreatePath(RegKey root, const std::string& path);
    // Removes one value; nothing when the key or the value does not exist.
    void RemoveValue(RegKey root, const std::string& path, const std::string& name);
    // Whether the system's functions would take the path below a root.
    static bool IsKeyPath(const std::string& path);
    std::size_t OpenHandleCount() const { return handles_.size(); }

    // Applies a registry export (see RegFile.h).
    void LoadRegFile(const std::string& text);

  private:
    struct Value {
        std::string name;
        std::uint32_t type = reg::kTypeNone;
        std::vector<std::uint8_t> data;
    };
    struct Key {
        std::string name;
        std::string className;
        bool deleted = false;
        std::map<std::string, Value> values;                  // by upper-case name
        std::map<std::string, std::shared_ptr<Key>> subkeys;  // by upper-case name
    };
    struct Handle {
        std::shared_ptr<Key> key;
        RegKey root;
        std::uint32_t access;
    };
    struct Resolved {
        std::shared_ptr<Key> key;
        RegKey root = 0;
        std::uint32_t access = 0;
        std::int32_t status = reg::kSuccess;
    };

    static bool IsPredefined(RegKey key);
    static std::int32_t SplitPath(const std::string& path, std::vector<std::string>& parts);
    Resolved ResolveHandle(RegKey key) const;
    std::shared_ptr<Key> RootKey(RegKey root) const;
    std::shared_ptr<Key> Find(const std::shared_ptr<Key>& from,
                              const std::vector<std::string>& parts) const;
    std::shared_ptr<Key> FindPath(RegKey root, const std::string& path) const;
    const Value* FindValue(RegKey root, const std::string& path, const std::string& name) const;
    std::shared_ptr<Key> MakePath(RegKey root, const std::string& path);
    bool Denied(RegKey root) const;
    RegKey NewHandle(std::shared_ptr<Key> key, RegKey root, std::uint32_t access);
    static void MarkDeleted(Key& key);

    std::map<RegKey, std::shared_ptr<Key>> roots_;
    std::map<RegKey, Handle> handles_;
    std::map<RegKey, bool> denied_;
    RegKey nextHandle_ = 0x1000;
};

}  // namespace qor
