#pragma once
// Shared by the importer suites: the bundled test data, a temporary folder, builders of
// shapefiles and dBASE tables, and a view whose progress reports and message boxes are kept.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

inline std::string TestData(const std::string& Relative) {
    return std::string(ORVEX_SOURCE_DIR) + "/tests/data/" + Relative;
}

inline std::string ReadBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

// Every object's box and box state, and the layer's box, are what computing them afresh gives.
inline void ExpectFreshExtents(TOrvexLayer* L) {
    constexpr uint16_t BoxState = osExtentsValid | osSubPixel | osCrossesDateLine | osOddCrossings;
    for (int32_t I = 0; I < L->ObjectCount(); ++I) {
        TOrvexObject* O = L->GetObject(I);
        const TExtent Kept = O->Extents();
        const uint16_t State = O->State() & BoxState;
        O->CalcExtents();
        EXPECT_TRUE(Kept == O->Extents() && State == (O->State() & BoxState)) << "object " << I;
    }
    const TExtent Kept = L->Extents();
    L->CalcExtents();
    EXPECT_TRUE(Kept == L->Extents());
}

constexpr int32_t kDeg = OrvexUnits::PerDegree;
constexpr int32_t kMin = OrvexUnits::PerMinute;

// What ogr2ogr -t_srs EPSG:4326 makes of Path (of its layer Layer when named): every vertex in
// file order, by the degrees rule. Empty when ogr2ogr could not run.
inline std::vector<TPoint3D> Ogr2OgrVertices(const std::string& Path, const std::string& Layer = {}) {
    // The shapefiles written by the tests have no index: GDAL makes one.
    QStringList Args{"--config", "SHAPE_RESTORE_SHX", "YES", "-f", "GeoJSON", "-t_srs", "EPSG:4326",
                     "-lco", "COORDINATE_PRECISION=15", "/vsistdout/", QString::fromStdString(Path)};
    if (!Layer.empty()) Args << QString::fromStdString(Layer);
    QProcess P;
    P.start("ogr2ogr", Args);
    if (!P.waitForFinished(60000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0) return {};
    std::vector<TPoint3D> R;
    std::function<void(const QJsonArray&)> Walk = [&](const QJsonArray& A) {
        if (A.size() >= 2 && A[0].isDouble()) {
            R.push_back(MakePoint(DegToOrvexUnits(A[0].toDouble()), DegToOrvexUnits(A[1].toDouble())));
            return;
        }
        for (const QJsonValue& V : A) Walk(V.toArray());
    };
    for (const QJsonValue& F : QJsonDocument::fromJson(P.readAllStandardOutput()).object()["features"].toArray())
        Walk(F.toObject()["geometry"].toObject()["coordinates"].toArray());
    return R;
}

inline std::vector<TPoint3D> LayerVertices(const TOrvexLayer* L) {
    std::vector<TPoint3D> R;
    for (const TOrvexObject* O : L->Objects())
        for (int32_t I = 0; I < O->GetPointCount(); ++I) R.push_back(O->GetPoint(I));
    return R;
}

// The vertices of Ours more than one unit away from every vertex of Theirs, in either
// coordinate; longitudes are compared across the date line the short way.
inline std::vector<TPoint3D> Unmatched(const std::vector<TPoint3D>& Ours, std::vector<TPoint3D> Theirs) {
    auto ByLatitude = [](const TPoint3D& A, const TPoint3D& B) { return A.Y < B.Y; };
    std::sort(Theirs.begin(), Theirs.end(), ByLatitude);
    std::vector<TPoint3D> R;
    for (const TPoint3D& P : Ours) {
        bool Found = false;
        for (auto It = std::lower_bound(Theirs.begin(), Theirs.end(), TPoint3D{0, P.Y - 1, 0}, ByLatitude);
             !Found && It != Theirs.end() && It->Y <= P.Y + 1; ++It) {
            const int64_t Apart = std::abs(int64_t(It->X) - P.X);
            Found = std::min<int64_t>(Apart, int64_t(OrvexUnits::Deg360) - Apart) <= 1;
        }
        if (!Found) R.push_back(P);
    }
    return R;
}

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        View.OnProgress = [this](TOrvex3*, int Type, const std::string& Text, bool&) {
            Reports.emplace_back(Type, Text);
        };
    }

    std::string File(const std::string& Name) const { return (Dir.path() + "/" + Name.c_str()).toStdString(); }
    std::string Write(const std::string& Name, const std::string& Bytes) const {
        const std::string Path = File(Name);
        std::ofstream(Path, std::ios::binary) << Bytes;
        return Path;
    }
    bool Reported(int Type, const std::string& Text) const {
        for (const auto& [T, S] : Reports)
            if (T == Type && S == Text) return true;
        return false;
    }
    TOrvexLayer* Last() const { return View.LayerCount() ? View.GetLayer(View.LayerCount() - 1) : nullptr; }
    TGeoDataObject* Object(int32_t Index) const {
        return dynamic_cast<TGeoDataObject*>(Last()->GetObject(Index));
    }
    static std::vector<TPoint3D> Points(const TOrvexObject* O) {
        std::vector<TPoint3D> R;
        for (int32_t I = 0; I < O->GetPointCount(); ++I) R.push_back(O->GetPoint(I));
        return R;
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> R;
        for (const TOrvexObject* O : Last()->Objects()) R.push_back(O->Title());
        return R;
    }

    QTemporaryDir Dir;
    TScriptedUiServices Ui;
    TUiServicesScope Scope{Ui};
    std::vector<std::pair<int, std::string>> Reports;
    TOrvex3 View;
};

