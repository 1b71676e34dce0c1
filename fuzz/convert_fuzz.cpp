// The value conversions against a second implementation, kept deliberately simple
// (regular expressions, floor and a digit count) so that it shares no code and
// no cleverness with the product's: the leading number of a text, whole numbers,
// rounding into 16 and 32 bits with halves to even and error 6 beyond, text to
// Boolean, a number's text reading back as itself, and the settings' 16-bit
// prefix parse. The input is a text; its first eight bytes are also a number.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>
#include <string>

#include "FuzzCheck.h"
#include "core/common/Convert.h"
#include "core/common/Error.h"
#include "core/common/Variant.h"
#include "core/settings/CRegSettings.h"

namespace {

using qor::fuzz::Require;

// ---- The second implementation

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const std::regex& NumberPattern() {
    static const std::regex pattern(R"([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)");
    return pattern;
}

double RefLeadingNumber(const std::string& text) {
    std::string compact;
    for (char c : text)
        if (!Blank(c)) compact += c;
    std::smatch match;
    if (!std::regex_search(compact, match, NumberPattern(), std::regex_constants::match_continuous))
        return 0;
    return std::strtod(match.str(0).c_str(), nullptr);
}

// The text without the blanks around it.
std::string Stripped(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && Blank(text[first])) ++first;
    while (last > first && Blank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// The whole text, blanks around it aside, is a number: its value.
std::optional<double> RefNumber(const std::string& text) {
    const std::string t = Stripped(text);
    if (!std::regex_match(t, NumberPattern())) return std::nullopt;
    return std::strtod(t.c_str(), nullptr);
}

// Nearest whole number, halves to the even one; nullopt when it is not finite.
std::optional<double> RefRound(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest > 0.5) return below + 1;
    if (rest < 0.5) return below;
    return std::fmod(below, 2) == 0 ? below : below + 1;
}

// The rounded value when it fits in [min, max], else nullopt (error 6).
std::optional<long long> RefRoundInto(double value, double min, double max) {
    const auto r = RefRound(value);
    if (!r || *r < min || *r > max) return std::nullopt;
    return static_cast<long long>(*r);
}

std::optional<bool> RefBool(const std::string& text) {
    std::string word = Stripped(text);
    for (auto& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "true" || word == "false") return word == "true";
    if (const auto n = RefNumber(text)) return *n != 0;
    return std::nullopt;
}

// Sign, then the longest run of digits whose value still fits in 16 bits.
std::int16_t RefPrefix16(const std::string& text) {
    std::size_t i = 0;
    long sign = 1;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        sign = text[0] == '-' ? -1 : 1;
        i = 1;
    }
    std::string digits;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        digits += text[i++];
    for (std::size_t n = digits.size();; --n) {
        std::string d = digits.substr(0, n);
        d.erase(0, std::min(d.find_first_not_of('0'), d.size()));
        if (d.size() <= 5) {
            const long value = sign * (d.empty() ? 0 : std::stol(d));
            if (value >= -32768 && value <= 32767) return static_cast<std::int16_t>(value);
        }
        if (n == 0) return 0;
    }
}

// ---- Checks of the product against it

template <class F>
std::optional<std::int32_t> ErrorOf(F&& call) {
    try {
        call();
    } catch (const qor::QorError& e) {
        return e.Number();
    }
    return std::nullopt;
}

std::string Shown(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

void CheckRounding(double value) {
    const auto want16 = RefRoundInto(value, -32768, 32767);
    std::int16_t got16 = 0;
    const auto error16 = ErrorOf([&] { got16 = qor::ToInt16(value); });
    Require(want16 ? !error16 && got16 == *want16 : error16 == qor::err::kOverflow,
            "ToInt16(" + Shown(value) + ")");
    const auto want32 = RefRoundInto(value, -2147483648.0, 2147483647.0);
    std::int32_t got32 = 0;
    const auto error32 = ErrorOf([&] { got32 = qor::ToInt32(value); });
    Require(want32 ? !error32 && got32 == *want32 : error32 == qor::err::kOverflow,
            "ToInt32(" + Shown(value) + ")");
}

void CheckNumberText(double value) {
    if (!std::isfinite(value)) return;
    const std::string text = qor::NumberToText(value);
    const auto back = RefNumber(text);
    Require(back && *back == value, "NumberToText(" + Shown(value) + ") = " + text);
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        Require(text.find_first_not_of("-0123456789") == std::string::npos,
                "a whole number shown with a point: " + text);
    Require(qor::Variant(value).ToText() == text, "Variant text of " + Shown(value));
}

void CheckText(const std::string& text) {
    const double lead = qor::LeadingNumber(text), wantLead = RefLeadingNumber(text);
    Require(lead == wantLead || (std::isnan(lead) && std::isnan(wantLead)),
            "LeadingNumber: " + Shown(lead) + " instead of " + Shown(wantLead));

    const auto number = RefNumber(text);
    Require(qor::IsNumeric(text) == number.has_value(), "IsNumeric");
    double got = 0;
    auto error = ErrorOf([&] { got = qor::TextToNumber(text); });
    Require(number ? !error && got == *number : error == qor::err::kTypeMismatch, "TextToNumber");
    error = ErrorOf([&] { got = qor::Variant(text).ToNumber(); });
    Require(number ? !error && got == *number : error == qor::err::kTypeMismatch,
            "Variant::ToNumber");

    const auto want16 = number ? RefRoundInto(*number, -32768, 32767) : std::nullopt;
    std::int16_t got16 = 0;
    error = ErrorOf([&] { got16 = qor::TextToInt16(text); });
    Require(!number  ? error == qor::err::kTypeMismatch
            : want16 ? !error && got16 == *want16
                     : error == qor::err::kOverflow,
            "TextToInt16");

    const auto wantBool = RefBool(text);
    bool gotBool = false;
    error = ErrorOf([&] { gotBool = qor::TextToBool(text); });
    Require(wantBool ? !error && gotBool == *wantBool : error == qor::err::kTypeMismatch,
            "TextToBool");

    Require(qor::CRegSettings::ParseInt16Prefix(text) == RefPrefix16(text), "ParseInt16Prefix");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckText(text);
    CheckRounding(qor::LeadingNumber(text));
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        CheckRounding(value);
        CheckNumberText(value);
    }
    return 0;
}
