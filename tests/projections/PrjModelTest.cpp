#include <algorithm>
#include <string>

#include "tests/projections/PrjFixtures.h"

TEST_F(PrjTest, NewProjectionsFitTheirExtentsToTheSurface) {
    auto* Base = Use(new TPrjModel(&View));
    EXPECT_EQ(Base->ScaleFactor(), 150.0L / 1944000000.0L);
    EXPECT_EQ(Base->XOrigin(), 75);
    EXPECT_EQ(Base->YOrigin(), 75);
    EXPECT_EQ(Base->XRotation(), 126900000);
    EXPECT_EQ(Base->MeridianSteps(), 72);
    EXPECT_EQ(Base->ParallelSteps(), 144);
    EXPECT_EQ(Base->XAxisChanges(), xaYOrigin);
    EXPECT_EQ(Base->YAxisChanges(), yaCentralMeridian);

    auto* Sphere = Use(new TSphericalPrj(&View));
    EXPECT_EQ(Sphere->ScaleFactor(), 150.0L / (2.0L * EarthRadius));
    EXPECT_NEAR(static_cast<double>(Sphere->DiscRadius()), 75.0, 1e-9) << "the matrices follow the fitted scale";
    EXPECT_TRUE(Sphere->Seamless());
    EXPECT_TRUE(Sphere->TextureCapable());
    EXPECT_EQ(Sphere->MeridianSteps(), 36);
    EXPECT_EQ(Sphere->ParallelSteps(), 72);

    auto* Mercator = Use(TMercatorPrj::Create(&View));
    EXPECT_EQ(Mercator->ScaleFactor(), 150.0L / 1944000000.0L) << "fitted before the extents narrow";
    EXPECT_EQ(Mercator->Extents(), (TPrjExtents{-972000000, -480600000, 972000000, 480600000}));
    EXPECT_FALSE(Mercator->Seamless());
    EXPECT_TRUE(Mercator->TextureCapable());
}

TEST_F(PrjTest, TheViewTakesOverANewProjectionAsItIs) {
    auto* Sphere = new TSphericalPrj(&View);
    View.SetProjectionModel(Sphere);
    ASSERT_EQ(View.ProjectionModel(), Sphere);
    EXPECT_NEAR(static_cast<double>(Sphere->DiscRadius()), 75.0, 1e-9);
    TPoint3D Centre;
    ASSERT_TRUE(View.PixelToLL(75, 75, Centre));
    EXPECT_EQ(Centre, (TPoint3D{0, 126900000, 0})) << "the default rotation faces 23.5 degrees north";

    auto* Mercator = TMercatorPrj::Create(&View);
    View.SetProjectionModel(Mercator);
    ASSERT_EQ(View.ProjectionModel(), Mercator);
    ASSERT_TRUE(View.PixelToLL(75, 75, Centre));
    EXPECT_LE(std::abs(Centre.Y - 126900000), 13000000) << "the view centres the new map on the old centre";
}

TEST_F(PrjTest, PublishesTwelvePropertiesInheritedByEveryProjection) {
    const std::vector<std::string> Expected{"ScaleFactor",     "XOrigin",         "YOrigin",       "XAxisChanges",
                                            "YAxisChanges",    "XRotation",       "YRotation",     "ZRotation",
                                            "CentralMeridian", "CentralParallel", "FirstParallel", "SecondParallel"};
    for (const TClassInfo* C : {&TPrjModel::StaticClassInfo(), &TSphericalPrj::StaticClassInfo(),
                                &TCartesianPrj::StaticClassInfo(), &TMercatorPrj::StaticClassInfo()}) {
        std::vector<std::string> Names;
        for (const TPropInfo* P : C->Properties()) Names.push_back(P->Name);
        EXPECT_EQ(Names, Expected) << C->ClassName;
    }
    EXPECT_TRUE(TMercatorPrj::StaticClassInfo().InheritsFrom(TCartesianPrj::StaticClassInfo()));

    auto* Sphere = Use(new TSphericalPrj(&View));
    const TClassInfo& Info = Sphere->ClassInfo();
    Info.FindProperty("XRotation")->Set(*Sphere, int64_t{540000000});
    EXPECT_EQ(Sphere->XRotation(), 486000000) << "written through SetParameter, which clamps";
    Info.FindProperty("ScaleFactor")->Set(*Sphere, 1e-6L);
    EXPECT_NEAR(static_cast<double>(Sphere->DiscRadius()), 309.39723, 1e-6) << "written through ApplyScaleFactor";
    Info.FindProperty("XAxisChanges")->Set(*Sphere, int64_t{xaCentralParallel});
    EXPECT_EQ(Sphere->XAxisChanges(), xaCentralParallel);
    EXPECT_EQ(Info.FindProperty("YAxisChanges")->ValueNames, (std::vector<std::string>{"yaXOrigin", "yaCentralMeridian"}));
    Info.FindProperty("FirstParallel")->Set(*Sphere, int64_t{7});
    EXPECT_EQ(std::get<int64_t>(Info.FindProperty("FirstParallel")->Get(*Sphere)), 7);
}

