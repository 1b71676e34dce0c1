#include <gtest/gtest.h>

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
