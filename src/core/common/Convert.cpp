#include "core/common/Convert.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/common/Error.h"

namespace qor {

namespace {

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) Raise(err::kOverflow);
    // nearbyint in the default rounding mode rounds halves to even.
    return std::nearbyint(value);
}

// isdigit is the same in every locale; this spares the library call.
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view StripBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Integers of up to this many digits are exact in a double, so their value can be
// built digit by digit and equals what strtod gives for the same text.
constexpr std::size_t kExactDigits = 15;

// Parses a decimal number (sign, digits, one point, exponent) from the start of
// text; returns how many characters were used, 0 when there is no number.
std::size_t ParseDecimal(std::string_view text, double& out) {
    const std::size_t signLength = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    std::size_t i = signLength;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    const std::size_t integerDigits = digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < text.size() && IsDigit(text[j])) ++j, ++expDigits;
        if (expDigits > 0) i = j;
    }
    if (integerDigits == i - signLength && integerDigits <= kExactDigits) {
        // A short integer, the usual entry id or setting: no library call.
        std::uint64_t value = 0;
        for (std::size_t k = signLength; k < i; ++k)
            value = value * 10 + static_cast<std::uint64_t>(text[k] - '0');
        const auto magnitude = static_cast<double>(value);
        out = text[0] == '-' ? -magnitude : magnitude;  // "-0" is -0.0, as strtod reads it
        return i;
    }
    // strtod needs a terminated copy; a number that fits the buffer costs no allocation.
    char buffer[64];
    if (i < sizeof buffer) {
        text.copy(buffer, i);
        buffer[i] = '\0';
        out = std::strtod(buffer, nullptr);
    } else {
        out = std::strtod(std::string(text.substr(0, i)).c_str(), nullptr);
    }
    return i;
}

}  // namespace

std::int16_t ToInt16(double value) {
    const double r = RoundHalfEven(value);
    if (r < std::numeric_limits<std::int16_t>::min() ||
        r > std::numeric_limits<std::int16_t>::max())
        Raise(err::kOverflow);
    return static_cast<std::int16_t>(r);
}

std::int32_t ToInt32(double value) {
    const double r = RoundHalfEven(value);
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        Raise(err::kOverflow);
    return static_cast<std::int32_t>(r);
}

double LeadingNumber(std::string_view text) {
    // Blanks anywhere in the leading number are passed over ("1 2" reads as 12).
    std::string compact;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        compact.push_back(c);
    }
    double value = 0;
    return ParseDecimal(compact, value) > 0 ? value : 0.0;
}

std::optional<double> NumericValue(std::string_view text) {
    const std::string_view t = StripBlanks(text);
    double value = 0;
    if (t.empty() || ParseDecimal(t, value) != t.size()) return std::nullopt;
    return value;
}

bool IsNumeric(std::string_view text) {
    return NumericValue(text).has_value();
}

double TextToNumber(std::string_view text) {
    const std::optional<double> value = NumericValue(text);
    if (!value) Raise(err::kTypeMismatch);
    return *value;
}

bool TextToBool(std::string_view text) {
    const std::string upper = Upper(StripBlanks(text));
    if (upper == "TRUE") return true;
    if (upper == "FALSE") return false;
    return TextToNumber(text) != 0.0;
}

std::int16_t TextToInt16(std::string_view text) {
    return ToInt16(TextToNumber(text));
}

std::string NumberToText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace qor
