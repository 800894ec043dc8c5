#include "importers/TextEncoding.h"

#include <QStringDecoder>
#include <array>
#include <charconv>

#include "platform/Text.h"

namespace {

#include "importers/CodePages.inc"

struct TCodePage {
    uint32_t Number;
    const char16_t* Table;
    const char* Name;
};

constexpr TCodePage kCodePages[] = {
    {437, kCp437, "CP437"},       {737, kCp737, "CP737"},       {850, kCp850, "CP850"},
    {852, kCp852, "CP852"},       {857, kCp857, "CP857"},       {860, kCp860, "CP860"},
    {861, kCp861, "CP861"},       {863, kCp863, "CP863"},       {865, kCp865, "CP865"},
    {866, kCp866, "CP866"},       {874, kCp874, "CP874"},       {1250, kCp1250, "CP1250"},
    {1251, kCp1251, "CP1251"},    {1252, kCp1252, "CP1252"},    {1253, kCp1253, "CP1253"},
    {1254, kCp1254, "CP1254"},    {1255, kCp1255, "CP1255"},    {1256, kCp1256, "CP1256"},
    {1257, kCp1257, "CP1257"},    {1258, kCp1258, "CP1258"},    {10000, kCp10000, "MacRoman"},
    {10006, kCp10006, "MacGreek"}, {10007, kCp10007, "MacCyrillic"}, {10029, kCp10029, "MacCentralEurope"},
    {28592, kCp28592, "ISO-8859-2"}, {28593, kCp28593, "ISO-8859-3"}, {28594, kCp28594, "ISO-8859-4"},
    {28595, kCp28595, "ISO-8859-5"}, {28596, kCp28596, "ISO-8859-6"}, {28597, kCp28597, "ISO-8859-7"},
    {28598, kCp28598, "ISO-8859-8"}, {28599, kCp28599, "ISO-8859-9"}, {28600, kCp28600, "ISO-8859-10"},
    {28601, kCp28601, "ISO-8859-11"}, {28603, kCp28603, "ISO-8859-13"}, {28604, kCp28604, "ISO-8859-14"},
    {28605, kCp28605, "ISO-8859-15"}, {28606, kCp28606, "ISO-8859-16"}, {20866, kCp20866, "KOI8-R"},
    {21866, kCp21866, "KOI8-U"},
};

// East Asian double-byte sets: left to the toolkit's converters.
struct TSystemSet {
    uint32_t Number;
    const char* Name;
};
constexpr TSystemSet kSystemSets[] = {{932, "Shift_JIS"}, {936, "GBK"}, {949, "EUC-KR"}, {950, "Big5"}};

// dBASE language-driver IDs and their code pages.
constexpr std::pair<uint8_t, uint16_t> kLanguageDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x08, 865},  {0x09, 437},  {0x0A, 850},
    {0x0B, 437},  {0x0D, 437},  {0x0E, 850},  {0x0F, 437},  {0x10, 850},   {0x11, 437},  {0x12, 850},
    {0x13, 932},  {0x14, 850},  {0x15, 437},  {0x16, 850},  {0x17, 865},   {0x18, 437},  {0x19, 437},
    {0x1A, 850},  {0x1B, 437},  {0x1C, 863},  {0x1D, 850},  {0x1F, 852},   {0x22, 852},  {0x23, 852},
    {0x24, 860},  {0x25, 850},  {0x26, 866},  {0x37, 850},  {0x40, 852},   {0x4D, 936},  {0x4E, 949},
    {0x4F, 950},  {0x50, 874},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252},  {0x64, 852},  {0x65, 866},
    {0x66, 865},  {0x67, 861},  {0x6A, 737},  {0x6B, 857},  {0x6C, 863},   {0x78, 950},  {0x79, 949},
    {0x7A, 936},  {0x7B, 932},  {0x7C, 874},  {0x7D, 1255}, {0x7E, 1256},  {0x86, 737},  {0x87, 852},
    {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254},
    {0xCB, 1253}, {0xCC, 1257},
};

