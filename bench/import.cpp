// Imports of about a million points: the Natural Earth countries with every edge cut into 100
// pieces, once as a shapefile with its table and once as MIF/MID holding the same rings. Reports
// points per second and the peak resident memory of one import.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchMain.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace {

constexpr int kPiecesPerEdge = 100;

struct TRing {
    std::string Name;
    std::vector<std::pair<double, double>> Points;
};

template <class T>
T Get(const std::string& D, size_t At) {
    T V;
    std::memcpy(&V, D.data() + At, sizeof V);
    return V;
}

uint32_t Big32(const std::string& D, size_t At) {
    const auto* P = reinterpret_cast<const unsigned char*>(D.data() + At);
    return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3];
}

std::string Slurp(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

// The countries' rings in degrees, each edge cut into pieces; the names from the table.
std::vector<TRing> DenseCountries() {
    const std::string Dir = std::string(ORVEX_SOURCE_DIR) + "/tests/data/naturalearth/naturalearth_lowres";
    const std::string Shp = Slurp(Dir + ".shp"), Dbf = Slurp(Dir + ".dbf");
    const auto HeaderLength = Get<uint16_t>(Dbf, 8), RecordLength = Get<uint16_t>(Dbf, 10);
    std::vector<TRing> Rings;
    int Record = 0;
    for (size_t Pos = 100; Pos + 8 <= Shp.size(); ++Record) {
        const size_t Content = Pos + 8, Length = 2 * size_t(Big32(Shp, Pos + 4));
        const int32_t Parts = Get<int32_t>(Shp, Content + 36), Count = Get<int32_t>(Shp, Content + 40);
        // The name column starts after pop_est (24) and continent (80).
        std::string Name = Dbf.substr(HeaderLength + size_t(Record) * RecordLength + 1 + 24 + 80, 80);
        Name.erase(Name.find_last_not_of(' ') + 1);
        for (int32_t P = 0; P < Parts; ++P) {
            const int32_t From = Get<int32_t>(Shp, Content + 44 + 4 * size_t(P));
            const int32_t To = P + 1 < Parts ? Get<int32_t>(Shp, Content + 48 + 4 * size_t(P)) : Count;
            auto At = [&](int32_t I) {
                const size_t O = Content + 44 + 4 * size_t(Parts) + 16 * size_t(I);
                return std::pair{Get<double>(Shp, O), Get<double>(Shp, O + 8)};
            };
            TRing R{Name, {}};
            for (int32_t I = From; I + 1 < To; ++I) {
                const auto [X0, Y0] = At(I);
                const auto [X1, Y1] = At(I + 1);
                for (int K = 0; K < kPiecesPerEdge; ++K)
                    R.Points.emplace_back(X0 + (X1 - X0) * K / kPiecesPerEdge, Y0 + (Y1 - Y0) * K / kPiecesPerEdge);
            }
            R.Points.push_back(At(To - 1));
            Rings.push_back(std::move(R));
        }
        Pos = Content + Length;
    }
    return Rings;
}

std::string Int(int32_t V) { return std::string(reinterpret_cast<const char*>(&V), 4); }
std::string Dbl(double V) { return std::string(reinterpret_cast<const char*>(&V), 8); }
std::string Big(uint32_t V) { return {char(V >> 24), char(V >> 16), char(V >> 8), char(V)}; }

// One polygon record per ring, and a table of names.
void WriteShapefile(const std::vector<TRing>& Rings, const std::string& Base) {
    std::string Records;
    int32_t Number = 0;
    for (const TRing& R : Rings) {
        std::string C = Int(5) + std::string(32, '\0') + Int(1) + Int(int32_t(R.Points.size())) + Int(0);
        for (auto [X, Y] : R.Points) C += Dbl(X) + Dbl(Y);
        Records += Big(uint32_t(++Number)) + Big(uint32_t(C.size() / 2)) + C;
    }
    std::string Header = Big(9994) + std::string(20, '\0') + Big(uint32_t((100 + Records.size()) / 2)) + Int(1000) +
                         Int(5) + Dbl(-180) + Dbl(-90) + Dbl(180) + Dbl(90) + std::string(32, '\0');
    std::ofstream(Base + ".shp", std::ios::binary) << Header << Records;

    constexpr uint16_t NameLength = 40, HeaderLength = 65, RecordLength = 1 + NameLength;
    std::string Dbf(32, '\0');
    Dbf[0] = 3;
    const auto Count = uint32_t(Rings.size());
    std::memcpy(&Dbf[4], &Count, 4);
    std::memcpy(&Dbf[8], &HeaderLength, 2);
    std::memcpy(&Dbf[10], &RecordLength, 2);
    std::string Field(32, '\0');
    Field.replace(0, 4, "NAME");
    Field[11] = 'C';
    Field[16] = char(NameLength);
    Dbf += Field + '\x0D';
    for (const TRing& R : Rings) {
        std::string Row(RecordLength, ' ');
        Row.replace(1, std::min<size_t>(R.Name.size(), NameLength), R.Name.substr(0, NameLength));
        Dbf += Row;
    }
    std::ofstream(Base + ".dbf", std::ios::binary) << Dbf << '\x1A';
}

// The same rings as one-ring regions, with the names as rows.
void WriteMif(const std::vector<TRing>& Rings, const std::string& Base) {
    std::ofstream Mif(Base + ".mif", std::ios::binary), Mid(Base + ".mid", std::ios::binary);
    Mif << "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\nCoordSys Earth Projection 1, 104\n"
           "Columns 1\n  NAME Char(40)\nData\n\n";
    char Line[64];
    for (const TRing& R : Rings) {
        Mif << "Region  1\n  " << R.Points.size() << '\n';
        for (auto [X, Y] : R.Points) {
            std::snprintf(Line, sizeof Line, "%.9g %.9g\n", X, Y);
            Mif << Line;
        }
        Mif << "    Pen (1,2,0)\n    Brush (2,16777215,16777215)\n";
        Mid << '"' << R.Name << "\"\n";
    }
}

struct TData {
    std::string Dir;
    int64_t Points = 0;
};

const TData& Data() {
    static const TData D = [] {
        TData R;
        R.Dir = (std::filesystem::temp_directory_path() / ("orvex-bench-import-" + std::to_string(::getpid())))
                    .string();
        std::filesystem::create_directories(R.Dir);
        const std::vector<TRing> Rings = DenseCountries();
        for (const TRing& Ring : Rings) R.Points += int64_t(Ring.Points.size());
        WriteShapefile(Rings, R.Dir + "/countries");
        WriteMif(Rings, R.Dir + "/countries");
        std::atexit([] { std::filesystem::remove_all(Data().Dir); });
        return R;
    }();
    return D;
}

// The peak resident set since the last reset, in MiB (Linux: clear_refs 5 resets VmHWM).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }
double PeakMiB() {
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind("VmHWM:", 0) == 0) return std::atof(Line.c_str() + 6) / 1024.0;
    return 0;
}

