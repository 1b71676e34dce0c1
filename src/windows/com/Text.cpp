#include "windows/com/Text.h"

#include <new>

namespace qor::com {

namespace {
std::wstring WidenFrom(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, result.data(), needed);
    return result;
}
std::string NarrowTo(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}
}  // namespace

std::wstring Widen(std::string_view text) {
    return WidenFrom(CP_ACP, text);
}
std::string Narrow(std::wstring_view text) {
    return NarrowTo(CP_ACP, text);
}
std::string Utf8(std::wstring_view text) {
    return NarrowTo(CP_UTF8, text);
}
std::wstring FromUtf8(std::string_view text) {
    return WidenFrom(CP_UTF8, text);
}

std::string FromBstr(BSTR text) {
    if (!text) return {};
    return Narrow(std::wstring_view(text, SysStringLen(text)));
}

BSTR AllocBstr(std::string_view text) {
    const std::wstring wide = Widen(text);
    BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!result) throw std::bad_alloc();
    return result;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    return buffer;
}

}  // namespace qor::com
