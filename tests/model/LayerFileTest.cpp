// Layer files: exact bytes of the header and the object records, round trips of every
// stored class, and the reader's behaviour on damaged or hostile data.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <limits>
#include <set>
#include <sys/resource.h>

#include "ModelFixtures.h"
#include "model/BitmapObject.h"
#include "model/ClassRegistry.h"
#include "foundation/PointSlab.h"
#include "model/OrvexStream.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"

namespace {

using TBytes = std::vector<uint8_t>;
constexpr int32_t Min = OrvexUnits::PerMinute;


TBytes FileBytes(const std::string& Path) {
    QFile F(QString::fromStdString(Path));
    if (!F.open(QIODevice::ReadOnly)) return {};
    const QByteArray B = F.readAll();
    return TBytes(B.begin(), B.end());
}

void WriteFile(const std::string& Path, const TBytes& Data) {
    QFile F(QString::fromStdString(Path));
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(reinterpret_cast<const char*>(Data.data()), static_cast<qint64>(Data.size()));
}

TBytes RecordBytes(TOrvexPersistent& Record) {
    TOrvexStream S;
    Record.SaveToStream(S);
    return S.Data();
}

// The point part of a chain record without title, ID or zoom range: after flags,
// FeatureID and the 16-bit count.
TBytes PointBytes(const TBytes& Record) { return TBytes(Record.begin() + 6, Record.end()); }

// The file header with an empty extent, for crafted files.
TOrvexStream CraftedFile() {
    TOrvexStream S;
    S.WriteInt16(0x0300);
    for (int I = 0; I < 4; ++I) S.WriteInt32(0);
    return S;
}

TGeoDataObject* MinuteChain(TOrvexLayer* L, std::initializer_list<std::pair<int, int>> Minutes) {
    auto* O = TGeoDataObject::Create(L);
    for (auto [X, Y] : Minutes) O->AddPoint(MakePoint(int64_t(X) * Min, Y * Min));
    return O;
}

std::vector<TPoint3D> PointsOf(const TOrvexObject* O) {
    std::vector<TPoint3D> R;
    for (int32_t I = 0; I < O->GetPointCount(); ++I) R.push_back(O->GetPoint(I));
    return R;
}

TBytes operator+(TBytes A, const TBytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

TBytes Int32(int32_t V) {
    TOrvexStream S;
    S.WriteInt32(V);
    return S.Data();
}

// A block's record count and class name.
TBytes Block(int32_t N, const std::string& ClassName) {
    TOrvexStream S;
    S.WriteInt32(N);
    S.WriteShortString(ClassName);
    return S.Data();
}

// One presenter of each class, every stored value away from its default.
struct TEveryPresenter {
    TPointPresenter* Pt;
    TPolylinePresenter* Line;
    TPolygonPresenter* Area;
};

TEveryPresenter AddEveryPresenter(TOrvexLayer* Layer, const std::string& Picture) {
    auto* Pt = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 11, "Towns");
    Pt->SetTitleAlignment(taBottomRight);
    Pt->TitleFont()->SetFontName("Courier");
    Pt->TitleFont()->SetFontSize(17);
    Pt->TitleFont()->SetFontAngle(-450);
    Pt->TitleFont()->SetFontStyle(0x0B);
    Pt->TitleFont()->SetFontColor(0x00112233);
    Pt->TitleFont()->SetFontUnit(Kilometer);
    Pt->SetPointType(ppImage);
    Pt->SetPointUnit(Meter);
    Pt->SetPointSize(250);
    Pt->SetMaxPointSize(30);
    Pt->SetSymbolIndex(-7);
    Pt->SetImageName(Picture);
    Pt->PointPen()->SetValues(0x00123456, psDashDot, 4);
    Pt->PointBrush()->SetBrushColor(0x00654321);
    Pt->PointBrush()->SetBrushStyle(bsDiagCross);
    Pt->PointFont()->SetFontName("Symbol");
    Pt->PointFont()->SetFontSize(12);
    auto* Line = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, -300, "Rivers");
    Line->PolylinePen()->SetValues(0x00FF0000, psDot, 2);
    auto* Area = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 12, "Lakes");
    Area->PolygonPen()->SetValues(0x0000FF00, psInsideFrame, 7);
    Area->PolygonBrush()->SetBrushColor(0x00ABCDEF);
    Area->PolygonBrush()->SetBrushStyle(bsHorizontal);
    return {Pt, Line, Area};
}

class LayerFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    std::string PathOf(const std::string& Name) const {
        return Dir.filePath(QString::fromStdString(Name)).toStdString();
    }

    // Saves Layer, loads the file into a fresh layer of the same view and returns it.
    TOrvexLayer* RoundTrip(const std::string& Name = "trip.lyr") {
        Layer->SaveToFile(PathOf(Name));
        TOrvexLayer* Loaded = View.AddLayer("Loaded");
        TOrvexStream S(FileBytes(PathOf(Name)));
        Loaded->LoadFromStream(S);
        return Loaded;
    }

    QTemporaryDir Dir;
    TTestView View;
    TOrvexLayer* Layer = View.AddLayer("Test");
};

// ---------------------------------------------------------------------------------------
// Exact bytes

