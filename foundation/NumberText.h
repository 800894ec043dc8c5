#pragma once
// Numbers as text for files, other programs and messages: "." is the decimal separator and
// there is no digit grouping, whatever locale the program runs in (Qt's application object
// switches the C library to the user's). Text is read back the same way by ParseReal and
// ParseInt32 (importers/ImportSupport.h).

#include <string>

// General decimal text with up to 15 significant digits ("111.12", "1e+20").
std::string FloatToText(long double Value);
// Fixed-point text with Decimals decimals ("-177.512396"), right-aligned in at least Width
// characters.
std::string FixedToText(long double Value, int Decimals, int Width = 0);
