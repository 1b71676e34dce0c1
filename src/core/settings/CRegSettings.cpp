#include "core/settings/CRegSettings.h"

#include <algorithm>
#include <vector>

#include "core/common/Convert.h"
#include "core/common/VersionInfo.h"

namespace qor {

namespace {

// Owner of one opened key: every operation closes what it opened, on every path.
class ScopedKey {
  public:
    explicit ScopedKey(IRegistry& registry) : registry_(registry) {}
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() {
        if (key_ != 0) registry_.CloseKey(key_);
    }
    bool Open(RegKey root, const std::string& path, std::uint32_t access) {
        return Keep(registry_.OpenKey(root, path, access, key_));
    }
    // Non-volatile, full access; keys it creates get the class text "1".
    bool Create(RegKey root, const std::string& path) {
        std::uint32_t disposition = 0;
        return Keep(registry_.CreateKey(root, path, "1", reg::kOptionNonVolatile,
                                        reg::kKeyAllAccess, key_, &disposition));
    }
    RegKey get() const { return key_; }

  private:
    // A failed open leaves nothing to close, whatever the call wrote to the handle.
    bool Keep(std::int32_t status) {
        if (status != reg::kSuccess) key_ = 0;
        return status == reg::kSuccess;
    }
    IRegistry& registry_;
    RegKey key_ = 0;
};

// "*" names the key's default (unnamed) value.
std::string ValueName(const std::string& key) {
    return key == "*" ? std::string() : key;
}

// Roots arrive either as their 32-bit pattern (0x80000002) or as the negative value a
// signed 32-bit variable holds for it; both name the same root.
RegKey RootFrom(std::int64_t value) {
    if (value < 0 && value >= INT32_MIN) return static_cast<std::uint32_t>(value);
    return static_cast<RegKey>(value);
}

}  // namespace

CRegSettings::CRegSettings(IRegistry& registry)
    : registry_(registry), mSubKey_("Software"), company_(kCompanyName), appName_(kProductName) {
    RecomputeBasePath();
}

void CRegSettings::hKey(std::int64_t newVal) {
    const RegKey root = RootFrom(newVal);
    hKey_ = (root >= reg::kClassesRoot && root <= reg::kDynData) ? root : reg::kCurrentUser;
}

void CRegSettings::MSubKey(const std::string& newVal) {
    mSubKey_ = Trim(newVal);
    if (mSubKey_.empty()) mSubKey_ = "Software";
    RecomputeBasePath();
}

void CRegSettings::Company(const std::string& newVal) {
    company_ = Trim(newVal);
    if (company_.empty()) company_ = kCompanyName;
    RecomputeBasePath();
}

void CRegSettings::AppName(const std::string& newVal) {
    appName_ = Trim(newVal);
    if (appName_.empty()) appName_ = kProductName;
    RecomputeBasePath();
}

void CRegSettings::RecomputeBasePath() {
    basePath_ = mSubKey_ + "\\" + company_ + "\\" + appName_;
}

std::string CRegSettings::SectionPath(const std::string& section) const {
    return section.empty() ? basePath_ : basePath_ + "\\" + section;
}

std::string CRegSettings::GetSetting(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) {
    ScopedKey opened(registry_);
    if (!opened.Open(hKey_, SectionPath(section), reg::kKeyRead)) return defaultValue;
    const std::string name = ValueName(key);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    // A value that exists with no data reads as missing.
    if (registry_.QueryValue(opened.get(), name, &type, nullptr, &size) != reg::kSuccess ||
        size == 0)
        return defaultValue;
    std::vector<std::uint8_t> buffer(size);
    if (registry_.QueryValue(opened.get(), name, &type, buffer.data(), &size) != reg::kSuccess)
        return defaultValue;
    // Whatever the type, the data is taken as text up to its first zero byte.
    const auto end = buffer.begin() + std::min<std::size_t>(size, buffer.size());
    return std::string(buffer.begin(), std::find(buffer.begin(), end, std::uint8_t{0}));
}

std::int32_t CRegSettings::GetSettingLong(const std::string& section, const std::string& key,
                                          const std::string& /*defaultValue*/) {
    ScopedKey opened(registry_);
    if (!opened.Open(hKey_, SectionPath(section), reg::kKeyRead)) return -1;
    const std::string name = ValueName(key);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    registry_.QueryValue(opened.get(), name, &type, nullptr, &size);
    // The result has room for four bytes only: longer data is asked for with that
    // size, the query refuses it, and the result stays 0.
    std::uint8_t bytes[4] = {0, 0, 0, 0};
    std::uint32_t asked = std::min<std::uint32_t>(size, sizeof bytes);
    if (registry_.QueryValue(opened.get(), name, &type, bytes, &asked) != reg::kSuccess) return 0;
    return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                                     (std::uint32_t{bytes[2]} << 16) |
                                     (std::uint32_t{bytes[3]} << 24));
}