TEST_F(LayerFileTest, EmptyLayerIsHeaderAndTerminator) {
    Layer->SetExtents(TExtent{-1, 2, 0x01020304, 5});
    Layer->SaveToFile(PathOf("empty.lyr"));
    const TBytes Expected{0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 4, 3, 2, 1, 5, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(FileBytes(PathOf("empty.lyr")), Expected);
}

TEST_F(LayerFileTest, WholeMinuteChainUsesNarrowDeltas) {
    auto* O = MinuteChain(Layer, {{0, 0}, {1, 1}, {2, 0}});
    const TBytes Expected{0x18, 0, 0, 0, 3, 0, 0, 0, 0, 0, 1, 1, 1, 0xFF};
    EXPECT_EQ(RecordBytes(*O), Expected);
    EXPECT_EQ(O->StreamFlags(), 0x18);

    auto* Loaded = RoundTrip()->GetObject(0);
    EXPECT_EQ(PointsOf(Loaded), PointsOf(O));
    EXPECT_EQ(Loaded->StreamFlags(), 0x18);
}

TEST_F(LayerFileTest, StepsOf127MinutesEscapeAnd126DoNot) {
    // Six points, so that delta encoding wins even with one escape.
    auto StepChain = [&](int Step) {
        return MinuteChain(Layer, {{0, 0}, {1, 0}, {2, 0}, {2 + Step, 0}, {3 + Step, 0}, {4 + Step, 0}});
    };
    auto* Up = StepChain(127);
    EXPECT_EQ(PointBytes(RecordBytes(*Up)), (TBytes{0, 0, 0, 0, 1, 0, 1, 0, 127, 129, 0, 0, 0, 1, 0, 1, 0}));
    auto* Down = StepChain(-127);
    EXPECT_EQ(PointBytes(RecordBytes(*Down)), (TBytes{0, 0, 0, 0, 1, 0, 1, 0, 127, 0x83, 0xFF, 0, 0, 1, 0, 1, 0}));
    auto* Near = StepChain(126);
    EXPECT_EQ(PointBytes(RecordBytes(*Near)), (TBytes{0, 0, 0, 0, 1, 0, 1, 0, 126, 0, 1, 0, 1, 0}));

    // Without whole minutes the fields are 16/32 bits wide and the marker is 32,767.
    auto* Fine = TGeoDataObject::Create(Layer);
    for (int32_t X : {0, 1, 2, 2 + 32767, 3 + 32767, 4 + 32767, 4 + 32767 + 32766}) Fine->AddPoint(MakePoint(X, 7));
    TOrvexStream S;
    Fine->SaveToStream(S);
    EXPECT_EQ(Fine->StreamFlags(), 0x10);
    const TBytes P = PointBytes(S.Data());
    EXPECT_EQ(TBytes(P.begin() + 16, P.begin() + 26), (TBytes{0xFF, 0x7F, 0x01, 0x80, 0, 0, 7, 0, 0, 0}))
        << "escape marker, then the point as two int32";
    EXPECT_EQ(TBytes(P.end() - 4, P.end()), (TBytes{0xFE, 0x7F, 0, 0})) << "a step of 32,766 is a delta";

    TOrvexLayer* Loaded = RoundTrip();
    ASSERT_EQ(Loaded->ObjectCount(), 4);
    for (int I = 0; I < 4; ++I) EXPECT_EQ(PointsOf(Loaded->GetObject(I)), PointsOf(Layer->GetObject(I))) << I;
}

TEST_F(LayerFileTest, DeltaEncodingOnlyWhenTheEstimateIsSmaller) {
    // Two points with an escape: 8 + 4 + 6 = 18 against 16 bytes plain.
    auto* Two = MinuteChain(Layer, {{0, 0}, {200, 0}});
    RecordBytes(*Two);
    EXPECT_EQ(Two->StreamFlags(), 0x08);
    // Two small steps: 8 + 4 = 12 against 16.
    auto* Small = MinuteChain(Layer, {{0, 0}, {1, 0}});
    RecordBytes(*Small);
    EXPECT_EQ(Small->StreamFlags(), 0x18);
}

TEST_F(LayerFileTest, ConsecutiveDuplicatesGoFromTheThirdPointOn) {
    const TPoint3D A = MakePoint(5, 5), B = MakePoint(6, 6);
    auto* TwoSame = Chain(Layer, {A, A});
    auto* ThreeSame = Chain(Layer, {A, A, A});
    auto* Runs = Chain(Layer, {A, B, B, B, A, A, B});
    Runs->CalcExtents();
    for (auto* O : {TwoSame, ThreeSame, Runs}) RecordBytes(*O);
    EXPECT_EQ(TwoSame->Count(), 2);
    EXPECT_EQ(ThreeSame->Count(), 2);
    EXPECT_EQ(PointsOf(Runs), (std::vector<TPoint3D>{A, B, A, B}));
    EXPECT_FALSE(Runs->HasState(osExtentsValid)) << "the object itself lost points";
    // Equal in X and Y but not Z is no duplicate.
    auto* Heights = Chain(Layer, {A, B, TPoint3D{6, 6, 1}});
    RecordBytes(*Heights);
    EXPECT_EQ(Heights->Count(), 3);
}

TEST_F(LayerFileTest, OneAndNoPointChainsAreSinglePointRecords) {
    auto* One = MinuteChain(Layer, {{3, 4}});
    EXPECT_EQ(RecordBytes(*One), (TBytes{0x28, 0, 0, 0, 3, 0, 4, 0}));
    auto* None = TGeoDataObject::Create(Layer);
    EXPECT_EQ(RecordBytes(*None), (TBytes{0x28, 0, 0, 0, 0, 0, 0, 0}));

    TOrvexLayer* Loaded = RoundTrip();
    ASSERT_EQ(Loaded->ObjectCount(), 2);
    EXPECT_EQ(PointsOf(Loaded->GetObject(0)), (std::vector<TPoint3D>{MakePoint(3 * Min, 4 * Min)}));
    EXPECT_EQ(PointsOf(Loaded->GetObject(1)), (std::vector<TPoint3D>{TPoint3D{}}));
}

TEST_F(LayerFileTest, HeaderFieldsFollowTheirFlags) {
    auto* O = MinuteChain(Layer, {{1, 1}});
    O->SetTitle("Ab");
    O->SetID(-2);
    O->SetZoomMin(10);
    O->SetZoomMax(20);
    O->SetFeatureID(0x1234);
    O->SetRowID(99);
    O->SetValue(1.5);
    EXPECT_EQ(RecordBytes(*O),
              (TBytes{0xAB, 0, 2, 'A', 'b', 0xFE, 0xFF, 0xFF, 0xFF, 10, 0, 0, 0, 20, 0, 0, 0, 0x34, 0x12, 1, 0, 1, 0}));
    O->SetTitle(std::string(300, 'x'));
    const TBytes Long = RecordBytes(*O);
    EXPECT_EQ(Long[2], 255) << "titles are cut to 255 bytes";

    TOrvexLayer* Loaded = RoundTrip();
    auto* L = Loaded->GetObject(0);
    EXPECT_EQ(L->Title(), std::string(255, 'x'));
    EXPECT_EQ(L->ID(), -2);
    EXPECT_EQ(L->ZoomMin(), 10);
    EXPECT_EQ(L->ZoomMax(), 20);
    EXPECT_EQ(L->RowID(), 0) << "not stored";
    EXPECT_EQ(L->Value(), 0) << "not stored";
}

TEST_F(LayerFileTest, ReaderAcceptsHeaderBitsWithEmptyValues) {
    TOrvexStream S = CraftedFile();
    S.WriteInt32(1);
    S.WriteShortString("TGeoDataObject");
    for (uint8_t B : {0xAB, 0xFF, 0, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0, 0, 0, 1, 0, 2, 0}) S.WriteUInt8(B);
    S.Seek(0);
    Layer->LoadFromStream(S);
    ASSERT_EQ(Layer->ObjectCount(), 1);
    auto* O = Layer->GetObject(0);
    EXPECT_EQ(O->StreamFlags(), 0xAB) << "bits 8-15 of the flags word are ignored";
    EXPECT_EQ(O->Title(), "");
    EXPECT_EQ(O->ZoomMin(), 5);
    EXPECT_EQ(PointsOf(O), (std::vector<TPoint3D>{MakePoint(1 * Min, 2 * Min)}));
}

TEST_F(LayerFileTest, SinglePointRecords) {
    auto* Whole = TSinglePointObject::Create(Layer);
    Whole->SetPoint(TPoint3D{0, 2730 * Min, 777});
    EXPECT_EQ(RecordBytes(*Whole), (TBytes{0x08, 0, 0, 0, 0, 0, 0xAA, 0x0A})) << "altitude is never stored";

    auto* Fine = TSinglePointObject::Create(Layer);
    const int32_t Lat = DegToOrvexUnits(45.5001L);
    Fine->SetPoint(MakePoint(0, Lat));
    const TBytes Bytes = RecordBytes(*Fine);
    ASSERT_EQ(Bytes.size(), 12u);
    EXPECT_EQ(Bytes[0], 0);
    TOrvexStream S(Bytes);
    auto* Loaded = TSinglePointObject::Create(Layer);
    Loaded->LoadFromStream(S);
    EXPECT_EQ(Loaded->Point(), MakePoint(0, Lat));
}

TEST_F(LayerFileTest, AltitudeStaysExactInWholeMinuteChains) {
    auto* Odd = Chain(Layer, {TPoint3D{0, 0, 45000}, TPoint3D{Min, Min, 45000}, TPoint3D{2 * Min, 0, 0}});
    auto* Even = Chain(Layer, {TPoint3D{0, 0, 2 * Min}, TPoint3D{Min, Min, 3 * Min}, TPoint3D{2 * Min, 0, 0}});
    RecordBytes(*Odd);
    RecordBytes(*Even);
    EXPECT_EQ(Odd->StreamFlags() & 0x0C, 0x04) << "an altitude off the minute grid needs wide fields";
    EXPECT_EQ(Even->StreamFlags() & 0x0C, 0x0C);
    TOrvexLayer* Loaded = RoundTrip();
    EXPECT_EQ(PointsOf(Loaded->GetObject(0)), PointsOf(Odd));
    EXPECT_EQ(PointsOf(Loaded->GetObject(1)), PointsOf(Even));

    // Files that truncated the altitude in whole-minute mode read back in minutes.
    TOrvexStream S = CraftedFile();
    S.WriteInt32(1);
    S.WriteShortString("TGeoDataObject");
    for (uint8_t B : {0x1C, 0, 0, 0, 2, 0, 1, 0, 1, 0, 0, 0, 1, 1, 2}) S.WriteUInt8(B);
    S.Seek(0);
    TOrvexLayer* Old = View.AddLayer("Old");
    Old->LoadFromStream(S);
    EXPECT_EQ(PointsOf(Old->GetObject(0)),
              (std::vector<TPoint3D>{TPoint3D{Min, Min, 0}, TPoint3D{2 * Min, 2 * Min, 2 * Min}}));
}

TEST_F(LayerFileTest, LongitudesAreNormalizedOnReading) {
    TOrvexStream S = CraftedFile();
    S.WriteInt32(1);
    S.WriteShortString("TGeoDataObject");
    // 10,799 minutes, then a step onto 10,800 minutes, which is +180 degrees.
    for (uint8_t B : {0x18, 0, 0, 0, 2, 0, 0x2F, 0x2A, 0, 0, 1, 0}) S.WriteUInt8(B);
    S.Seek(0);
    Layer->LoadFromStream(S);
    EXPECT_EQ(PointsOf(Layer->GetObject(0)),
              (std::vector<TPoint3D>{MakePoint(10799LL * Min, 0), TPoint3D{-OrvexUnits::Deg180, 0, 0}}));
}

TEST_F(LayerFileTest, LongitudesManyTurnsAwayComeBackIntoRange) {
    // 16-bit minutes reach 1.5 turns, and deltas add up further: every point read lies in
    // [-180, 180) degrees, at the meridian the stored value names.
    const int32_t Deg = OrvexUnits::PerDegree;
    const struct {
        const char* Name;
        TBytes Record;  // a TGeoDataObject record
        int64_t Longitude;  // of its last point, before reduction
    } Rows[] = {
        {"32,767 minutes", {0x28, 0, 0, 0, 0xFF, 0x7F, 0, 0}, 32767LL * Min},
        {"-32,768 minutes", {0x28, 0, 0, 0, 0x00, 0x80, 0, 0}, -32768LL * Min},
        {"32-bit past a turn", TBytes{0x20, 0, 0, 0} + Int32(2000000000) + Int32(0), 2000000000LL},
        {"deltas past two turns",
         TBytes{0x18, 0, 0, 0, 3, 0, 0xFF, 0x7F, 0, 0, 126, 0, 126, 0}, (32767LL + 252) * Min},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Layer->Clear();
        TOrvexStream S = CraftedFile();
        S.WriteInt32(1);
        S.WriteShortString("TGeoDataObject");
        S.WriteBytes(Row.Record.data(), Row.Record.size());
        S.Seek(0);
        Layer->LoadFromStream(S);
        const TOrvexObject* O = Layer->GetObject(0);
        const int32_t X = O->GetPoint(O->GetPointCount() - 1).X;
        EXPECT_GE(X, -180 * Deg);
        EXPECT_LT(X, 180 * Deg);
        EXPECT_EQ((X - Row.Longitude) % (360LL * Deg), 0) << X;
        // And it saves to what it reads back as.
        EXPECT_EQ(PointsOf(RoundTrip()->GetObject(0)), PointsOf(O));
    }
}

// Sums of 16-bit deltas saturate at the 32-bit range and longitudes come back into range,
// over runs long enough to leave it and after escapes to far latitudes.
TEST_F(LayerFileTest, DeltaSumsSaturateAtThe32BitRange) {
    constexpr int64_t Deg180 = OrvexUnits::Deg180, Deg360 = OrvexUnits::Deg360;
    auto Stored = [&](int64_t X) {
        X %= Deg360;
        return int32_t(X >= Deg180 ? X - Deg360 : X < -Deg180 ? X + Deg360 : X);
    };
    auto Saturate = [](int64_t V) {
        return int32_t(std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    };
    const struct {
        const char* Name;
        int32_t N;
        TPoint3D First;
        int32_t DX, DY;
        int32_t EscapeAt;  // a point given whole, (0, EscapeY), or -1
        int32_t EscapeY;
    } Rows[] = {
        {"latitudes up to the top", 10, {0, 2147480000, 0}, 1, 30000, -1, 0},
        {"latitudes down to the bottom", 10, {0, -2147480000, 0}, -1, -30000, -1, 0},
        {"longitudes east for 70,000 points", 70000, {int32_t(Deg180 - 1), 0, 0}, 32766, 1, -1, 0},
        {"longitudes west for 70,000 points", 70000, {int32_t(-Deg180), 5, 0}, -32768, -1, -1, 0},
        {"an escape to a far latitude", 100, {0, 0, 0}, 3, 30000, 50, 2147000000},
        {"an escape to a far southern latitude", 40000, {0, 0, 0}, 3, -30000, 7, -1100000000},
        {"longitudes a step past 180 degrees", 4, {int32_t(Deg180 - 20000), 0, 0}, 10000, 1, -1, 0},
        {"longitudes down to -180 degrees exactly", 3, {int32_t(20000 - Deg180), 0, 0}, -10000, 1, -1, 0},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TOrvexStream S;
        S.WriteUInt16(0x10);
        S.WriteInt16(0);
        if (Row.N <= 0xFFFF) {
            S.WriteUInt16(uint16_t(Row.N));
        } else {
            S.WriteUInt16(0);
            S.WriteInt32(Row.N);
        }
        S.WriteInt32(Row.First.X);
        S.WriteInt32(Row.First.Y);
        std::vector<TPoint3D> Expected = {Row.First};
        int64_t X = Row.First.X, Y = Row.First.Y;
        for (int32_t I = 1; I < Row.N; ++I) {
            if (I == Row.EscapeAt) {
                S.WriteInt16(32767);
                S.WriteInt32(0);
                S.WriteInt32(Row.EscapeY);
                X = 0;
                Y = Row.EscapeY;
            } else {
                S.WriteInt16(int16_t(Row.DX));
                S.WriteInt16(int16_t(Row.DY));
                X = Saturate(X + Row.DX);
                Y = Saturate(Y + Row.DY);
            }
            Expected.push_back(TPoint3D{Stored(X), int32_t(Y), 0});
        }
        auto* O = TGeoDataObject::Create(Layer);
        S.Seek(0);
        O->LoadFromStream(S);
        EXPECT_TRUE(S.AtEnd());
        EXPECT_EQ(PointsOf(O), Expected);
        // The box gathered while reading is the one CalcExtents gives.
        if (O->HasState(osExtentsValid)) {
            const TExtent Read = O->Extents();
            O->CalcExtents();
            EXPECT_EQ(Read, O->Extents());
        }
    }
}

TEST_F(LayerFileTest, ChainsLongerThanTheCountFieldRoundTrip) {
    auto Build = [&](int32_t N) {
        auto* O = TGeoDataObject::Create(Layer);
        O->SetPointCount(N);
        for (int32_t I = 0; I < N; ++I) O->PutPoint(I, MakePoint((I % 21600 - 10800) * int64_t(Min) + I, I % 777));
        return O;
    };
    auto* Edge = Build(65535);
    auto* Big = Build(70001);
    const TBytes EdgeRecord = RecordBytes(*Edge);
    EXPECT_EQ(TBytes(EdgeRecord.begin() + 4, EdgeRecord.begin() + 6), (TBytes{0xFF, 0xFF}));
    const TBytes BigRecord = RecordBytes(*Big);
    EXPECT_EQ(TBytes(BigRecord.begin() + 4, BigRecord.begin() + 10), (TBytes{0, 0, 0x71, 0x11, 0x01, 0}))
        << "a zero count, then the count in 32 bits";

    TOrvexLayer* Loaded = RoundTrip();
    ASSERT_EQ(Loaded->ObjectCount(), 2);
    EXPECT_EQ(PointsOf(Loaded->GetObject(0)), PointsOf(Edge));
    EXPECT_EQ(PointsOf(Loaded->GetObject(1)), PointsOf(Big));
}

// Random chains in every encoding (units or whole minutes, with or without altitude, small
// steps, steps that escape, jumps that make the plain encoding win) read back point for point
// and to the record's last byte, and write the same bytes again.
TEST_F(LayerFileTest, RandomChainsOfEveryEncodingRoundTrip) {
    uint64_t State = 0x9E3779B97F4A7C15ull;
    auto Random = [&](int64_t Low, int64_t High) {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return Low + int64_t((State >> 20) % uint64_t(High - Low + 1));
    };
    std::set<uint8_t> FlagsSeen;
    for (const bool Minutes : {false, true})
        for (const bool Altitude : {false, true})
            for (const int64_t Scale : {1, 2, 3}) {
                // Steps that never escape, some that do, and jumps that make most points escape.
                const int64_t Step = Scale == 1 ? 3 : Scale == 2 ? (Minutes ? 200 : 40000) : (Minutes ? 40000 : 4000000);
                SCOPED_TRACE(testing::Message() << "minutes " << Minutes << ", altitude " << Altitude << ", step "
                                                << Step);
                const int64_t Unit = Minutes ? Min : 1;
                std::vector<TPoint3D> Points;
                int64_t X = Random(-10000, 10000), Y = 0, Z = 0;
                for (int I = 0; I < 300; ++I) {
                    int64_t DX = Random(-Step, Step);
                    if (DX == 0) DX = 1;  // no repeated points: saving drops those
                    X += DX;
                    const int64_t Turn = Minutes ? 21600 : OrvexUnits::Deg360;
                    X = (X % Turn + Turn + Turn / 2) % Turn - Turn / 2;
                    Y = std::clamp<int64_t>(Y + Random(-Step, Step), -5000, 5000);
                    if (Altitude) Z = std::clamp<int64_t>(Z + Random(-Step, Step), -5000, 5000);
                    Points.push_back(MakePoint(X * Unit, int32_t(Y * Unit), int32_t(Z * Unit)));
                    // Some points off the minute grid, once in a while, in the unit chains.
                    if (!Minutes && I % 50 == 7) Points.back().Y += 1;
                }
                auto* O = TGeoDataObject::Create(Layer);
                O->SetPoints(Points.data(), int32_t(Points.size()));
                const TBytes Record = RecordBytes(*O);
                FlagsSeen.insert(O->StreamFlags());

                auto* Back = TGeoDataObject::Create(Layer);
                TOrvexStream S(Record);
                Back->LoadFromStream(S);
                EXPECT_TRUE(S.AtEnd());
                EXPECT_EQ(PointsOf(Back), Points);
                // Saved again the same, but for the FeatureID of the presenter it found.
                const TBytes Again = RecordBytes(*Back);
                EXPECT_EQ(TBytes(Again.begin() + 4, Again.end()), TBytes(Record.begin() + 4, Record.end()));
            }
    // Both encodings, in units and in minutes, with and without altitude.
    for (const uint8_t Flags : {0x00, 0x04, 0x08, 0x0C, 0x10, 0x14, 0x18, 0x1C})
        EXPECT_EQ(FlagsSeen.count(Flags), 1u) << int(Flags);
}

// Chains written in the one pass that appending allows, and those handed back from it to the
// general writer: the bytes, flags and dropped points are the same as when the record is
// written over older data (the general writer only).
TEST_F(LayerFileTest, AppendedRecordsMatchRecordsWrittenOverOlderData) {
    uint64_t State = 0x2545F4914F6CDD1Dull;
    auto Random = [&](int64_t Low, int64_t High) {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return Low + int64_t((State >> 20) % uint64_t(High - Low + 1));
    };
    // A walk from near 179 degrees whose steps are each Step units at most, Escaping of them
    // (in percent) jumping far; longitudes wrap at the date line.
    auto Walk = [&](int N, int64_t Step, int Escaping) {
        std::vector<TPoint3D> P;
        int64_t X = 179 * int64_t(OrvexUnits::PerDegree), Y = Random(-1000000, 1000000);
        for (int I = 0; I < N; ++I) {
            const bool Far = Random(0, 99) < Escaping;
            X += Far ? Random(-40000000, 40000000) : Random(-Step, Step);
            Y = std::clamp<int64_t>(Y + (Far ? Random(-40000000, 40000000) : Random(-Step, Step)),
                                    -OrvexUnits::Deg90, OrvexUnits::Deg90);
            P.push_back(MakePoint(NormalizeLongitude(X % OrvexUnits::Deg360), int32_t(Y)));
        }
        return P;
    };
    std::vector<std::pair<std::string, std::vector<TPoint3D>>> Cases;
    Cases.push_back({"small steps", Walk(500, 3000, 0)});
    for (int Escaping : {10, 55, 60, 62, 65, 70, 100})
        Cases.push_back({"escaping " + std::to_string(Escaping), Walk(300, 30000, Escaping)});
    Cases.push_back({"beyond the 16-bit count", Walk(70000, 20000, 10)});
    Cases.push_back({"two points", Walk(2, 100, 0)});
    std::vector<TPoint3D> Edges = {TPoint3D{0, 0, 0}};
    for (int32_t D : {32766, 32767, 32768, -32766, -32767, -32768, 65535, -65536})
        for (bool OnY : {false, true}) {
            const TPoint3D B = Edges.back();
            Edges.push_back(OnY ? TPoint3D{B.X + 1, B.Y + D, 0} : TPoint3D{B.X + D, B.Y + 1, 0});
        }
    Edges.push_back(TPoint3D{-OrvexUnits::Deg180, std::numeric_limits<int32_t>::min(), 0});
    Edges.push_back(TPoint3D{OrvexUnits::Deg180 - 1, std::numeric_limits<int32_t>::max(), 0});
    Cases.push_back({"deltas at the escape limit", Edges});
    auto With = [](std::vector<TPoint3D> P, int At, const TPoint3D& Point) {
        P[size_t(At < 0 ? int(P.size()) + At : At)] = Point;
        return P;
    };
    const std::vector<TPoint3D> Base = Walk(100, 3000, 10);
    Cases.push_back({"altitude at the last point", With(Base, -1, TPoint3D{Base.back().X, Base.back().Y, 1})});
    Cases.push_back({"altitude at the first point", With(Base, 0, TPoint3D{Base[0].X, Base[0].Y, -1})});
    Cases.push_back({"repeat of the first point", With(Base, 1, Base[0])});
    Cases.push_back({"repeat at the end", With(Base, -1, Base[Base.size() - 2])});
    Cases.push_back({"whole minutes, then not", With(Walk(50, 3, 0), 0, MakePoint(10 * Min, 20 * Min))});
    std::vector<TPoint3D> Minutes;
    for (int I = 0; I < 50; ++I) Minutes.push_back(MakePoint(int64_t(I % 7) * Min, (I % 5) * Min));
    Cases.push_back({"whole minutes", Minutes});

    for (const auto& [Name, Points] : Cases) {
        SCOPED_TRACE(Name);
        auto* Appended = TGeoDataObject::Create(Layer);
        auto* Over = TGeoDataObject::Create(Layer);
        Appended->SetPoints(Points.data(), int32_t(Points.size()));
        Over->SetPoints(Points.data(), int32_t(Points.size()));
        TOrvexStream A;
        A.WriteInt32(-1);  // an appending writer after other records
        Appended->SaveToStream(A);
        TOrvexStream B(TBytes(Points.size() * 16 + 64, 0xEE));
        B.WriteInt32(-1);
        Over->SaveToStream(B);
        ASSERT_EQ(A.Position(), B.Position());
        EXPECT_EQ(A.Data(), TBytes(B.Data().begin(), B.Data().begin() + std::ptrdiff_t(B.Position())));
        EXPECT_EQ(Appended->StreamFlags(), Over->StreamFlags());
        EXPECT_EQ(PointsOf(Appended), PointsOf(Over));
        // And they read back.
        auto* Back = TGeoDataObject::Create(Layer);
        A.Seek(4);
        Back->LoadFromStream(A);
        EXPECT_TRUE(A.AtEnd());
        EXPECT_EQ(PointsOf(Back), PointsOf(Appended));
    }
}

// A layer file's chains share blocks of points: an edit after the load must move a chain's
// points off its block without touching its neighbours', and the blocks must go with the last
// of their chains, also after a load that failed half-way.
TEST_F(LayerFileTest, LoadedChainsShareBlocksAndGiveThemBack) {
    std::vector<std::vector<TPoint3D>> Chains;
    // Sizes that share blocks, and one too long to (its room on the heap, as before).
    for (const int32_t Count : {2, 63, 700, 3000, 5, 40000})
        for (int Copy = 0; Copy < 3; ++Copy) {
            std::vector<TPoint3D> C;
            for (int32_t I = 0; I < Count; ++I)
                C.push_back(MakePoint(int64_t(I % 3600) * 1000 + Copy, int64_t(Count % 500) * 1000 + I / 3600));
            Chains.push_back(C);
        }
    for (size_t C = 0; C < Chains.size(); ++C)
        TGeoDataObject::Create(Layer, nullptr, int32_t(C), "")->SetPoints(Chains[C].data(), int32_t(Chains[C].size()));
    Layer->SaveToFile(PathOf("shared.lyr"));
    const TBytes Bytes = FileBytes(PathOf("shared.lyr"));
    const int64_t Blocks = TPointSlab::LiveBlocks();
    {
        TOrvexLayer Loaded(nullptr);
        TOrvexStream S(Bytes);
        Loaded.LoadFromStream(S);
        EXPECT_GT(TPointSlab::LiveBlocks(), Blocks);
        ASSERT_EQ(Loaded.ObjectCount(), int32_t(Chains.size()));
        // An edit through the object moves its points off the block.
        auto* Grown = static_cast<TGeoDataObject*>(Loaded.GetObject(3));
        Grown->InsertPoint(1, MakePoint(7, 7));
        Chains[3].insert(Chains[3].begin() + 1, MakePoint(7, 7));
        // Every other object freed, in the middle of the blocks.
        for (int32_t I = Loaded.ObjectCount() - 2; I >= 0; I -= 2) {
            delete Loaded.GetObject(I);
            Chains.erase(Chains.begin() + I);
        }
        ASSERT_EQ(Loaded.ObjectCount(), int32_t(Chains.size()));
        for (int32_t I = 0; I < Loaded.ObjectCount(); ++I) {
            const auto* O = static_cast<const TGeoDataObject*>(Loaded.GetObject(I));
            ASSERT_EQ(std::vector<TPoint3D>(O->Points(), O->Points() + O->Count()), Chains[size_t(I)]) << I;
        }
    }
    EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks);
    {
        TOrvexLayer Loaded(nullptr);
        TOrvexStream S(TBytes(Bytes.begin(), Bytes.begin() + std::ptrdiff_t(Bytes.size() * 3 / 4)));
        EXPECT_ANY_THROW(Loaded.LoadFromStream(S));
        EXPECT_GT(Loaded.ObjectCount(), 0);
    }
    EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks);
}

