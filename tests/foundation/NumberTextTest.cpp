// Numbers as text for files, programs and messages under locales that write ',' before
// decimals: always '.', and the process's locale as it was afterwards.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "TestLocale.h"
#include "foundation/NumberText.h"
#include "foundation/OrvexExceptions.h"

namespace {

class NumberTextInCommaLocale : public ::testing::TestWithParam<const char*> {};

TEST_P(NumberTextInCommaLocale, WritesThePointWhateverTheLocale) {
    ENTER_TEST_LOCALE(GetParam());
    const struct {
        const char* Name;
        std::string Got, Expected;
    } Rows[] = {
        {"fixed", FixedToText(-177.5L, 6), "-177.500000"},
        {"fixed, right-aligned", FixedToText(0.25L, 3, 8), "   0.250"},
        {"fixed, longer than a small buffer", std::to_string(FixedToText(1e300L, 0).size()), "301"},
        {"general", FloatToText(111.12L), "111.12"},
        {"general, exponent", FloatToText(-2.5e-20L), "-2.5e-20"},
        {"message %f", Format("%.2f", 1.5), "1.50"},
        {"message %Lg beside integers", Format("%d: %.10Lg of %u", -3, -0.125L, 7u), "-3: -0.125 of 7"},
        {"message %.0Lf", Format("divisor %.0Lf", 1000.0L), "divisor 1000"},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        EXPECT_EQ(Row.Got, Row.Expected);
    }
    char Own[16];
    std::snprintf(Own, sizeof Own, "%.1f", 0.5);
    EXPECT_STREQ(Own, "0,5") << "the locale is as it was after a message";
}

INSTANTIATE_TEST_SUITE_P(Locales, NumberTextInCommaLocale, ::testing::ValuesIn(kCommaLocales), LocaleTestName);

}  // namespace
