#pragma once
// Reading a tel: (RFC 3966) or callto: link into a dial string. The link comes from
// a web page, so the reading is strict: what comes out holds only digits, a leading
// "+", "*" and "#", and everything else is refused with a reason a person can act
// on. Nothing is folded into something dialable: a full-width digit or a look-alike
// dash is refused, not read as the character it resembles.

#include <cstddef>
#include <string>
#include <string_view>

namespace qor {

// The longest link read at all, in UTF-16 units: a number with separators,
// percent escapes and a phone-context domain fits many times over.
inline constexpr std::size_t kMaxLinkLength = 512;
// The longest dial string: the longest number the tray itself dials.
inline constexpr std::size_t kMaxDialLength = 30;

struct DialLink {
    std::string number;   // the dial string; empty when refused
    std::string refusal;  // why the link was refused; empty when accepted
    bool Accepted() const { return refusal.empty(); }
};

// Accepts "tel:" and "callto:" (also "callto://", with one trailing "/") in any
// letter case. Percent escapes are decoded once, first. Visual separators "-", ".",
// "(", ")" and spaces between the number's characters are removed. Parameters:
// ";phone-context=" of a local number is checked and not dialled (the number is
// dialled as written); ";ext=", ";isub=" and any other parameter are refused.
DialLink ReadDialLink(std::u16string_view link);

// The link as it can safely go into a log line: printable ASCII as it is, every
// other unit as <U+XXXX>, cut after `limit` units.
std::string PrintableLink(std::u16string_view link, std::size_t limit = 100);

}  // namespace qor