// The extent each chain gets while it is read is the one CalcExtents gives it: chains east
// and west of the date line, across it once or twice, around a pole, with quadrant jumps the
// date-line rule counts, in every encoding.
TEST_F(LayerFileTest, LoadedChainsHaveTheExtentsCalcExtentsGives) {
    constexpr int32_t Deg = OrvexUnits::PerDegree;
    auto* Lines = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 3, "Lines");
    std::vector<std::vector<TPoint3D>> Chains = {
        {MakePoint(179 * int64_t(Deg), 10 * Deg), MakePoint(179 * int64_t(Deg) + 5000, 10 * Deg + 7000),
         MakePoint(OrvexUnits::Deg180 - 1, 11 * Deg)},
        {MakePoint(179 * int64_t(Deg), 10 * Deg), MakePoint(-179 * int64_t(Deg), 11 * Deg)},
        {MakePoint(179 * int64_t(Deg), 10 * Deg), MakePoint(-179 * int64_t(Deg), 11 * Deg),
         MakePoint(178 * int64_t(Deg), 12 * Deg)},
        {MakePoint(100 * int64_t(Deg), 0), MakePoint(-100 * int64_t(Deg), 1000), MakePoint(-90 * int64_t(Deg), 0),
         MakePoint(90 * int64_t(Deg), 5)},
        {MakePoint(-OrvexUnits::Deg180, -5), MakePoint(-OrvexUnits::Deg180 + 3, 5)},
        {MakePoint(int64_t(Deg) * 10, 0), MakePoint(int64_t(Deg) * 10, 0)},
        {MakePoint(int64_t(Deg) * 10, 0)},
    };
    std::vector<TPoint3D> Pole;
    for (int I = 0; I < 12; ++I) Pole.push_back(MakePoint(int64_t(I) * 30 * Deg - 165 * int64_t(Deg), 80 * Deg + I));
    Chains.push_back(Pole);
    std::vector<TPoint3D> Walk;
    int64_t X = 170 * int64_t(Deg);
    for (int I = 0; I < 5000; ++I) {
        X += (I % 97 == 0) ? 3 * int64_t(Deg) : (I % 13) * 1000 - 6000;
        Walk.push_back(MakePoint(NormalizeLongitude(X % OrvexUnits::Deg360), (I % 200) * 3000 - 300000));
    }
    Chains.push_back(Walk);
    // The same chains in whole minutes, with an altitude, and far apart (written plain).
    const size_t Plain = Chains.size();
    for (size_t C = 0; C < Plain; ++C) {
        std::vector<TPoint3D> M, Z, Far;
        for (size_t I = 0; I < Chains[C].size(); ++I) {
            const TPoint3D P = Chains[C][I];
            M.push_back(MakePoint(int64_t(P.X / Min) * Min, P.Y / Min * Min));
            Z.push_back(TPoint3D{P.X, P.Y, int32_t(I)});
            Far.push_back(TPoint3D{P.X, int32_t(P.Y - (I % 2) * 40 * int64_t(Deg)), 0});
        }
        Chains.insert(Chains.end(), {M, Z, Far});
    }
    for (size_t C = 0; C < Chains.size(); ++C) {
        auto* O = TGeoDataObject::Create(Layer, C % 2 ? Lines : nullptr, int32_t(C), "");
        O->SetPoints(Chains[C].data(), int32_t(Chains[C].size()));
    }
    std::set<uint8_t> FlagsSeen;
    Layer->SaveToFile(PathOf("chains.lyr"));
    // Into an empty layer (objects finished as they are read) and where the objects are
    // finished after the load: with a handler called during it, or other objects already there.
    for (const char* Way : {"fresh", "handler", "appended"}) {
        SCOPED_TRACE(Way);
        TOrvexLayer* Loaded = View.AddLayer(Way);
        const std::string W = Way;
        int32_t Before = 0;
        if (W == "handler") View.OnObjectCreate = [](TOrvex3*, TOrvexObject*) {};
        if (W == "appended") {
            TGeoDataObject::Create(Loaded)->SetPoints(Chains[0].data(), 2);
            Before = 1;
        }
        TOrvexStream S(FileBytes(PathOf("chains.lyr")));
        Loaded->LoadFromStream(S);
        View.OnObjectCreate = nullptr;
        ASSERT_EQ(Loaded->ObjectCount(), Before + int32_t(Chains.size()));
        for (TOrvexObject* O : Loaded->Objects()) {
            SCOPED_TRACE(O->ID());
            FlagsSeen.insert(O->StreamFlags() & 0x3C);  // the point encoding
            const TExtent Read = O->Extents();
            const uint16_t State = O->State();
            O->CalcExtents();
            EXPECT_EQ(Read, O->Extents());
            EXPECT_EQ(State, O->State());
        }
        const TExtent Union = Loaded->Extents();
        EXPECT_FALSE(Union.IsEmpty());
        Loaded->CalcExtents();
        EXPECT_EQ(Union, Loaded->Extents());
    }
    for (const uint8_t Flags : {0x00, 0x10, 0x14, 0x18})
        EXPECT_EQ(FlagsSeen.count(Flags), 1u) << int(Flags);
}

