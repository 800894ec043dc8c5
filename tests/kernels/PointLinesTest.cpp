// MIF point lines: each line scanner reads the lines it takes exactly as the general parser reads
// their numbers, and every version of the batch reader takes the same lines as the plain one.
#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "KernelTests.h"
#include "kernels/PointLines.h"

namespace {

double Parsed(std::string_view Text) {
    double V = 0;
    const auto [End, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), V);
    EXPECT_TRUE(Ec == std::errc() && End == Text.data() + Text.size()) << Text;
    return V;
}

// Lines of the scanner test: fixed rows at every edge of the form, then random ones.
std::vector<std::string> ScannerLines() {
    std::vector<std::string> Lines = {
        "0 0\n", "-0 -0\n", "-.5 .5\n", "12. -3.\n", "1  2\n", "1 2\r\n", "1 2\r", "1 2\r\r", "1 2\n\n",
        "-77.0880598154 83.1256427863\n", "-77 83.1294728008\r\n", "123456789012345 1\n", "1 -12345678901234.5\n",
        "1234567890123456 1\n", "1 .1234567890123456\n", "1 2x\n", "1x 2\n", "1 2 \n", " 1 2\n", "1\t2\n", "1,2\n",
        "+1 2\n", "1 +2\n", "1e5 2\n", "1.2.3 4\n", "1 2..\n", "1-2 3\n", "1 2-\n", "- 1\n", ". 1\n", "1 -\n",
        "1 --2\n", "-- 1 2\n", "1\n", "\n", std::string("12\0 3\n", 6), std::string("1 2\0\n", 5), "1 2/\n", std::string(31, '1') + "\n",
        "-179.999999999999 -89.9999999999\n", "-179.999999999999 -89.99999999999\n", "1" + std::string(28, ' ') + "2\r\n",
        "1" + std::string(29, ' ') + "2\n", "1" + std::string(30, ' ') + "2\n", std::string(40, ' ')};
    // Every length of whole part and fraction, with and without a point, in either place.
    for (int Whole = 0; Whole <= 16; ++Whole)
        for (int Fraction = 0; Fraction <= 16; ++Fraction)
            for (const char* Point : {".", ""}) {
                if (*Point == 0 && Fraction > 0) continue;
                std::string N = std::string("9876543210987654").substr(0, size_t(Whole)) + Point +
                                std::string("1234567890123456").substr(0, size_t(Fraction));
                Lines.push_back(N + " -1\n");
                Lines.push_back("-" + N + " 2\r\n");
                Lines.push_back("3 " + N + "\n");
                Lines.push_back(".5 -" + N + "\r");
            }
    TRandom R(7);
    for (int I = 0; I < 200000; ++I) {
        std::string Line;
        for (int Number = 0; Number < 2; ++Number) {
            if (Number) Line += std::string(1 + R.Below(3) / 2, ' ');
            if (R.Below(2)) Line += '-';
            const int Whole = int(R.Below(5)), Fraction = int(R.Below(13));
            for (int D = 0; D < Whole; ++D) Line += char('0' + R.Below(10));
            if (Fraction || R.Below(4) == 0) Line += '.';
            for (int D = 0; D < Fraction; ++D) Line += char('0' + R.Below(10));
        }
        static const char* const Ends[] = {"\n", "\r\n", "\r"};
        Line += Ends[R.Below(3)];
        // Now and then one byte becomes something else.
        if (R.Below(8) == 0) Line[R.Below(Line.size())] = " -.+e\t,x0\n"[R.Below(10)];
        Lines.push_back(Line);
    }
    return Lines;
}

// A run of lines of every kind the batch meets: plain points (short, and longer than a scanner's
// reach), small values and ties that need the general conversion, values out of range, and
// lines that are not points at all.
std::string PointText(TRandom& R, int Lines) {
    std::string Text;
    char Buffer[96];
    static const char* const Ends[] = {"\n", "\r\n", "\r"};
    for (int L = 0; L < Lines; ++L) {
        const double X = double(R.Between(-180000000, 180000000)) / 1e6, Y = double(R.Between(-90000000, 90000000)) / 1e6;
        switch (R.Below(10)) {
            case 0: std::snprintf(Buffer, sizeof Buffer, "%.12f %.12f", X, Y); break;  // past 32 bytes
            case 1: std::snprintf(Buffer, sizeof Buffer, "%.9f %.9f", X / 1000, Y / 1000); break;
            case 2: std::snprintf(Buffer, sizeof Buffer, "%.6f %.6f", X * 3, Y); break;  // may be out of range
            case 3: std::snprintf(Buffer, sizeof Buffer, "%s", R.Below(2) ? "    Pen (1,2,0)" : "   "); break;
            case 4: std::snprintf(Buffer, sizeof Buffer, "%.7f%*s%.7f", X, int(R.Below(30)), " ", Y); break;
            default: std::snprintf(Buffer, sizeof Buffer, "%.6f %.6f", X, Y); break;
        }
        Text += Buffer;
        Text += Ends[R.Below(8) == 0 ? R.Below(3) : 0];
    }
    return Text;
}