// Shapefile records, little- and big-endian as the format has them.
class TShpBuilder {
public:
    void Null() { Record(Int(0)); }
    void Point(double X, double Y) { Record(Int(1) + Dbl(X) + Dbl(Y)); }
    // Type 3 or 5; NumParts is Starts.size() unless given.
    void Parts(int32_t Type, const std::vector<int32_t>& Starts, const std::vector<std::pair<double, double>>& Pts) {
        std::string C = Int(Type) + Box() + Int(int32_t(Starts.size())) + Int(int32_t(Pts.size()));
        for (int32_t S : Starts) C += Int(S);
        for (auto [X, Y] : Pts) C += Dbl(X) + Dbl(Y);
        Record(C);
    }
    void MultiPoint(const std::vector<std::pair<double, double>>& Pts) {
        std::string C = Int(8) + Box() + Int(int32_t(Pts.size()));
        for (auto [X, Y] : Pts) C += Dbl(X) + Dbl(Y);
        Record(C);
    }
    void Record(const std::string& Content) {
        Records += Big(++Count) + Big(int32_t(Content.size() / 2)) + Content;
    }
    // StatedWords: the header's file length in 16-bit words; by default the true one.
    std::string Bytes(int32_t StatedWords = -1, int32_t Code = 9994, int32_t Version = 1000) const {
        const auto Words = StatedWords >= 0 ? StatedWords : int32_t((100 + Records.size()) / 2);
        std::string H = Big(Code) + std::string(20, '\0') + Big(Words) + Int(Version) + Int(1) + Box() +
                        std::string(32, '\0');
        return H + Records;
    }
    static std::string Int(int32_t V) { return std::string(reinterpret_cast<const char*>(&V), 4); }
    static std::string Dbl(double V) { return std::string(reinterpret_cast<const char*>(&V), 8); }
    static std::string Big(int32_t V) {
        const auto U = static_cast<uint32_t>(V);
        return {char(U >> 24), char(U >> 16), char(U >> 8), char(U)};
    }
    static std::string Box() { return std::string(32, '\0'); }

    std::string Records;
    int32_t Count = 0;
};

// A dBASE III table of character fields; a row starting with '*' is marked deleted.
inline std::string MakeDbf(const std::vector<std::pair<std::string, uint8_t>>& Fields,
                           const std::vector<std::vector<std::string>>& Rows, uint8_t Version = 3) {
    uint16_t RecordLength = 1;
    for (const auto& F : Fields) RecordLength = uint16_t(RecordLength + F.second);
    const auto HeaderLength = uint16_t(32 + 32 * Fields.size() + 1);
    std::string D(32, '\0');
    D[0] = char(Version);
    const auto Count = uint32_t(Rows.size());
    std::memcpy(&D[4], &Count, 4);
    std::memcpy(&D[8], &HeaderLength, 2);
    std::memcpy(&D[10], &RecordLength, 2);
    for (const auto& [Name, Length] : Fields) {
        std::string F(32, '\0');
        F.replace(0, std::min<size_t>(Name.size(), 11), Name.substr(0, 11));
        F[11] = 'C';
        F[16] = char(Length);
        D += F;
    }
    D += '\x0D';
    for (const auto& Row : Rows) {
        std::string R(RecordLength, ' ');
        size_t At = 1;
        for (size_t I = 0; I < Fields.size(); ++I) {
            std::string V = I < Row.size() ? Row[I] : "";
            if (I == 0 && !V.empty() && V[0] == '*') {
                R[0] = '*';
                V = V.substr(1);
            }
            R.replace(At, std::min<size_t>(V.size(), Fields[I].second), V.substr(0, Fields[I].second));
            At += Fields[I].second;
        }
        D += R;
    }
    return D + '\x1A';
}