// ---------------------------------------------------------------------------------------
// Files

TEST_F(LayerFileTest, PresentersAreSortedAndPurgedAndBlocksFollowTheRegistry) {
    auto* Line = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 3, "Roads");
    auto* Unused = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 4, "Unused");
    auto* Point = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 5, "Towns");
    auto* Area = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 6, "Lakes");
    (void)Unused;
    TGeoDataObject::Create(Layer, Line, 1, "road");
    TBitmapObject::Create(Layer, Point, 2, "picture");
    TGeoDataObject::Create(Layer, Area, 3, "lake");
    TSinglePointObject::Create(Layer, Point, 4, "not registered");

    TOrvexLayer* Loaded = RoundTrip();
    EXPECT_EQ(Layer->Presenters(), (std::vector<TOrvexPresenter*>{Point, Area, Line}));
    ASSERT_EQ(Loaded->PresenterCount(), 3);
    EXPECT_EQ(Loaded->GetPresenter(0)->Name(), "Towns");
    EXPECT_EQ(Loaded->GetPresenter(1)->Name(), "Lakes");
    EXPECT_EQ(Loaded->GetPresenter(2)->Name(), "Roads");
    ASSERT_EQ(Loaded->ObjectCount(), 3);
    EXPECT_EQ(Loaded->GetObject(0)->Title(), "picture") << "TBitmapObject's block comes first";
    EXPECT_EQ(Loaded->GetObject(1)->Title(), "road");
    EXPECT_EQ(Loaded->GetObject(2)->Title(), "lake");
    for (int I = 0; I < 3; ++I) {
        ASSERT_NE(Loaded->GetObject(I)->Presenter(), nullptr);
        EXPECT_EQ(Loaded->GetObject(I)->Presenter()->Layer(), Loaded);
    }
    EXPECT_EQ(Loaded->GetObject(1)->Presenter()->Name(), "Roads");
}

