#include "core/clicktocall/SafeCtl.h"

#include <cstring>
#include <string_view>

namespace qor::basSafeCtl {

namespace {

constexpr std::size_t kGuidTextLength = 38;
using GuidText = char[kGuidTextLength + 1];

// Formats into a fixed buffer so that the IObjectSafety answers never allocate and
// so can never fail for want of memory.
void FormatGuidInto(const std::uint8_t (&b)[16], GuidText& out) noexcept {
    static constexpr char kHex[] = "0123456789ABCDEF";
    // Memory order of each byte in the text: the three leading fields are stored
    // little-endian, so their bytes are read back to front.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::size_t pos = 0;
    out[pos++] = '{';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out[pos++] = '-';
        const std::uint8_t byte = b[kOrder[i]];
        out[pos++] = kHex[byte >> 4];
        out[pos++] = kHex[byte & 0x0F];
    }
    out[pos++] = '}';
    out[pos] = '\0';
}

enum class Kind { Unknown, Automation, Persistence };

// `riid` may be any caller-given address: copy the identifier out before reading it,
// as it need not be aligned.
Kind KindOf(const void* riid) noexcept {
    std::uint8_t bytes[16];
    std::memcpy(bytes, riid, sizeof bytes);
    GuidText text;
    FormatGuidInto(bytes, text);
    const std::string_view iid(text);
    if (iid == kIidIDispatch) return Kind::Automation;
    if (iid == kIidIPersistStorage || iid == kIidIPersistStream || iid == kIidIPersistPropertyBag)
        return Kind::Persistence;
    return Kind::Unknown;
}

constexpr std::uint32_t kAllOptions =
    kInterfaceSafeForUntrustedCaller | kInterfaceSafeForUntrustedData;

}  // namespace

std::string FormatGuid(const std::uint8_t (&bytes)[16]) {
    GuidText text;
    FormatGuidInto(bytes, text);
    return text;
}

std::int32_t GetInterfaceSafetyOptions(const void* riid, std::uint32_t* pdwSupportedOptions,
                                       std::uint32_t* pdwEnabledOptions) noexcept {
    // A null out-address is a caller's bug; answer it instead of writing through it.
    if (pdwSupportedOptions == nullptr) return kEPointer;
    *pdwSupportedOptions = kAllOptions;
    if (riid == nullptr) return kSOk;
    const Kind kind = KindOf(riid);
    if (kind == Kind::Unknown) return kENoInterface;
    if (pdwEnabledOptions == nullptr) return kEPointer;
    *pdwEnabledOptions = kind == Kind::Automation ? kInterfaceSafeForUntrustedCaller
                                                  : kInterfaceSafeForUntrustedData;
    return kSOk;
}

std::int32_t SetInterfaceSafetyOptions(const void* riid, std::uint32_t dwOptionsSetMask,
                                       std::uint32_t dwEnabledOptions) noexcept {
    if (riid == nullptr) return kSOk;
    const std::uint32_t asked = dwOptionsSetMask & dwEnabledOptions;
    // The safety given is fixed: only a request for exactly that safety succeeds;
    // asking for more, or for switching it off, fails.
    switch (KindOf(riid)) {
        case Kind::Automation:
            return asked == kInterfaceSafeForUntrustedCaller ? kSOk : kEFail;
        case Kind::Persistence:
            return asked == kInterfaceSafeForUntrustedData ? kSOk : kEFail;
        case Kind::Unknown:
            break;
    }
    return kENoInterface;
}

}  // namespace qor::basSafeCtl
