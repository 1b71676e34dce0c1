#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <random>

#include "core/common/Convert.h"
#include "core/common/Error.h"
#include "core/common/Variant.h"

namespace qor {
namespace {

std::int32_t ErrorNumberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const QorError& e) {
        return e.Number();
    }
    return 0;
}

TEST(ConvertTest, Int16RoundsHalvesToEvenAndOverflowsAsError6) {
    struct Case {
        double in;
        std::int16_t out;
    } cases[] = {{2.5, 2},  {3.5, 4},         {-2.5, -2},      {2.6, 3},
                 {-0.4, 0}, {32767.4, 32767}, {-32768, -32768}};
    for (const auto& c : cases) EXPECT_EQ(ToInt16(c.in), c.out) << c.in;
    EXPECT_EQ(ErrorNumberOf([] { ToInt16(32767.5); }), err::kOverflow);
    EXPECT_EQ(ErrorNumberOf([] { ToInt16(-32769); }), err::kOverflow);
}

TEST(ConvertTest, LeadingNumberReadsOnlyTheNumberAtTheStart) {
    struct Case {
        const char* in;
        double out;
    } cases[] = {{"2.6", 2.6}, {"12ab", 12}, {"abc", 0}, {"", 0},     {" -3", -3},
                 {"1 2", 12},  {"0", 0},     {"3", 3},   {".5", 0.5}, {"+7x", 7}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.in), c.out) << c.in;
}

// What a numeric text must convert to: strtod's reading of the text between its
// blanks, when strtod reads all of it. The texts tested hold no hex, "inf" or "nan",
// which strtod would accept and a settings text must not.
std::optional<double> StrtodValue(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::nullopt;
    const std::string t = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    char* end = nullptr;
    const double value = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size()) return std::nullopt;
    return value;
}

// Same number and sign, bit for bit ("-0" must stay -0.0).
void ExpectSameReading(const std::string& text) {
    const std::optional<double> want = StrtodValue(text);
    const std::optional<double> got = NumericValue(text);
    ASSERT_EQ(got.has_value(), want.has_value()) << '"' << text << '"';
    EXPECT_EQ(IsNumeric(text), want.has_value()) << '"' << text << '"';
    if (!want) return;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(*want))
        << '"' << text << "\" gave " << *got << ", strtod " << *want;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(TextToNumber(text)),
              std::bit_cast<std::uint64_t>(*want));
}

TEST(ConvertTest, ShortIntegersReadAsTheGeneralConversionReadsThem) {
    for (const char* text : {"0",
                             "1",
                             "-0",
                             "+0",
                             "+7",
                             "-1",
                             "007",
                             " 42 ",
                             "\t201\r\n",
                             "32767",
                             "-32768",
                             "999999999999999",
                             "-999999999999999",
                             "000000000000001",
                             "9999999999999999",
                             "0000000000000001",
                             "12345678901234567890",
                             "9007199254740993",
                             "1.",
                             ".5",
                             "-.5",
                             "1e3",
                             "1E+2",
                             "2.6",
                             "",
                             " ",
                             "-",
                             "+",
                             "1 2",
                             "1e",
                             "e1",
                             ".",
                             "--1",
                             "1-",
                             "+-1",
                             "1..2",
                             "1e1.5"})
        ExpectSameReading(text);
}

TEST(ConvertTest, RandomTextsReadAsTheGeneralConversionReadsThem) {
    std::mt19937 random(20261205);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::string alphabet = "0123456789+-.eE ";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        if (round % 2 == 0) {
            // Shaped like an entry id or a setting: blanks, a sign, up to 18 digits.
            text.append(static_cast<std::size_t>(pick(2)), ' ');
            if (pick(3) == 0) text += "+-"[pick(2)];
            const int digits = 1 + pick(18);
            for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + pick(10));
            text.append(static_cast<std::size_t>(pick(2)), ' ');
        } else {
            const int length = pick(12);
            for (int c = 0; c < length; ++c)
                text += alphabet[pick(static_cast<int>(alphabet.size()))];
        }
        ExpectSameReading(text);
        if (HasFailure()) return;
    }
}

TEST(ConvertTest, TextToBoolAcceptsWordsAndNumbersOnly) {
    struct Case {
        const char* in;
        bool out;
    } cases[] = {{"True", true}, {"tRUE", true}, {"false", false}, {"0", false},
                 {"1", true},    {"-1", true},   {" 0 ", false},   {"2.5", true}};
    for (const auto& c : cases) EXPECT_EQ(TextToBool(c.in), c.out) << c.in;
    for (const char* bad : {"", "yes", "no", "1x", "Truex"})
        EXPECT_EQ(ErrorNumberOf([bad] { TextToBool(bad); }), err::kTypeMismatch) << bad;
}

TEST(ConvertTest, TextToInt16NeedsANumberThatFits) {
    EXPECT_EQ(TextToInt16("12"), 12);
    EXPECT_EQ(TextToInt16(" 2.5 "), 2);
    EXPECT_EQ(ErrorNumberOf([] { TextToInt16("abc"); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([] { TextToInt16("40000"); }), err::kOverflow);
}

TEST(ConvertTest, ComBooleanTrueHasAllBitsSet) {
    EXPECT_EQ(ToComBool(true), -1);
    EXPECT_EQ(ToComBool(false), 0);
    EXPECT_TRUE(FromComBool(1));
    EXPECT_FALSE(FromComBool(0));
}

TEST(VariantTest, TextAndNumberForms) {
    EXPECT_EQ(Variant().ToText(), "");
    EXPECT_EQ(Variant(true).ToText(), "True");
    EXPECT_EQ(Variant(std::int32_t{-5}).ToText(), "-5");
    EXPECT_EQ(Variant(2.5).ToText(), "2.5");
    EXPECT_EQ(Variant("12").ToInt16(), 12);
    EXPECT_EQ(Variant(true).ToNumber(), -1);
    EXPECT_TRUE(Variant().EqualsText(""));
    EXPECT_FALSE(Variant(std::int32_t{0}).EqualsText(""));
    EXPECT_EQ(ErrorNumberOf([] { Variant("x").ToNumber(); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([] { Variant("1").ToObject(); }), err::kObjectRequired);
}

TEST(ErrorTest, CurrentErrorMapsForeignExceptions) {
    try {
        throw std::runtime_error("boom");
    } catch (...) {
        const ErrorInfo info = CurrentError();
        EXPECT_EQ(info.number, err::kInternal);
        EXPECT_EQ(info.description, "boom");
    }
    try {
        Raise(err::kTypeMismatch);
    } catch (...) {
        EXPECT_EQ(CurrentError().description, "Type mismatch");
    }
}

}  // namespace
}  // namespace qor