bool CRegSettings::bGetSetting(const std::string& section, const std::string& key,
                               std::int16_t defaultValue) {
    const std::string text = GetSetting(section, key, defaultValue != 0 ? "1" : "0");
    return text.empty() || text[0] != '0';
}

std::int16_t CRegSettings::iGetSetting(const std::string& section, const std::string& key,
                                       std::int16_t defaultValue) {
    return ParseInt16Prefix(GetSetting(section, key, std::to_string(defaultValue)));
}

std::int16_t CRegSettings::ParseInt16Prefix(const std::string& text) {
    std::int32_t sign = 1;
    std::int32_t value = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        if (i == 0 && (c == '-' || c == '+')) {
            if (c == '-') sign = -1;
            continue;
        }
        if (!digit) break;
        const std::int32_t next = value * 10 + (c - '0');
        // Stop with what was read so far rather than overflow: "99999" reads 9999.
        if (sign * next > INT16_MAX || sign * next < INT16_MIN) break;
        value = next;
    }
    return static_cast<std::int16_t>(sign * value);
}

bool CRegSettings::SaveSetting(const std::string& section, const std::string& key,
                               const std::string& setting) {
    ScopedKey opened(registry_);
    if (!opened.Create(hKey_, SectionPath(section))) return false;
    const std::string name = ValueName(key);
    std::int32_t status;
    if (setting.empty()) {
        status = registry_.DeleteValue(opened.get(), name);
    } else {
        // The text without a terminating zero, as the length of its bytes says.
        status = registry_.SetValue(opened.get(), name, reg::kTypeString,
                                    reinterpret_cast<const std::uint8_t*>(setting.data()),
                                    static_cast<std::uint32_t>(setting.size()));
    }
    return status == reg::kSuccess;
}

bool CRegSettings::DeleteSetting(const std::string& section, const std::string& key) {
    ScopedKey opened(registry_);
    if (!key.empty()) {
        if (!opened.Open(hKey_, SectionPath(section), reg::kKeyAllAccess)) return false;
        return registry_.DeleteValue(opened.get(), ValueName(key)) == reg::kSuccess;
    }
    // Without a section there is nothing below the base path to delete; the base key
    // itself is never removed this way.
    if (section.empty()) return false;
    if (!opened.Open(hKey_, basePath_, reg::kKeyAllAccess)) return false;
    return registry_.DeleteKey(opened.get(), section) == reg::kSuccess;
}

std::string CRegSettings::GetSettingFromHKey(std::int64_t root, const std::string& appName,
                                             const std::string& section, const std::string& key,
                                             const std::string& defaultValue) {
    hKey(root);
    AppName(appName);
    return GetSetting(section, key, defaultValue);
}

std::string CRegSettings::GetSettingLongFromHKey(std::int64_t root, const std::string& appName,
                                                 const std::string& section, const std::string& key,
                                                 const std::string& defaultValue) {
    hKey(root);
    AppName(appName);
    return std::to_string(GetSettingLong(section, key, defaultValue));
}

bool CRegSettings::SaveSettingToHKey(std::int64_t root, const std::string& appName,
                                     const std::string& section, const std::string& key,
                                     const std::string& defaultValue) {
    hKey(root);
    AppName(appName);
    return SaveSetting(section, key, defaultValue);
}

bool CRegSettings::DeleteKey(std::int64_t root, const std::string& appName,
                             const std::string& section, const std::string& key) {
    hKey(root);
    AppName(appName);
    return DeleteSetting(section, key);
}

bool CRegSettings::IsUserAdmin(std::int64_t root, const std::string& /*appName*/,
                               const std::string& /*section*/) {
    ScopedKey opened(registry_);
    return opened.Open(RootFrom(root), "Software", reg::kKeyAllAccess);
}

}  // namespace qor