// Upper case, letters and digits only.
std::string Normalized(std::string_view Name) {
    std::string R;
    for (char C : Name) {
        if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
        if ((C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9')) R += C;
    }
    return R;
}

bool StartsWith(std::string_view S, std::string_view P) { return S.substr(0, P.size()) == P; }

std::optional<uint32_t> Number(std::string_view S) {
    uint32_t N = 0;
    const auto [End, Ec] = std::from_chars(S.data(), S.data() + S.size(), N);
    if (S.empty() || Ec != std::errc() || End != S.data() + S.size()) return std::nullopt;
    return N;
}

void AppendUtf8(std::string& Out, char32_t C) {
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | C >> 6);
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xE0 | C >> 12);
        Out += static_cast<char>(0x80 | (C >> 6 & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

}  // namespace

std::optional<TTextEncoding> TTextEncoding::Find(std::string_view Name) {
    std::string N = Normalized(Name);
    TTextEncoding E;
    if (N.empty()) return E;
    auto Known = [](std::initializer_list<std::string_view> Names, std::string_view X) {
        for (std::string_view S : Names)
            if (S == X) return true;
        return false;
    };
    if (Known({"UTF8", "65001", "CP65001"}, N)) {
        E.FKind = kUtf8;
        E.FName = "UTF-8";
        return E;
    }
    if (Known({"LATIN1", "L1", "ISO88591", "88591", "28591", "ASCII", "USASCII"}, N)) {
        E.FKind = kLatin1;
        E.FName = "ISO-8859-1";
        return E;
    }
    static constexpr std::pair<std::string_view, uint32_t> kAliases[] = {
        {"LATIN2", 28592}, {"LATIN9", 28605}, {"KOI8R", 20866}, {"KOI8U", 21866}, {"MACROMAN", 10000},
        {"MACINTOSH", 10000}, {"MACCYRILLIC", 10007}, {"MACGREEK", 10006}, {"MACCENTRALEUROPE", 10029},
        {"SHIFTJIS", 932}, {"SJIS", 932}, {"WINDOWS31J", 932}, {"GBK", 936}, {"GB2312", 936}, {"BIG5", 950},
        {"EUCKR", 949}, {"KSC5601", 949}, {"ANSI", 1252}, {"OEM", 437}, {"TIS620", 874}};
    std::optional<uint32_t> Page;
    for (const auto& [Alias, P] : kAliases)
        if (N == Alias) Page = P;
    if (!Page) {
        std::string_view S = N;
        if (StartsWith(S, "ISO")) S.remove_prefix(3);
        if (StartsWith(S, "8859") && S.size() > 4) {
            if (const auto Part = Number(S.substr(4)); Part && *Part >= 1 && *Part <= 16) Page = 28590 + *Part;
        } else {
            for (std::string_view P : {"CODEPAGE", "WINDOWS", "MSDOS", "ANSI", "OEM", "IBM", "DOS", "WIN", "CP", "MS"})
                if (StartsWith(S, P)) {
                    S.remove_prefix(P.size());
                    break;
                }
            Page = Number(S);
        }
    }
    if (!Page) return std::nullopt;
    if (*Page == 28591) return Find("ISO-8859-1");
    for (const TCodePage& C : kCodePages)
        if (C.Number == *Page) {
            E.FKind = kTable;
            E.FTable = C.Table;
            E.FName = C.Name;
            return E;
        }
    for (const TSystemSet& C : kSystemSets)
        if (C.Number == *Page && QStringDecoder(C.Name).isValid()) {
            E.FKind = kSystem;
            E.FName = C.Name;
            return E;
        }
    return std::nullopt;
}

TTextEncoding TTextEncoding::ForLanguageDriver(uint8_t Id) {
    for (const auto& [Driver, Page] : kLanguageDrivers)
        if (Driver == Id) return Find(std::to_string(Page)).value_or(TTextEncoding());
    return {};
}

std::string TTextEncoding::ToUtf8(std::string_view Bytes) const {
    switch (FKind) {
        case kRaw:
            return std::string(Bytes);
        case kLatin1:
        case kTable: {
            std::string R;
            R.reserve(Bytes.size() * 2);
            for (const char B : Bytes) {
                const auto U = static_cast<unsigned char>(B);
                AppendUtf8(R, U < 0x80 ? U : (FTable ? FTable[U - 0x80] : U));
            }
            return R;
        }
        case kUtf8:
        case kSystem: {
            // Stateless: a sequence cut at the end of a field is a replacement character, not
            // held back for text that never comes.
            QStringDecoder Decoder(FKind == kUtf8 ? "UTF-8" : FName.c_str(), QStringConverter::Flag::Stateless);
            const QString Text = Decoder.decode(QByteArrayView(Bytes.data(), static_cast<qsizetype>(Bytes.size())));
            return Utf8FromQString(Text);
        }
    }
    return std::string(Bytes);
}

const char* const* TTextEncoding::CommonNames() {
    static constexpr const char* kNames[] = {
        "UTF-8",      "ISO-8859-1", "ISO-8859-2", "ISO-8859-5", "ISO-8859-7", "ISO-8859-9", "ISO-8859-15",
        "CP1250",     "CP1251",     "CP1252",     "CP1253",     "CP1254",     "CP1255",     "CP1256",
        "CP1257",     "CP437",      "CP850",      "CP852",      "CP866",      "KOI8-R",     "KOI8-U",
        "Shift_JIS",  "GBK",        "Big5",       "EUC-KR",     nullptr};
    return kNames;
}