TEST_F(PrjTest, SetParameterStoresByIndexAndIgnoresOthers) {
    TPrjModel Prj(&View);
    auto Snapshot = [&Prj] {
        return std::vector<int64_t>{Prj.XRotation(),     Prj.YRotation(),      Prj.ZRotation(),
                                    Prj.CentralMeridian(), Prj.FirstParallel(), Prj.SecondParallel(),
                                    Prj.CentralParallel(), Prj.XOrigin(),       Prj.YOrigin()};
    };
    const auto Before = Snapshot();
    Prj.SetParameter(7, 123);
    Prj.SetParameter(-1, 123);
    EXPECT_EQ(Snapshot(), Before);
    for (int32_t I = 0; I <= 6; ++I) Prj.SetParameter(I, 100 + I);
    EXPECT_EQ(Snapshot(), (std::vector<int64_t>{100, 101, 102, 103, 104, 105, 106, 75, 75}));
}

TEST_F(PrjTest, ExtentSamplesFollowTheEdgesEvery15Degrees) {
    auto* Prj = Use(new TSampleRecorder(&View));
    uint8_t Code = 0;
    ASSERT_TRUE(Prj->IsExtentVisible(TExtent{0, 0, 30 * Deg, 20 * Deg}, nullptr, Code));
    const std::vector<TPoint3D> Expected{LL(0, 0),  LL(0, 20),  LL(30, 20), LL(30, 0),
                                         LL(15, 0), LL(15, 20), LL(0, 15),  LL(30, 15)};
    EXPECT_EQ(Prj->Samples, Expected);
    EXPECT_EQ(Code, 0) << "wholly inside the world map";
}

TEST_F(PrjTest, AnExtentAcross180DegreesIsTestedAsTwoRectangles) {
    // Zoomed in on 175 degrees west: only the western half of 170E..170W is on the surface.
    auto* Prj = Use(new TSampleRecorder(&View));
    Prj->ApplyScaleFactor(1000.0L / Deg);
    Prj->SetXOrigin(75 + 175000);
    Prj->SetYOrigin(75);
    auto* O = Chain({});
    const TExtent Wrapping{170 * Deg, -Deg, 20 * Deg, 2 * Deg};
    EXPECT_TRUE(Prj->IsExtentVisible(Wrapping, O, O->ClipCodeRef()));
    EXPECT_TRUE(O->HasState(osWrapsMeridian));
    EXPECT_TRUE(O->HasState(osFrontSide));
    EXPECT_FALSE(O->HasState(osBackSide));
    ASSERT_EQ(Prj->Samples.size(), 8u);
    EXPECT_EQ(Prj->Samples[2], (TPoint3D{971999999, Deg, 0})) << "the east edge stays east of the seam";
    EXPECT_EQ(Prj->Samples[4], LL(-180, -1));
    EXPECT_EQ(Prj->Samples[6], LL(-170, 1));

    Prj->Samples.clear();
    EXPECT_FALSE(Prj->IsExtentVisible(TExtent{170 * Deg, -Deg, 10 * Deg, 2 * Deg}, O, O->ClipCodeRef()))
        << "the eastern half alone lies off the surface";
    EXPECT_FALSE(O->HasState(osWrapsMeridian));
    EXPECT_EQ(Prj->Samples.size(), 4u);

    Prj->SetParameter(3, 175 * Deg);  // seen from 175 degrees east the extent no longer wraps
    Prj->IsExtentVisible(Wrapping, O, O->ClipCodeRef());
    EXPECT_FALSE(O->HasState(osWrapsMeridian));
}

TEST_F(PrjTest, SamplesThatAreNotPlacedNeverCountInTheBoundingBox) {
    // Mercator zoomed in on the equator: the extent 80..90 N is placed only up to 89 N, and
    // all its placed samples lie above the surface.
    auto* Prj = Use(new TMercatorPrj(&View));
    Prj->ApplyScaleFactor(Prj->ScaleFactor() * 10);
    std::fill(PointBuffer, PointBuffer + 200, TPixelPoint{75, 75});  // old positions mid-surface
    auto* O = Chain({});
    uint8_t& Code = O->ClipCodeRef();
    EXPECT_FALSE(Prj->IsExtentVisible(TExtent{-10 * Deg, 80 * Deg, 20 * Deg, 10 * Deg}, O, Code));
    EXPECT_EQ(Code, 4 | 64) << "the box of the placed samples only: wholly above";
    EXPECT_TRUE(O->HasState(osBackSide)) << "not every sample was placed";
    EXPECT_TRUE(O->HasState(osFrontSide));

    std::fill(PointBuffer, PointBuffer + 200, TPixelPoint{75, 75});
    EXPECT_FALSE(Prj->IsExtentVisible(TExtent{0, 89 * Deg + 1, Deg, Deg}, nullptr, Code)) << "nothing placed";
}

