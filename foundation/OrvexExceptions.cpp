#include "foundation/OrvexExceptions.h"

#include <cstdarg>
#include <cstdio>
#include <locale.h>

namespace {

// The C library's printf follows the thread's locale, which Qt's application object sets to
// the user's: for the length of one call this thread uses the "C" locale instead, so that a
// message's %f and %g write "." as every other number the programs write does. Nothing else
// in the process sees the switch.
class TCNumbers {
public:
    TCNumbers() : FOld(CLocale() ? uselocale(CLocale()) : nullptr) {}
    ~TCNumbers() {
        if (FOld) uselocale(FOld);
    }
    TCNumbers(const TCNumbers&) = delete;
    TCNumbers& operator=(const TCNumbers&) = delete;

private:
    static locale_t CLocale() {
        static const locale_t C = newlocale(LC_ALL_MASK, "C", nullptr);
        return C;
    }
    locale_t FOld;
};

}  // namespace

std::string Format(const char* Fmt, ...) {
    const TCNumbers Numbers;
    va_list Args;
    va_start(Args, Fmt);
    va_list Measure;
    va_copy(Measure, Args);
    const int Length = std::vsnprintf(nullptr, 0, Fmt, Measure);
    va_end(Measure);

    std::string Result;
    if (Length > 0) {
        // vsnprintf always writes a terminator; std::string keeps room for one past size().
        Result.resize(static_cast<size_t>(Length));
        std::vsnprintf(Result.data(), Result.size() + 1, Fmt, Args);
    }
    va_end(Args);
    return Result;
}