template <class Import>
void Run(benchmark::State& State, Import ImportFile) {
    const TData& D = Data();
    TScriptedUiServices Ui;
    TUiServicesScope Scope(Ui);
    double Peak = 0;
    int64_t Points = 0;
    for (auto _ : State) {
        State.PauseTiming();
        auto View = std::make_unique<TOrvex3>();
        ResetPeak();
        State.ResumeTiming();
        ImportFile(*View, D.Dir + "/countries");
        State.PauseTiming();
        Points = 0;
        for (const TOrvexObject* O : View->GetLayer(0)->Objects()) Points += O->GetPointCount();
        Peak = std::max(Peak, PeakMiB());
        View.reset();
        State.ResumeTiming();
    }
    if (Points != D.Points) State.SkipWithError("the import lost or added points");
    State.SetItemsProcessed(State.iterations() * Points);
    State.counters["points"] = double(Points);
    State.counters["peak_MiB"] = Peak;
}

void BM_ImportShapefile(benchmark::State& State) {
    Run(State, [](TOrvex3& View, const std::string& Base) {
        TSHPImportPresetOptions Options;
        ImportSHP({Base + ".shp"}, View, &Options);
    });
}
BENCHMARK(BM_ImportShapefile)->Unit(benchmark::kMillisecond);

void BM_ImportMif(benchmark::State& State) {
    Run(State, [](TOrvex3& View, const std::string& Base) { ImportMIF({Base + ".mif"}, View); });
}
BENCHMARK(BM_ImportMif)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
