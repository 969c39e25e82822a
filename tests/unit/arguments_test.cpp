#include <gtest/gtest.h>

#include "text/arguments.h"

TEST(Arguments, StripRemovesOnlyBracketsAndQuotesAndKeepsBackslashes) {
    EXPECT_EQ(stripArgumentText(R"(["My, [best] profile"])"), "My, best profile");
    EXPECT_EQ(stripArgumentText(R"(["say \"hi\""])"), R"(say \hi\)");
    EXPECT_EQ(stripArgumentText(" [ a ] "), "  a  ");
}

TEST(Arguments, SplitCountsEmptyFieldsButNoFinalOne) {
    EXPECT_EQ(splitFields("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(splitFields("a,b,", ','), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitFields(",", ','), (std::vector<std::string>{""}));
    EXPECT_TRUE(splitFields("", ',').empty());
    EXPECT_EQ(splitFields(" a , b", ','), (std::vector<std::string>{" a ", " b"}));
}

TEST(Arguments, NumbersPassedAsStringsSplitLikeNumbers) {
    EXPECT_EQ(parseArgumentList(R"([1,2,3])"), parseArgumentList(R"(["1","2","3"])"));
    EXPECT_TRUE(parseArgumentList("[]").empty());
}

TEST(Arguments, IntegersReadLeadingDigitsWithinRange) {
    int32_t v = 0;
    EXPECT_TRUE(parseInt32("12px", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(parseInt32("  -5", v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(parseInt32("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(parseInt32("1.5", v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(parseInt32("2147483647", v));
    EXPECT_TRUE(parseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    v = 99;
    EXPECT_FALSE(parseInt32("2147483648", v));
    EXPECT_FALSE(parseInt32("99999999999999999999999", v));
    EXPECT_FALSE(parseInt32("", v));
    EXPECT_FALSE(parseInt32("px12", v));
    EXPECT_FALSE(parseInt32("- 1", v));
    EXPECT_EQ(v, 99);
}

TEST(Arguments, UnsignedWrapsANegativeValueLikeTheFileReaderAlwaysHas) {
    uint32_t v = 0;
    EXPECT_TRUE(parseUInt32("-1", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(parseUInt32("4294967295", v));
    EXPECT_FALSE(parseUInt32("4294967296", v));
}

TEST(Arguments, RealsIgnoreTheLocaleAndStopAtTheFirstBadCharacter) {
    float f = 0;
    EXPECT_TRUE(parseFloat(" 1.5x", f));
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_TRUE(parseFloat("-2e1", f));
    EXPECT_FLOAT_EQ(f, -20.f);
    EXPECT_FALSE(parseFloat("abc", f));
    EXPECT_FALSE(parseFloat("1e99", f));
    double d = 0;
    EXPECT_TRUE(parseDouble("0.015625", d));
    EXPECT_EQ(d, 0.015625);
    EXPECT_TRUE(parseDouble(".5", d));
    EXPECT_EQ(d, 0.5);
}

TEST(Arguments, GeneralNotationWithSixSignificantDigits) {
    EXPECT_EQ(formatGeneral6(1.0), "1");
    EXPECT_EQ(formatGeneral6(0.5), "0.5");
    EXPECT_EQ(formatGeneral6(1.25), "1.25");
    EXPECT_EQ(formatGeneral6(double(0.1f)), "0.1");
    EXPECT_EQ(formatGeneral6(12.3456789), "12.3457");
    EXPECT_EQ(formatGeneral6(1234567.8), "1.23457e+06");
    EXPECT_EQ(formatGeneral6(0.00001), "1e-05");
    EXPECT_EQ(formatFixed6(1.25), "1.250000");
    EXPECT_EQ(formatFixed6(-0.5), "-0.500000");
}

TEST(Arguments, RoundTripTextReadsBackExactly) {
    for (double value : {0.1, 1.0 / 3.0, 12345.678901234567, 1e-9}) {
        double back = 0;
        ASSERT_TRUE(parseDouble(formatRoundTrip(value), back));
        EXPECT_EQ(back, value);
    }
}

TEST(Arguments, JsonStringEscapesEverythingJsonNeeds) {
    EXPECT_EQ(jsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
}