TEST_F(PrjTest, AChainWithinOnePixelGivesOneEntry) {
    auto* Prj = Use(new TCartesianPrj(&View));  // 150 / 1,944,000,000 pixels per unit
    const int32_t Pixel = 12960000;              // units per pixel
    auto* Near = Chain({LL(0, 0), TPoint3D{Pixel, Pixel, 0}, TPoint3D{-Pixel, 0, 0}, TPoint3D{0, -Pixel, 0}});
    EXPECT_EQ(Prj->ProjectChain(Near), 1);
    EXPECT_EQ(At(0), (TPixelPoint{75, 75}));

    auto* Far = Chain({LL(0, 0), TPoint3D{2 * Pixel, 0, 0}, LL(0, 95), TPoint3D{3 * Pixel, Pixel, 0}});
    int32_t Resume = 0;
    EXPECT_EQ(Prj->ProjectChain(Far, Resume), 2) << "the point beyond 90 N drops out, the last is a pixel away";
    EXPECT_EQ(Resume, -1);
    EXPECT_EQ(At(1), (TPixelPoint{77, 75}));
}

TEST_F(PrjTest, LongChainsComeInPiecesThatFitTheBuffer) {
    // A ring of 200,000 points a pixel and more apart.
    auto* Prj = Use(new TCartesianPrj(&View));
    Prj->ApplyScaleFactor(0.01L);
    auto* Ring = Chain({});
    constexpr int32_t Count = 200000;
    for (int32_t I = 0; I < Count; ++I) {
        const double A = 2 * M_PI * I / Count;
        Ring->AddPoint(TPoint3D{static_cast<int32_t>(std::lround(40 * Deg * std::cos(A))),
                                static_cast<int32_t>(std::lround(40 * Deg * std::sin(A))), 0});
    }
    // Passed over by the ranks, and placed by the block formula as a copy is.
    for (const bool Copy : {false, true}) {
        SCOPED_TRACE(Copy ? "as a copy" : "as a chain");
        Prj->SetPlacingCopies(Copy);
        int32_t Resume = 0, Pieces = 0, Total = 0;
        TPixelPoint LastOfPiece{};
        while (Resume >= 0) {
            const int32_t Start = Resume;
            const int32_t N = Prj->ProjectChain(Ring, Resume);
            ASSERT_LE(N, MaxChainEntries);
            if (Pieces > 0) {
                EXPECT_EQ(At(0), LastOfPiece) << "each piece starts where the last ended";
            }
            if (Resume >= 0) {
                EXPECT_GT(Resume, Start);
            }
            LastOfPiece = At(N - 1);
            Total += N;
            ++Pieces;
        }
        EXPECT_EQ(Pieces, 4);
        EXPECT_EQ(Total, Count + Pieces - 1);
    }
}

TEST_F(PrjTest, GraticuleLinesAndTheirRanges) {
    auto* Prj = Use(new TLineRecorder<TSphericalPrj>(&View));
    Prj->PaintGraticule();
    ASSERT_EQ(Prj->Lines.size(), 48u);  // LongitudeStep and LatitudeStep 15
    for (int I = 0; I < 24; ++I) {
        const TLine& M = Prj->Lines[I];
        EXPECT_EQ(M.From, TPoint3D(-180 * Deg + I * 15 * Deg, -89 * Deg, 0));
        EXPECT_EQ(M.To, TPoint3D(-180 * Deg + I * 15 * Deg, 89 * Deg, 0));
        EXPECT_EQ(M.Steps, 36);
    }
    for (int B = 0; B < 6; ++B) {
        const TLine* P = &Prj->Lines[24 + 4 * B];
        const int32_t Lat = B * 15 * Deg;
        EXPECT_EQ(P[0].From, TPoint3D(971999999, Lat, 0));
        EXPECT_EQ(P[1].To, TPoint3D(-971999999, Lat, 0));
        EXPECT_EQ(P[2].From, TPoint3D(971999999, -Lat, 0));
        EXPECT_EQ(P[3].From, TPoint3D(0, -Lat, 0));
        EXPECT_EQ(P[3].Steps, 72);
    }

    View.SetLongitudeStep(0);
    View.SetLatitudeStep(40);
    Prj->SetParallelSteps(1);
    Prj->Lines.clear();
    Prj->PaintGraticule();
    ASSERT_EQ(Prj->Lines.size(), 12u) << "no meridians; parallels at 0, 40 and 80 degrees";
    EXPECT_EQ(Prj->Lines[0].Steps, 2);
}

TEST_F(PrjTest, TheFlatOutlineRunsAroundTheExtents) {
    auto* Prj = Use(new TCartesianPrj(&View));
    Prj->SetParameter(3, 90 * Deg);
    Prj->PaintBackground();
    EXPECT_EQ(Prj->CentralMeridian(), 90 * Deg) << "restored after the outline";
    EXPECT_EQ(At(0), (TPixelPoint{0, 113})) << "south-west corner, drawn with central meridian 0";
    EXPECT_EQ(At(36), (TPixelPoint{150, 113})) << "south-east corner";
    EXPECT_EQ(At(54), (TPixelPoint{150, 37})) << "north-east corner";
    EXPECT_EQ(At(107), (TPixelPoint{0, 108})) << "last point, 10 degrees short of the south-west corner";
}
