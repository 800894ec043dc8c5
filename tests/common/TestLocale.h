// Locales that write ',' before decimals, for tests that the numbers the programs write and
// read do not follow the user's locale. Each is built once with localedef into a folder of
// the build tree, which LOCPATH names while a test uses it.
#pragma once

#include <string>

#include <gtest/gtest.h>

inline constexpr const char* kCommaLocales[] = {"de_DE.UTF-8", "fr_FR.UTF-8"};

// The whole process in the locale, as Qt's application object puts it in the user's, for the
// life of the object; then the locale and LOCPATH as they were.
class TTestLocale {
public:
    explicit TTestLocale(const std::string& Name);
    ~TTestLocale();
    TTestLocale(const TTestLocale&) = delete;
    TTestLocale& operator=(const TTestLocale&) = delete;

    // localedef is not installed here: the test cannot run.
    bool Missing() const { return FMissing; }
    bool Active() const { return FActive; }
    // Why the locale is not active.
    const std::string& Problem() const { return FProblem; }

private:
    bool FMissing = false, FActive = false;
    std::string FProblem, FOldLocale, FOldLocPath;
    bool FHadLocPath = false;
};

// In a test body: the rest of the test runs in the locale; skipped only without localedef.
#define ENTER_TEST_LOCALE(Name)                                                       \
    const TTestLocale TestLocale_(Name);                                              \
    if (TestLocale_.Missing()) GTEST_SKIP() << TestLocale_.Problem();                 \
    ASSERT_TRUE(TestLocale_.Active()) << TestLocale_.Problem()

// For INSTANTIATE_TEST_SUITE_P: "de_DE.UTF-8" names the test "de_DE_UTF_8".
std::string LocaleTestName(const ::testing::TestParamInfo<const char*>& Info);
