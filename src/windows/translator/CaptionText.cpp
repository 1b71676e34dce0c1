#include "CaptionText.h"

namespace qor::captions {

namespace {
constexpr size_t kDigits = 5;
constexpr wchar_t kSettingsKey[] = L"Software\\Norvane\\5521\\qorIcon\\Settings";
constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
}  // namespace

std::optional<CaptionLiteral> ParseLiteral(std::wstring_view text) noexcept {
    if (text.size() < kDigits + 2 || text[0] != L'#' || text[kDigits + 1] != L'#')
        return std::nullopt;
    CaptionLiteral literal;
    for (size_t i = 1; i <= kDigits; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        literal.number = literal.number * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    literal.defaultText = text.substr(kDigits + 2);
    return literal;
}

LANGID LanguageFromSettings() noexcept {
    wchar_t value[16] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);  // keeps a terminator even if the value has none
    LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Language", RRF_RT_REG_SZ,
                                  nullptr, value, &size);
    if (status == ERROR_SUCCESS && _wcsicmp(value, L"de") == 0) return kGerman;
    return kEnglish;
}

std::optional<std::wstring> LoadText(HMODULE module, LANGID language, unsigned number) {
    // LoadString always picks the thread's language, so the block of 16 strings that
    // holds the number is found for the wanted language and walked by hand.
    if (number > 0xFFFF) return std::nullopt;
    HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(number / 16 + 1), language);
    if (!block) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, block);
    auto* entry = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!entry) return std::nullopt;
    const WCHAR* end = entry + SizeofResource(module, block) / sizeof(WCHAR);
    // Each entry is a length followed by that many UTF-16 units, without terminator.
    for (unsigned i = 0; i < number % 16; ++i) {
        if (entry >= end) return std::nullopt;
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || entry + 1 + *entry > end) return std::nullopt;
    return std::wstring(entry + 1, *entry);
}

std::wstring Translate(HMODULE module, LANGID language, std::wstring_view caption) {
    auto literal = ParseLiteral(caption);
    if (!literal) return std::wstring(caption);
    if (auto text = LoadText(module, language, literal->number)) return *text;
    return std::wstring(literal->defaultText);
}

}  // namespace qor::captions