TEST_F(LayerFileTest, EveryStoredClassRoundTripsWithAllItsValues) {
    const std::string Picture = PathOf("symbol.png");
    QImage Img(4, 3, QImage::Format_RGB32);
    Img.fill(Qt::red);
    ASSERT_TRUE(Img.save(QString::fromStdString(Picture)));

    const auto [Pt, Line, Area] = AddEveryPresenter(Layer, Picture);

    auto* River = Chain(Layer, {MakePoint(-5 * Min, 3 * Min), MakePoint(-4 * Min, 3 * Min), MakePoint(1, 2)});
    River->AttachPresenter(Line);
    River->SetTitle("Rh\xF4ne");
    River->SetID(123456);
    auto* Lake = Chain(Layer, {TPoint3D{1, 2, 3}, TPoint3D{4, 5, 6}, TPoint3D{7, 8, 9}, TPoint3D{1, 2, 3}});
    Lake->AttachPresenter(Area);
    Lake->SetZoomMin(-5);
    Lake->SetZoomMax(500);
    auto* Bmp = TBitmapObject::Create(Layer, Pt, 9, "map");
    Bmp->SetPoint(MakePoint(10 * Min, 20 * Min));
    Bmp->SetOrvexUnitsPerPixel(1500);
    Bmp->SetBMPFilename("maps/scan.bmp");

    Layer->SaveToFile(PathOf("all.lyr"));
    const TBytes Original = FileBytes(PathOf("all.lyr"));
    TOrvexLayer* Loaded = View.AddLayer("Loaded");
    TOrvexStream S(Original);
    Loaded->LoadFromStream(S);

    ASSERT_EQ(Loaded->PresenterCount(), 3);
    auto* LPt = dynamic_cast<TPointPresenter*>(Loaded->GetPresenter(0));
    auto* LArea = dynamic_cast<TPolygonPresenter*>(Loaded->GetPresenter(1));
    auto* LLine = dynamic_cast<TPolylinePresenter*>(Loaded->GetPresenter(2));
    ASSERT_TRUE(LPt && LArea && LLine);
    EXPECT_EQ(LPt->FeatureID(), 11);
    EXPECT_EQ(LPt->TitleAlignment(), taBottomRight);
    EXPECT_EQ(LPt->TitleFont()->FontName(), "Courier");
    EXPECT_EQ(LPt->TitleFont()->FontUnit(), Kilometer);
    EXPECT_EQ(LPt->PointSize(), 250);
    EXPECT_EQ(LPt->MaxPointSize(), 30);
    EXPECT_EQ(LPt->SymbolIndex(), -7);
    EXPECT_EQ(LPt->ImageName(), Picture);
    EXPECT_EQ(LPt->PointPen()->PenStyle(), psDashDot);
    EXPECT_EQ(LPt->PointBrush()->BrushColor(), 0x00654321);
    EXPECT_EQ(LLine->FeatureID(), -300);
    EXPECT_EQ(LArea->PolygonBrush()->BrushStyle(), bsHorizontal);

    ASSERT_EQ(Loaded->ObjectCount(), 3);
    auto* LBmp = dynamic_cast<TBitmapObject*>(Loaded->GetObject(0));
    ASSERT_NE(LBmp, nullptr);
    EXPECT_EQ(LBmp->Point(), Bmp->Point());
    EXPECT_EQ(LBmp->OrvexUnitsPerPixel(), 1500);
    EXPECT_EQ(LBmp->BMPFilename(), "maps/scan.bmp");
    EXPECT_EQ(LBmp->TransparentIndex(), -1);
    EXPECT_EQ(LBmp->Presenter(), LPt);
    EXPECT_EQ(Loaded->GetObject(1)->Title(), "Rh\xF4ne");
    EXPECT_EQ(Loaded->GetObject(1)->Presenter(), LLine);
    EXPECT_EQ(PointsOf(Loaded->GetObject(2)), PointsOf(Lake));
    EXPECT_EQ(Loaded->GetObject(2)->ZoomMax(), 500);
    for (int I = 0; I < 3; ++I) {
        EXPECT_TRUE(Loaded->GetObject(I)->HasState(osExtentsValid)) << I;
        EXPECT_EQ(Loaded->GetObject(I)->StreamFlags(), Layer->GetObject((I + 2) % 3)->StreamFlags()) << I;
    }
    EXPECT_FALSE(Loaded->Extents().IsEmpty()) << "computed after loading";

    // Everything stored comes back: saving the loaded layer gives the same blocks.
    Loaded->SaveToFile(PathOf("again.lyr"));
    const TBytes Again = FileBytes(PathOf("again.lyr"));
    EXPECT_EQ(TBytes(Again.begin() + 18, Again.end()), TBytes(Original.begin() + 18, Original.end()));
}

