#pragma once
// Value conversions with the semantics the client's settings and arguments rely on.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qor {

// COM Boolean: True has all bits set.
inline constexpr std::int16_t kComTrue = -1;
inline constexpr std::int16_t kComFalse = 0;
constexpr std::int16_t ToComBool(bool value) {
    return value ? kComTrue : kComFalse;
}
constexpr bool FromComBool(std::int16_t value) {
    return value != 0;
}

// Rounds to the nearest integer, halves to even, into 16 bits; error 6 beyond.
std::int16_t ToInt16(double value);
// Same, into 32 bits.
std::int32_t ToInt32(double value);

// The numeric value of the leading number of a text: "2.6" is 2.6, "12ab" is 12,
// a text that does not start with a number is 0. Blanks are skipped.
double LeadingNumber(std::string_view text);

// Whether the whole text (surrounding blanks allowed) is a number.
bool IsNumeric(std::string_view text);

// A numeric text to its value; error 13 (type mismatch) when it is not a number.
double TextToNumber(std::string_view text);

// The value of a text that IsNumeric accepts, else nothing: the test and the
// conversion in one pass.
std::optional<double> NumericValue(std::string_view text);

// "True"/"False" in any letter case, or a number (0 is False, anything else True);
// anything else is error 13.
bool TextToBool(std::string_view text);

// Text to 16-bit integer the way a settings text is converted: numeric text,
// rounded halves to even; error 13 for non-numbers and error 6 beyond 16 bits.
std::int16_t TextToInt16(std::string_view text);

// Decimal text of a number as the client shows it: integers without a point,
// other values in the shortest form that reads back the same.
std::string NumberToText(double value);

std::string Trim(std::string_view text);   // leading and trailing spaces removed
std::string Upper(std::string_view text);  // ASCII upper case
bool StartsWith(std::string_view text, std::string_view prefix);

}  // namespace qor
