#include "foundation/NumberText.h"

#include <charconv>
#include <cmath>

namespace {

template <class... TFormat>
std::string ToChars(long double Value, TFormat... Format) {
    char Small[128];
    if (const auto [End, Ec] = std::to_chars(Small, Small + sizeof Small, Value, Format...); Ec == std::errc())
        return std::string(Small, End);
    // Fixed text of a huge value: as many digits as the largest long double has, and more.
    std::string Large(8192, '\0');
    const auto [End, Ec] = std::to_chars(Large.data(), Large.data() + Large.size(), Value, Format...);
    Large.resize(Ec == std::errc() ? static_cast<size_t>(End - Large.data()) : 0);
    return Large;
}

}  // namespace

std::string FloatToText(long double Value) { return ToChars(Value, std::chars_format::general, 15); }

std::string FixedToText(long double Value, int Decimals, int Width) {
    std::string Text = ToChars(Value, std::chars_format::fixed, Decimals);
    if (static_cast<int>(Text.size()) < Width) Text.insert(0, static_cast<size_t>(Width) - Text.size(), ' ');
    return Text;
}