TEST_F(LayerFileTest, BitmapRecordKeepsItsTransparentIndex) {
    auto* Bmp = TBitmapObject::Create(Layer);
    TOrvexStream S;
    Bmp->SaveToStream(S);
    TBytes Bytes = S.Data();
    ASSERT_EQ(Bytes.size(), 8u + 4 + 4 + 1);
    Bytes[12] = 7;
    Bytes[13] = Bytes[14] = Bytes[15] = 0;
    TOrvexStream In(Bytes);
    auto* Loaded = TBitmapObject::Create(Layer);
    Loaded->LoadFromStream(In);
    EXPECT_EQ(Loaded->TransparentIndex(), 7);
    const TBytes Again = RecordBytes(*Loaded);
    EXPECT_EQ(TBytes(Again.begin() + 4, Again.end()), TBytes(Bytes.begin() + 4, Bytes.end()))
        << "all but the FeatureID, which follows the presenter found";
}

TEST_F(LayerFileTest, BitmapDefaultsAndCopies) {
    auto* A = TBitmapObject::Create(Layer);
    EXPECT_EQ(A->OrvexUnitsPerPixel(), 90000);
    EXPECT_EQ(A->TransparentIndex(), -1);
    A->SetTransparentColor(0x00FFFFFF);
    EXPECT_EQ(A->TransparentIndex(), -1) << "no image, no palette";
    EXPECT_EQ(A->TransparentColor(), 0);
    A->SetPoint(MakePoint(Min, 2 * Min));
    A->SetOrvexUnitsPerPixel(3000);
    A->SetBMPFilename("a.bmp");
    A->SetTitle("A");
    auto* B = TBitmapObject::Create(Layer);
    B->CopyFrom(A);
    EXPECT_EQ(B->Point(), A->Point());
    EXPECT_EQ(B->OrvexUnitsPerPixel(), 3000);
    EXPECT_EQ(B->BMPFilename(), "a.bmp");
    EXPECT_EQ(B->Title(), "A");
    auto* C = TSinglePointObject::Create(Layer);
    C->CopyFrom(A);
    EXPECT_EQ(C->Point(), A->Point());
}

TEST_F(LayerFileTest, ObjectsFindPresentersByFeatureIDWithGlobalFallbacks) {
    auto* Roads = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 5, "Roads");
    TGeoDataObject::Create(Layer, Roads, 1, "road")->AddPoint(MakePoint(1, 1));
    auto Orphan = [&](TOrvexObject* O, const char* Title, int16_t FeatureID) {
        O->SetTitle(Title);
        O->SetFeatureID(FeatureID);
        O->PutPoint(0, MakePoint(2, 2));
    };
    auto* Line = TGeoDataObject::Create(Layer);
    Orphan(Line, "line", 77);
    Line->AddPoint(MakePoint(3, 3));
    Orphan(TGeoDataObject::Create(Layer), "dot", 77);
    Orphan(TBitmapObject::Create(Layer), "bitmap", 77);
    Orphan(TGeoDataObject::Create(Layer), "any", 0);

    TOrvexLayer* Loaded = RoundTrip();
    auto Find = [&](const char* Title) { return Loaded->FindObjectByTitle(Title, nullptr); };
    TOrvexLayer* Global = View.GlobalLayer();
    EXPECT_EQ(Find("road")->Presenter(), Loaded->GetPresenter(0));
    EXPECT_EQ(Find("line")->Presenter(), Global->FindPresenter("GlobalPolylinePresenter", 0));
    EXPECT_EQ(Find("line")->FeatureID(), -2);
    EXPECT_EQ(Find("dot")->Presenter(), Global->FindPresenter("GlobalPointPresenter", 0));
    EXPECT_EQ(Find("bitmap")->Presenter(), nullptr);
    EXPECT_EQ(Find("bitmap")->FeatureID(), 77);
    EXPECT_EQ(Find("any")->Presenter(), Loaded->GetPresenter(0)) << "0 takes the layer's first presenter";

    // Without presenters of its own, 0 takes the global layer's first.
    TOrvexLayer* Bare = View.AddLayer("Bare");
    Orphan(TGeoDataObject::Create(Bare), "any", 0);
    Bare->SaveToFile(PathOf("bare.lyr"));
    TOrvexLayer* BareLoaded = View.AddLayer("BareLoaded");
    TOrvexStream S(FileBytes(PathOf("bare.lyr")));
    BareLoaded->LoadFromStream(S);
    EXPECT_EQ(BareLoaded->GetObject(0)->Presenter(), Global->GetPresenter(0));
}

TEST_F(LayerFileTest, LoadingReportsProgressAndAnnouncesObjectsTwice) {
    for (int I = 0; I < 2001; ++I) TGeoDataObject::Create(Layer);
    Layer->GetObject(0)->SetTitle("first");
    Layer->SaveToFile(PathOf("many.lyr"));

    TOrvexLayer* Loaded = View.AddLayer("Many");
    TGeoDataObject::Create(Loaded)->SetTitle("already there");
    std::vector<std::pair<int, std::string>> Progress;
    View.OnProgress = [&](TOrvex3*, int Type, const std::string& Text, bool&) { Progress.emplace_back(Type, Text); };
    TEventLog Log(View);
    TOrvexStream S(FileBytes(PathOf("many.lyr")));
    Loaded->LoadFromStream(S);
    View.OnProgress = nullptr;

    EXPECT_EQ(Progress,
              (std::vector<std::pair<int, std::string>>{
                  {0, "Many Loaded 1000 objects"}, {0, "Many Loaded 2000 objects"}, {0, "Many Loaded 2002 objects"}}));
    ASSERT_GE(Log.Events.size(), 2u);
    EXPECT_EQ(Log.Events[0], "create:") << "from the constructor";
    EXPECT_EQ(Log.Events[1], "create:first") << "again once the data is read";
    EXPECT_EQ(Log.Events.size(), 2u * 2001);
    EXPECT_EQ(Loaded->ObjectCount(), 2002) << "loading appends";
    EXPECT_TRUE(Loaded->IsLoaded());
}

TEST_F(LayerFileTest, VersionAndClassErrorsNameTheFile) {
    Layer->SaveToFile(PathOf("named.lyr"));
    Layer->SetExtents(TExtent{1, 2, 3, 4});
    TOrvexStream Old = CraftedFile();
    Old.Data()[1] = 0x02;
    Old.Seek(0);
    EXPECT_EQ(Message([&] { Layer->LoadFromStream(Old); }), "LoadFromFile: Invalid File Version 200 in named.lyr");
    EXPECT_EQ(Layer->Extents(), (TExtent{1, 2, 3, 4})) << "nothing read into the layer";

    TOrvexStream S = CraftedFile();
    S.WriteInt32(1);
    S.WriteShortString("TGeoDataObject");
    for (uint8_t B : {0x28, 0, 0, 0, 0, 0, 0, 0}) S.WriteUInt8(B);
    S.WriteInt32(1);
    S.WriteShortString("TNoSuchObject");
    S.Seek(0);
    EXPECT_EQ(Message([&] { Layer->LoadFromStream(S); }),
              "LoadFromFile: Unknown Orvex Object Class TNoSuchObject in named.lyr");
    EXPECT_EQ(Layer->ObjectCount(), 1) << "records before the error stay";

    // Class names are found regardless of case.
    TOrvexStream Lower = CraftedFile();
    Lower.WriteInt32(1);
    Lower.WriteShortString("tgeodataobject");
    for (uint8_t B : {0x28, 0, 0, 0, 0, 0, 0, 0}) Lower.WriteUInt8(B);
    Lower.Seek(0);
    Layer->LoadFromStream(Lower);
    EXPECT_EQ(Layer->ObjectCount(), 2);
}