struct TBatch {
    int32_t Count;
    ptrdiff_t End;  // where the batch left P
    std::vector<TPoint3D> Points;
};

// The batches from Start to the end of Text, each of up to Room lines; past a line no version
// takes, the walk goes on from the next line.
std::vector<TBatch> Walk(Kernels::TPointLinesFn* Read, const std::string& Text, size_t Start, int32_t Room) {
    std::vector<TBatch> Batches;
    const char* const Floor = Text.data();
    const char* const End = Floor + Text.size();
    const char* P = Floor + Start;
    std::vector<TPoint3D> Out(static_cast<size_t>(Room));
    while (End - P >= 64) {
        const int32_t N = Read(P, Floor, End, Room, Out.data());
        Batches.push_back({N, P - Floor, std::vector<TPoint3D>(Out.begin(), Out.begin() + N)});
        if (N < Room) {
            while (P < End && *P != '\n' && *P != '\r') ++P;
            P += P < End;
        }
    }
    return Batches;
}

}  // namespace

// A line scanned whole must give the numbers and the line length the general parser gives, and
// be taken whenever it is two plain decimals, blanks apart, ending within 32 bytes.
TEST(PointLinesKernel, LineScannersReadAsTheGeneralParser) {
    // Sign, then digits with at most one point, 1 to 15 digits: what ScanDecimal takes.
    auto Plain = [](std::string_view T) {
        if (!T.empty() && T[0] == '-') T.remove_prefix(1);
        int Digits = 0, Points = 0;
        for (const char C : T) {
            Digits += C >= '0' && C <= '9';
            Points += C == '.';
        }
        return Digits >= 1 && Digits <= 15 && Digits + Points == int(T.size()) && Points <= 1;
    };
    const std::vector<std::string> Lines = ScannerLines();
    for (const auto& Version : Kernels::LineScanVersions()) {
        SCOPED_TRACE(Version.Name);
        for (const std::string& Line : Lines) {
            const size_t Eol = Line.find_first_of("\r\n");
            const std::string_view Text = std::string_view(Line).substr(0, Eol);
            const size_t Blank = Text.find(' '), YAt = Text.find_first_not_of(' ', Blank);
            const std::string_view XText = Text.substr(0, Blank);
            const std::string_view YText = YAt == std::string_view::npos ? std::string_view() : Text.substr(YAt);
            const bool Expected = Eol < 32 && Blank != std::string_view::npos && Plain(XText) && Plain(YText);
            const bool CrLf = Expected && Line[Eol] == '\r' && Eol + 1 < Line.size() && Line[Eol + 1] == '\n';
            // Anything in front and behind: none of it may count.
            for (const char* Around : {"9999999999999999", "-. \r\n-. \r\n-. \r\n-"}) {
                std::string Buffer = std::string(Around) + Line + std::string(Around) + std::string(Around) + Around;
                const char* P = Buffer.data() + 16;
                double X = 7, Y = 7;
                const int Got = Version.Run(P, X, Y);
                ASSERT_EQ(Got != 0, Expected) << '"' << Line << '"';
                if (!Expected) continue;
                ASSERT_EQ(size_t(Got), Eol + 1 + CrLf) << '"' << Line << '"';
                ASSERT_EQ(std::bit_cast<uint64_t>(X), std::bit_cast<uint64_t>(Parsed(XText))) << '"' << Line << '"';
                ASSERT_EQ(std::bit_cast<uint64_t>(Y), std::bit_cast<uint64_t>(Parsed(YText))) << '"' << Line << '"';
            }
        }
    }
}

// Every version takes the same lines into the same points and stops at the same place: from the
// buffer's first byte (no room behind for a vector scanner) and further in, in batches of one
// line up to many, up to where the buffer's end is too near.
TEST(PointLinesKernel, EveryVersionTakesTheLinesThePlainOneTakes) {
    ForEachFastVersion(Kernels::PointLinesVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(11);
        for (int Trial = 0; Trial < 300; ++Trial) {
            // Exactly the text: reading past either end is a fault the sanitizers see.
            const std::string Text = PointText(R, 20 + int(R.Below(200)));
            const size_t Start = std::min<size_t>(Text.size(), std::array<size_t, 4>{0, 5, 16, 40}[Trial % 4]);
            const int32_t Room = std::array<int32_t, 4>{1, 3, 64, 256}[R.Below(4)];
            const std::vector<TBatch> Expected = Walk(Plain, Text, Start, Room), Got = Walk(Fast, Text, Start, Room);
            ASSERT_EQ(Got.size(), Expected.size()) << Trial;
            for (size_t B = 0; B < Got.size(); ++B) {
                ASSERT_EQ(Got[B].Count, Expected[B].Count) << Trial << ", batch " << B;
                ASSERT_EQ(Got[B].End, Expected[B].End) << Trial << ", batch " << B;
                ASSERT_EQ(Got[B].Points, Expected[B].Points) << Trial << ", batch " << B;
            }
        }
    });
}
