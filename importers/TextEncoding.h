#pragma once
// The character sets of attribute tables: found by the names people write in a shapefile's
// ".cpg" file or by the language-driver byte of a dBASE header, and the table's bytes turned
// into UTF-8, the text the rest of the program shows and stores.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TTextEncoding {
public:
    // The bytes as they are: the reading of tables that name no character set.
    TTextEncoding() = default;

    // "UTF-8", "1252", "CP1252", "ANSI 1252", "windows-1251", "ISO-8859-2", "88591", "OEM 866",
    // "KOI8-R", "Big5"...: letter case, blanks, '-' and '_' do not count. Nothing for a name
    // this program does not know; "" is the raw reading.
    static std::optional<TTextEncoding> Find(std::string_view Name);
    // The code page a dBASE language-driver ID (header byte 29) stands for; the raw reading for
    // 0 and for IDs without one.
    static TTextEncoding ForLanguageDriver(uint8_t Id);

    bool IsRaw() const { return FKind == kRaw; }
    // What the user would call it: "UTF-8", "CP1252", "ISO-8859-5"...; "" for the raw reading.
    std::string Name() const { return FName; }
    // Bytes that are not a character of the set become U+FFFD.
    std::string ToUtf8(std::string_view Bytes) const;

    // The names offered in the import dialog, the raw reading ("") excluded.
    static const char* const* CommonNames();

private:
    enum TKind : uint8_t { kRaw, kUtf8, kLatin1, kTable, kSystem };
    TKind FKind = kRaw;
    const char16_t* FTable = nullptr;  // bytes 0x80..0xFF
    std::string FName;
};