TEST_F(LayerFileTest, RegistryHoldsTheEightClassesOnce) {
    std::vector<std::string> Names;
    for (const TClassInfo* C : View.ClassRegistry().Classes()) Names.push_back(C->ClassName);
    EXPECT_EQ(Names,
              (std::vector<std::string>{"TBitmapObject", "TGeoDataObject", "TOrvexBrush", "TOrvexFont", "TOrvexPen",
                                        "TPointPresenter", "TPolygonPresenter", "TPolylinePresenter"}));
    EXPECT_EQ(Message([&] { View.RegisterOrvexClass(TGeoDataObject::StaticClassInfo()); }),
              "TOrvex3.RegisterOrvexClass: Class TGeoDataObject already registered");
}

// ---------------------------------------------------------------------------------------
// Damaged and hostile data

class DamagedFileTest : public LayerFileTest {
protected:
    void SetUp() override {
        LayerFileTest::SetUp();
        Target->SaveToFile(PathOf("bad.lyr"));  // names the layer for the messages
    }
    // Loads a crafted file: one valid empty chain, then Tail.
    std::string LoadWithTail(const TBytes& Tail) {
        TOrvexStream S = CraftedFile();
        S.WriteInt32(1);
        S.WriteShortString("TGeoDataObject");
        for (uint8_t B : {0x28, 0, 0, 0, 0, 0, 0, 0}) S.WriteUInt8(B);
        S.WriteBytes(Tail.data(), Tail.size());
        S.Seek(0);
        return Message([&] { Target->LoadFromStream(S); });
    }
    TOrvexLayer* Target = View.AddLayer("Target");
    const std::string Truncated = "LoadFromFile: Unexpected end of data in bad.lyr";
};

TEST_F(DamagedFileTest, EveryPrefixOfAFileLoadsOrFailsCleanly) {
    auto* Pt = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 1, "P");
    auto* Line = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 2, "L");
    auto* Area = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 3, "A");
    Chain(Layer, {MakePoint(0, 0), MakePoint(Min, Min), MakePoint(200 * Min, 0)})->AttachPresenter(Line);
    auto* Wide = Chain(Layer, {TPoint3D{1, 2, 3}, TPoint3D{4, 5, 6}, TPoint3D{70000, 5, 6}});
    Wide->AttachPresenter(Area);
    Wide->SetTitle("wide");
    TBitmapObject::Create(Layer, Pt, 5, "bmp")->SetBMPFilename("x.bmp");
    Layer->SaveToFile(PathOf("small.lyr"));
    const TBytes File = FileBytes(PathOf("small.lyr"));
    // File order: the bitmap's block, then the chains.
    const std::vector<std::vector<TPoint3D>> Expected{PointsOf(Layer->GetObject(2)), PointsOf(Layer->GetObject(0)),
                                                      PointsOf(Layer->GetObject(1))};

    int Loaded = 0, Failed = 0;
    int32_t LastCount = 0;
    for (size_t Len = 0; Len <= File.size(); ++Len) {
        Target->Clear();
        TOrvexStream S(TBytes(File.begin(), File.begin() + Len));
        try {
            Target->LoadFromStream(S);
            ++Loaded;
        } catch (const EOrvexException& E) {
            ++Failed;
            EXPECT_EQ(std::string(E.what()).find("LoadFromFile: "), 0u) << Len << ": " << E.what();
            EXPECT_NE(std::string(E.what()).find("bad.lyr"), std::string::npos) << Len << ": " << E.what();
        }
        ASSERT_LE(Target->ObjectCount(), 3);
        EXPECT_GE(Target->ObjectCount(), LastCount) << "a longer prefix never holds fewer objects";
        LastCount = Target->ObjectCount();
        for (int32_t I = 0; I < Target->ObjectCount(); ++I)
            EXPECT_EQ(PointsOf(Target->GetObject(I)), Expected[I]) << "only whole records stay, at " << Len;
    }
    EXPECT_EQ(LastCount, 3);
    EXPECT_GT(Failed, 0);
    EXPECT_GE(Loaded, 3) << "the whole file, the file without terminator, a prefix ending at a block";
}

TEST_F(DamagedFileTest, CountsLargerThanTheDataFailBeforeAllocating) {
    const TBytes Wide{0, 0, 0, 0};  // flags: 32-bit absolute points; FeatureID 0
    // 65,535 points announced, one given.
    EXPECT_EQ(LoadWithTail(Block(1, "TGeoDataObject") + Wide + TBytes{0xFF, 0xFF} + Int32(0) + Int32(0)), Truncated);
    // The long form with a count far beyond the data.
    EXPECT_EQ(LoadWithTail(Block(1, "TGeoDataObject") + Wide + TBytes{0, 0} + Int32(100000000) + Int32(0)), Truncated);
    EXPECT_EQ(Target->ObjectCount(), 2) << "the valid chain before each stays";
    for (TOrvexObject* O : Target->Objects()) EXPECT_LE(O->GetPointCount(), 1);
    // A long-form count that no chain can have.
    EXPECT_EQ(LoadWithTail(Block(1, "TGeoDataObject") + Wide + TBytes{0, 0} + Int32(-1)),
              "LoadFromFile: Corrupt file bad.lyr (TGeoDataObject.LoadFromStream: Bad point count -1)");
    // Record counts.
    EXPECT_EQ(LoadWithTail(Block(0x7FFFFFFF, "TGeoDataObject") + TBytes{0x28, 0, 0, 0, 0, 0, 0, 0}), Truncated);
}

TEST_F(DamagedFileTest, BlocksEndAtACountOfZeroOrLess) {
    Chain(Layer, {MakePoint(0, 0), MakePoint(Min, Min)});
    Layer->SaveToFile(PathOf("end.lyr"));
    TBytes File = FileBytes(PathOf("end.lyr"));
    ASSERT_EQ(TBytes(File.end() - 4, File.end()), Int32(0));
    File.resize(File.size() - 4);
    for (int32_t End : {0, -1, -2, std::numeric_limits<int32_t>::min()}) {
        SCOPED_TRACE(End);
        Target->Clear();
        // Whatever follows the end is not read.
        const TBytes Data = File + Int32(End) + Block(5, "TNoSuchClass");
        TOrvexStream S(Data);
        EXPECT_EQ(Message([&] { Target->LoadFromStream(S); }), "(no exception)");
        ASSERT_EQ(Target->ObjectCount(), 1);
        EXPECT_EQ(Target->GetObject(0)->GetPointCount(), 2);
    }
}

TEST_F(DamagedFileTest, ShortFieldsAndMisplacedClassesFail) {
    auto LoadBytes = [&](const TBytes& Data) {
        TOrvexStream S(Data);
        return Message([&] { Target->LoadFromStream(S); });
    };
    EXPECT_EQ(LoadBytes({0x00}), Truncated);
    EXPECT_EQ(LoadBytes({0x00, 0x03, 1, 2, 3}), Truncated);
    EXPECT_EQ(LoadWithTail({1, 0}), Truncated) << "half a record count";
    EXPECT_EQ(LoadWithTail(Int32(1) + TBytes{200, 'T', 'G'}), Truncated) << "class name past the end";
    EXPECT_EQ(LoadWithTail(Block(1, "TGeoDataObject") + TBytes{0x01, 0, 50, 'a'}), Truncated) << "title past the end";
    EXPECT_EQ(LoadWithTail(Block(1, "TOrvexPen") + Int32(0) + TBytes{0, 1}),
              "LoadFromFile: Corrupt file bad.lyr (a block of TOrvexPen records)");

    const TBytes Presenter = Int32(1) + TBytes{1, 'L', 0};
    const TBytes TitleFont = Int32(0) + TBytes{15, 9, 0, 0, 0, 0, 0};
    const TBytes BadPen = Int32(0) + TBytes{99, 1};
    const std::string M = LoadWithTail(Block(1, "TPolylinePresenter") + Presenter + TitleFont + BadPen);
    EXPECT_EQ(M.find("LoadFromFile: Corrupt file bad.lyr ("), 0u) << M;
    EXPECT_EQ(Target->PresenterCount(), 0) << "a presenter read in part is dropped";

    // A clean end at a block boundary, or right after a count, is the end of the blocks.
    Target->Clear();
    EXPECT_EQ(LoadWithTail({}), "(no exception)");
    EXPECT_EQ(LoadWithTail(Int32(3)), "(no exception)");
    EXPECT_EQ(Target->ObjectCount(), 2);
}

TEST_F(DamagedFileTest, RecordsKeptFromAFailedLoadAreWhole) {
    // A chain, then a block of a class nobody registered.
    Chain(Layer, {MakePoint(10 * Min, 20 * Min), MakePoint(30 * Min, 40 * Min)});
    TOrvexStream Good;
    Layer->SaveToStream(Good);
    TBytes File(Good.Data().begin(), Good.Data().end() - 4);
    File = File + Block(1, "TNoSuchClass") + Int32(0);
    TOrvexStream S(File);
    EXPECT_NE(Message([&] { Target->LoadFromStream(S); }).find("Unknown Orvex Object Class"), std::string::npos);
    ASSERT_EQ(Target->ObjectCount(), 1);
    EXPECT_TRUE(Target->GetObject(0)->HasState(osExtentsValid));
    // The layer's extent is computed, around the chain (and its pen).
    const TExtent E = Target->Extents();
    EXPECT_TRUE(E.Left <= 10 * Min && E.Bottom <= 20 * Min && E.Left + E.Width >= 30 * Min &&
                E.Bottom + E.Height >= 40 * Min && E.Width < 21 * Min)
        << E.Left << " " << E.Bottom << " " << E.Width << " " << E.Height;
}

