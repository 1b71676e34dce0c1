#pragma once
// The component's registry access class. Every setting lives at
// root\MSubKey\Company\AppName\section; reads fall back to a default, writes and
// deletions answer False. Every key opened is closed before an operation returns.

#include <cstdint>
#include <string>

#include "core/contracts/Platform.h"

namespace qor {

class CRegSettings {
  public:
    explicit CRegSettings(IRegistry& registry);

    RegKey hKey() const { return hKey_; }
    // Accepted between HKEY_CLASSES_ROOT and HKEY_DYN_DATA; anything else stores
    // HKEY_CURRENT_USER.
    void hKey(std::int64_t newVal);
    const std::string& MSubKey() const { return mSubKey_; }
    void MSubKey(const std::string& newVal);  // trimmed; empty stores "Software"
    const std::string& Company() const { return company_; }
    void Company(const std::string& newVal);  // trimmed; empty stores the company name
    const std::string& AppName() const { return appName_; }
    void AppName(const std::string& newVal);  // trimmed; empty stores the product name

    std::string GetSetting(const std::string& section, const std::string& key,
                           const std::string& defaultValue = {});
    std::int32_t GetSettingLong(const std::string& section, const std::string& key,
                                const std::string& defaultValue = {});
    bool bGetSetting(const std::string& section, const std::string& key,
                     std::int16_t defaultValue = 0);
    std::int16_t iGetSetting(const std::string& section, const std::string& key,
                             std::int16_t defaultValue = 0);
    bool SaveSetting(const std::string& section, const std::string& key,
                     const std::string& setting);
    bool DeleteSetting(const std::string& section, const std::string& key);
    std::string GetSettingFromHKey(std::int64_t root, const std::string& appName,
                                   const std::string& section, const std::string& key,
                                   const std::string& defaultValue = {});
    std::string GetSettingLongFromHKey(std::int64_t root, const std::string& appName,
                                       const std::string& section, const std::string& key,
                                       const std::string& defaultValue = {});
    bool SaveSettingToHKey(std::int64_t root, const std::string& appName,
                           const std::string& section, const std::string& key,
                           const std::string& defaultValue = {});
    bool DeleteKey(std::int64_t root, const std::string& appName, const std::string& section,
                   const std::string& key);
    bool IsUserAdmin(std::int64_t root, const std::string& appName, const std::string& section);

    // The text parse of iGetSetting: optional sign, digits, stop at anything else or
    // before the value would leave 16 bits.
    static std::int16_t ParseInt16Prefix(const std::string& text);

  private:
    std::string SectionPath(const std::string& section) const;
    void RecomputeBasePath();

    IRegistry& registry_;
    RegKey hKey_ = reg::kCurrentUser;
    std::string mSubKey_;
    std::string company_;
    std::string appName_;
    std::string basePath_;
};

}  // namespace qor
