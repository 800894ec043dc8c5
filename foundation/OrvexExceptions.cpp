#include "foundation/OrvexExceptions.h"

#include <cstdarg>
#include <cstdio>

std::string Format(const char* Fmt, ...) {
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