// A chain cut short in its points keeps the points read and zero points after them, never
// the points it held before.
TEST_F(DamagedFileTest, ChainCutShortKeepsNoStalePoints) {
    for (const bool Altitude : {false, true}) {
        SCOPED_TRACE(Altitude);
        std::vector<TPoint3D> Points;
        for (int I = 0; I < 200; ++I)
            Points.push_back(TPoint3D{(I % 9 == 0 ? 1000000 : 1000) * I + 1, I * 77 + 1, Altitude ? I + 1 : 0});
        auto* O = TGeoDataObject::Create(Layer);
        O->SetPoints(Points.data(), int32_t(Points.size()));
        const TBytes Record = RecordBytes(*O);
        ASSERT_TRUE(O->StreamFlags() & 0x10);
        const std::vector<TPoint3D> Stale(Points.size(), TPoint3D{7, 7, 7});
        int Failures = 0;
        for (size_t Cut = Record.size() - 1; Cut > Record.size() - 160; --Cut) {
            auto* Back = TGeoDataObject::Create(Layer);
            Back->SetPoints(Stale.data(), int32_t(Stale.size()));
            TOrvexStream S(TBytes(Record.begin(), Record.begin() + std::ptrdiff_t(Cut)));
            EXPECT_THROW(Back->LoadFromStream(S), EStreamReadError) << Cut;
            ++Failures;
            const std::vector<TPoint3D> Got = PointsOf(Back);
            ASSERT_EQ(Got.size(), Points.size());
            size_t K = 0;
            while (K < Got.size() && Got[K] == Points[K]) ++K;
            EXPECT_GT(K, 0u) << Cut;
            for (size_t I = K; I < Got.size(); ++I) ASSERT_EQ(Got[I], TPoint3D{}) << Cut << " at " << I;
            Back->Delete();
        }
        EXPECT_GT(Failures, 100);
    }
}

// Inputs the fuzzer found faults with: each loads or fails with a message naming the file,
// keeps only whole objects, and saves to records that read back to the same save (the
// extent in the header may follow the scale).
TEST_F(DamagedFileTest, FuzzFindingsLoadOrFailCleanlyAndRoundTrip) {
    const QDir Findings(ORVEX_SOURCE_DIR "/tests/data/fuzz/layer");
    const QStringList Files = Findings.entryList(QDir::Files);
    ASSERT_FALSE(Files.isEmpty());
    auto Saved = [](TOrvexLayer* L) {
        TOrvexStream S;
        L->SaveToStream(S);
        return TBytes(S.Data().begin() + 18, S.Data().end());
    };
    for (const QString& Name : Files) {
        SCOPED_TRACE(Name.toStdString());
        Target->Clear();
        Target->SetExtents(TExtent{});
        TOrvexStream S(FileBytes(Findings.filePath(Name).toStdString()));
        const std::string M = Message([&] { Target->LoadFromStream(S); });
        EXPECT_TRUE(M == "(no exception)" || M.find("LoadFromFile: ") == 0) << M;
        for (TOrvexObject* O : Target->Objects()) EXPECT_TRUE(O->HasState(osExtentsValid));
        EXPECT_TRUE(Target->ObjectCount() == 0 || !Target->Extents().IsEmpty());
        View.Render();
        const TBytes First = Saved(Target);
        TOrvexLayer* Again = View.AddLayer("Again");
        TOrvexStream Back(TBytes(18, 0) + First);
        Back.Data()[0] = 0x00;
        Back.Data()[1] = 0x03;
        EXPECT_EQ(Message([&] { Again->LoadFromStream(Back); }), "(no exception)");
        EXPECT_EQ(Saved(Again), First);
        delete Again;
    }
}

// ---------------------------------------------------------------------------------------
// Saving

TEST_F(LayerFileTest, SavedLayerNamesTheFileItWrote) {
    Layer->SaveToFile(PathOf("sub.lyr"));
    EXPECT_EQ(Layer->Filename(), "sub.lyr");
    EXPECT_EQ(Layer->Directory(), Dir.path().toStdString() + "/");
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Layer->Directory() + Layer->Filename())));

    const QString Cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    Layer->SaveToFile("bare.lyr");
    QDir::setCurrent(Cwd);
    EXPECT_EQ(Layer->Filename(), "bare.lyr");
    EXPECT_EQ(Layer->Directory(), "");
    EXPECT_TRUE(QFileInfo::exists(Dir.filePath("bare.lyr")));
}

TEST_F(LayerFileTest, FailedSaveRaisesAndKeepsThePreviousFile) {
    const std::string Missing = PathOf("no/such/folder/x.lyr");
    const std::string M = Message([&] { Layer->SaveToFile(Missing); });
    EXPECT_EQ(M.find("SaveToFile: Cannot write " + Missing), 0u) << M;
    EXPECT_EQ(Layer->Filename(), "x.lyr") << "named even when writing failed";

    for (int I = 0; I < 50; ++I) Chain(Layer, {MakePoint(I, 1), MakePoint(I, 2)});
    const std::string Target = PathOf("keep.lyr");
    const TBytes Old{'o', 'l', 'd'};
    WriteFile(Target, Old);
    // Files may not grow past 64 bytes: the temporary copy cannot be written.
    rlimit Limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Limit), 0);
    const rlimit Saved = Limit;
    Limit.rlim_cur = 64;
    auto* OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Limit), 0);
    const std::string Failure = Message([&] { Layer->SaveToFile(Target); });
    setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, OldHandler);

    EXPECT_EQ(Failure.find("SaveToFile: Cannot write " + Target), 0u) << Failure;
    EXPECT_EQ(FileBytes(Target), Old);
    const QStringList Left = QDir(Dir.path()).entryList(QDir::Files);
    EXPECT_EQ(Left, QStringList{"keep.lyr"}) << "no temporary file is left behind";

    Layer->SaveToFile(Target);
    EXPECT_GT(FileBytes(Target).size(), 64u);
}

// Files larger than one piece of output: the file holds what an in-memory save gives, and a
// failure after pieces have gone out still leaves the previous file whole.
TEST_F(LayerFileTest, LargeSavesMatchTheStreamAndFailHalfWayWithoutHarm) {
    std::vector<TPoint3D> Points(100);
    for (int I = 0; I < 3000; ++I) {
        for (int J = 0; J < 100; ++J) Points[J] = MakePoint(int64_t(I) * 977 + J * 3001, J * 1511 - I, 0);
        TGeoDataObject::Create(Layer)->SetPoints(Points.data(), int32_t(Points.size()));
    }
    TOrvexStream S;
    Layer->SaveToStream(S);
    ASSERT_GT(S.Size(), 1000000u);
    const std::string Target = PathOf("large.lyr");
    Layer->SaveToFile(Target);
    EXPECT_EQ(FileBytes(Target), S.Data());
    // And reads back through the file, which comes in several pieces.
    TOrvexLayer* Back = View.AddLayer("Back");
    Back->SetFilename(Target);
    ASSERT_EQ(Back->ObjectCount(), Layer->ObjectCount());
    for (int32_t I : {0, 1500, 2999}) EXPECT_EQ(PointsOf(Back->GetObject(I)), PointsOf(Layer->GetObject(I)));

    const TBytes Old{'o', 'l', 'd'};
    struct TCase {
        const char* Name;
        std::function<void()> Arrange, Restore;
        std::string Failure;
    };
    rlimit Saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Saved), 0);
    void (*OldHandler)(int) = nullptr;
    const std::vector<TCase> Cases{
        {"cancelled after 2000 objects",
         [&] {
             View.OnProgress = [](TOrvex3*, int, const std::string& Text, bool& Abort) {
                 Abort = Text.find("Saved 2000") != std::string::npos;
             };
         },
         [&] { View.OnProgress = nullptr; }, "Saving cancelled"},
        {"disk full after 300 KB",
         [&] {
             rlimit Limit = Saved;
             Limit.rlim_cur = 300000;
             OldHandler = std::signal(SIGXFSZ, SIG_IGN);
             setrlimit(RLIMIT_FSIZE, &Limit);
         },
         [&] {
             setrlimit(RLIMIT_FSIZE, &Saved);
             std::signal(SIGXFSZ, OldHandler);
         },
         "SaveToFile: Cannot write " + Target},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        WriteFile(Target, Old);
        C.Arrange();
        std::string M = "(no exception)";
        try {
            Layer->SaveToFile(Target);
        } catch (const std::exception& E) {
            M = E.what();
        }
        C.Restore();
        EXPECT_EQ(M.find(C.Failure), 0u) << M;
        EXPECT_EQ(FileBytes(Target), Old);
        EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"large.lyr"}) << "no temporary file is left";
    }
}

}  // namespace
