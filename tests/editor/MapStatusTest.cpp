// The status bar's map fields: places in both styles, the scale, great-circle lengths across
// the date line and over the poles, and the fields following a real view.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <filesystem>
#include <fstream>
#include <functional>
#include <QPainter>

#include "MainFixture.h"
#include "editor/MapStatus.h"
#include "editor/RecentFiles.h"
#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"

namespace {

constexpr int64_t kDeg = 5400000, kSec = 1500;

TPoint3D At(int64_t Lon, int64_t Lat) { return TPoint3D{int32_t(Lon), int32_t(Lat), 0}; }

TEST(MapStatusTest, PlacesInBothStyles) {
    const struct {
        const char* Name;
        TPoint3D Place;
        const char* Dms;
        const char* Decimal;
    } Rows[] = {
        {"Paris", At(2 * kDeg + 21 * 90000 + 8 * kSec, 48 * kDeg + 51 * 90000 + 24 * kSec), "48°51'24\"N 2°21'08\"E", "48.85667, 2.35222"},
        {"south and west", At(-(43 * kDeg + 12 * 90000), -(22 * kDeg + 54 * 90000)), "22°54'00\"S 43°12'00\"W", "-22.90000, -43.20000"},
        // 59.6 seconds round up to the next minute, never to 60".
        {"rounding carries", At(10 * kDeg + 59 * 90000 + 59 * kSec + 900, 0), "0°00'00\"N 11°00'00\"E", "0.00000, 10.99989"},
        {"past 180 east wraps west", At(181 * kDeg, 0), "0°00'00\"N 179°00'00\"W", "0.00000, -179.00000"},
        {"the pole", At(0, 90 * kDeg), "90°00'00\"N 0°00'00\"E", "90.00000, 0.00000"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_EQ(FormatPlace(R.Place, TCoordinateStyle::Dms), R.Dms);
        EXPECT_EQ(FormatPlace(R.Place, TCoordinateStyle::Decimal), R.Decimal);
    }
}

TEST(MapStatusTest, ScaleAtTheScreensResolution) {
    // One metre of ground per 0.264583 mm pixel (96 per inch) is 1 : 3 780.
    const long double OneMetrePerPixel = 1852.0L / 90000.0L;
    const struct {
        const char* Name;
        long double ScaleFactor;
        int32_t Ppi;
        const char* Text;
    } Rows[] = {
        {"a metre a pixel", OneMetrePerPixel, 96, "1 : 3 780"},
        {"a kilometre a pixel", OneMetrePerPixel / 1000, 96, "1 : 3 780 000"},
        {"finer screen, larger number", OneMetrePerPixel / 1000, 192, "1 : 7 560 000"},
        {"the whole globe in 1000 pixels", 1000.0L / (2.0L * EarthRadius), 96, "1 : 48 100 000"},
        {"no scale yet", 0, 96, ""},
        {"no resolution", OneMetrePerPixel, 0, ""},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_EQ(FormatScale(R.ScaleFactor, R.Ppi), R.Text);
    }
}

TEST(MapStatusTest, GreatCircleLengths) {
    const struct {
        const char* Name;
        TPoint3D From, To;
        double NauticalMiles;
    } Rows[] = {
        {"a degree of the equator is 60 miles", At(0, 0), At(kDeg, 0), 60},
        {"across the date line the short way", At(179 * kDeg + kDeg / 2, 0), At(-(179 * kDeg + kDeg / 2), 0), 60},
        {"pole to pole", At(0, 90 * kDeg), At(123 * kDeg, -90 * kDeg), 180 * 60},
        {"over the pole", At(0, 89 * kDeg), At(180 * kDeg, 89 * kDeg), 120},
        {"the same place", At(7 * kDeg, 7 * kDeg), At(7 * kDeg, 7 * kDeg), 0},
        {"antipodes", At(-45 * kDeg, 30 * kDeg), At(135 * kDeg, -30 * kDeg), 180 * 60},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_NEAR(GreatCircleNauticalMiles(R.From, R.To), R.NauticalMiles, 1e-6);
    }
}

TEST(MapStatusTest, LengthsAndPathsInKilometresAndMiles) {
    EXPECT_EQ(FormatLength(60), "111.1 km (60.0 nmi)");
    EXPECT_EQ(FormatLength(1), "1.85 km (1.00 nmi)");
    EXPECT_EQ(FormatLength(10800), "20002 km (10800 nmi)");

    TMeasurePath Path;
    EXPECT_EQ(Path.TotalNauticalMiles(), 0);
    Path.Add(At(0, 0));
    EXPECT_EQ(Path.LastLegNauticalMiles(), 0) << "one point has no leg";
    Path.Add(At(kDeg, 0));
    Path.Add(At(kDeg, 2 * kDeg));
    EXPECT_NEAR(Path.TotalNauticalMiles(), 180, 1e-6);
    EXPECT_NEAR(Path.LastLegNauticalMiles(), 120, 1e-6);
}

class MapStatusViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        View.resize(400, 300);
        View.SetSurfaceSize(400, 300);
        View.ZoomToScale(0);
    }
    TOrvex3 View;
    TMapStatus Status;
};

// Fields that followed their text moved their neighbours, and the bar cut the last one short.
TEST_F(MapStatusViewTest, FieldsHoldTheirLongestTextsWhateverTheyShow) {
    auto* Scale = Status.findChild<QLabel*>("ScaleField");
    auto* Projection = Status.findChild<QLabel*>("ProjectionField");
    ASSERT_TRUE(Scale && Projection);
    Status.ShowView(View);
    for (const TProjectionInfo& P : ProjectionRegistry())
        EXPECT_GE(Projection->minimumWidth(), Projection->fontMetrics().horizontalAdvance(QString::fromStdString(P.Name)))
            << P.Name;
    EXPECT_GE(Scale->minimumWidth(), Scale->fontMetrics().horizontalAdvance("1 : 100 000 000 000"));
}

TEST_F(MapStatusViewTest, FieldsFollowTheView) {
    const struct {
        const char* Name;
        TOrvexProjection Kind;
        QPoint Pixel;
        bool OnMap;
    } Rows[] = {
        {"globe centre", opSpherical, {200, 150}, true},
        {"beyond the globe's rim", opSpherical, {2, 2}, false},
        {"flat map centre", opCartesian, {200, 150}, true},
        {"below a flat map", opCartesian, {200, 299}, false},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        View.SetProjection(R.Kind);
        View.ZoomToScale(0);
        Status.ShowView(View);
        Status.ShowPointer(View, R.Pixel.x(), R.Pixel.y());
        TPoint3D Place{};
        ASSERT_EQ(View.PixelToLL(R.Pixel.x(), R.Pixel.y(), Place), R.OnMap);
        EXPECT_EQ(Status.PlaceText().toStdString(), R.OnMap ? FormatPlace(Place, Status.CoordinateStyle()) : "off the map");
        EXPECT_TRUE(Status.ScaleText().startsWith("1 : ")) << Status.ScaleText().toStdString();
        EXPECT_FALSE(Status.ProjectionText().isEmpty());
    }
    // Switching the style rewrites the place shown without a mouse move.
    View.SetProjection(opSpherical);
    View.ZoomToScale(0);
    Status.ShowPointer(View, 200, 150);
    Status.SetCoordinateStyle(TCoordinateStyle::Decimal);
    TPoint3D Place{};
    View.PixelToLL(200, 150, Place);
    EXPECT_EQ(Status.PlaceText().toStdString(), FormatPlace(Place, TCoordinateStyle::Decimal));
}

TEST_F(MapStatusViewTest, BandSizeAndMeasureOverlay) {
    View.SetProjection(opCartesian);
    View.ZoomToScale(0);
    // A band of a quarter of the flat world's width spans 90 degrees of the equator.
    TPoint3D Left{}, Right{};
    ASSERT_TRUE(View.PixelToLL(100, 150, Left) && View.PixelToLL(200, 150, Right));
    Status.ShowBand(View, QRect(QPoint(100, 140), QPoint(199, 160)));
    const double Km = GreatCircleNauticalMiles(Left, Right) * 1.852;
    EXPECT_TRUE(Status.MeasureText().startsWith(QString::number(Km, 'f', 0))) << Status.MeasureText().toStdString();
    Status.ClearMeasure();
    EXPECT_TRUE(Status.MeasureText().isEmpty());

    // The path is drawn over the map in red, and nothing is added to the view's layers.
    TMeasurePath Path;
    Path.Add(Left);
    Path.Add(Right);
    const int32_t Layers = View.LayerCount();
    TMeasureOverlay Overlay(View, Path);
    QImage Picture(View.size(), QImage::Format_ARGB32);
    Picture.fill(Qt::white);
    Overlay.render(&Picture);
    int Red = 0;
    for (int X = 100; X <= 200; ++X)
        for (int Y = 147; Y <= 153; ++Y)
            if (qRed(Picture.pixel(X, Y)) > 180 && qGreen(Picture.pixel(X, Y)) < 120) {
                ++Red;
                break;
            }
    EXPECT_GE(Red, 95) << "the leg runs along the equator between its ends";
    EXPECT_EQ(View.LayerCount(), Layers);
}

// The window: the fields follow the mouse over the map, measuring adds clicked places and
// ends by Esc or a right click without touching the layers, and the window remembers its
// geometry, splitter and coordinate style between runs.
TEST_F(MainWindowTest, StatusBarFieldsAndMeasuring) {
    QLabel* Place = Child<QLabel>("PlaceField");
    QLabel* Scale = Child<QLabel>("ScaleField");
    QLabel* Projection = Child<QLabel>("ProjectionField");
    QLabel* Measure = Child<QLabel>("MeasureField");
    Paint();
    const QPoint Centre = View().rect().center();
    QTest::mouseMove(&View(), Centre);
    TPoint3D Under{};
    ASSERT_TRUE(View().PixelToLL(Centre.x(), Centre.y(), Under));
    EXPECT_EQ(Place->text().toStdString(), FormatPlace(Under, TCoordinateStyle::Dms));
    QTest::mouseMove(&View(), QPoint(1, 1));
    EXPECT_EQ(Place->text(), "off the map") << "beyond the globe's rim";
    EXPECT_TRUE(Scale->text().startsWith("1 : ")) << Scale->text().toStdString();
    EXPECT_EQ(Projection->text(), Child<QComboBox>("cbProjection")->currentText());

    const int32_t Layers = View().LayerCount();
    const struct {
        const char* Name;
        std::function<void()> End;
    } Ends[] = {
        // Where the focus is after the clicks: the map passes the key on to the window.
        {"Esc", [&] { QTest::keyClick(&View(), Qt::Key_Escape); }},
        {"right click", [&] { QTest::mouseClick(&View(), Qt::RightButton, {}, Centre); }},
        {"the command again", [&] { Act("actMeasure")->trigger(); }},
    };
    for (const auto& E : Ends) {
        SCOPED_TRACE(E.Name);
        Act("actMeasure")->trigger();
        ASSERT_TRUE(Main->Measuring());
        EXPECT_TRUE(Child<QToolButton>("btnMeasure")->isChecked());
        QTest::mouseClick(&View(), Qt::LeftButton, {}, Centre);
        QTest::mouseClick(&View(), Qt::LeftButton, {}, Centre + QPoint(40, 0));
        EXPECT_TRUE(Measure->text().startsWith("Length ")) << Measure->text().toStdString();
        EXPECT_FALSE(Measure->text().startsWith("Length 0.00")) << "two places make a length";
        EXPECT_EQ(View().SelectedObject(), nullptr) << "clicks measure instead of selecting";
        E.End();
        EXPECT_FALSE(Main->Measuring());
        EXPECT_TRUE(Measure->text().isEmpty());
        EXPECT_EQ(View().LayerCount(), Layers);
    }
    EXPECT_EQ(View().MouseZoomButton, mzbRight) << "right drags zoom again after measuring";
}

TEST_F(MainWindowTest, WindowRemembersItsPlaceAndStyle) {
    // The first run uses most of the screen, at least 1024x700 where it fits.
    const QRect Free = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(Main->width(), std::min(Free.width(), std::max(1024, Free.width() * 4 / 5)));
    EXPECT_EQ(Main->height(), std::min(Free.height(), std::max(700, Free.height() * 4 / 5)));

    Act("actCoordinatesDecimal")->trigger();
    Main->resize(Main->width() - 40, Main->height() - 30);
    const QSize Size = Main->size();
    auto* Splitter = Child<QSplitter>("Splitter");
    Splitter->setSizes({Size.width() - 260, 250});
    const QList<int> Sizes = Splitter->sizes();
    // The last folder a file was chosen in is where the open dialogs start next time.
    const std::string Chosen = Folder() + "Z\xC3\xBCrich/";
    ASSERT_TRUE(QDir().mkpath(PathToQString(Chosen)));
    std::ofstream(Chosen + "a.lyr") << "x";
    Answer(Main->OpenDialog, {Chosen + "a.lyr"});
    Main->OpenDialog.Execute();
    Main->close();

    Open();
    EXPECT_EQ(Main->size(), Size);
    EXPECT_EQ(Child<QSplitter>("Splitter")->sizes(), Sizes);
    QTest::mouseMove(&View(), View().rect().center());
    EXPECT_FALSE(Child<QLabel>("PlaceField")->text().contains(QChar(0xb0))) << "decimal degrees stay chosen";
    EXPECT_EQ(Main->LastFolder(), Chosen.substr(0, Chosen.size() - 1) + "/");
    Main->ProgramFolder = Folder();
    std::filesystem::remove_all(Chosen);
    EXPECT_EQ(Main->LastFolder(), Folder()) << "a folder that is gone falls back to the program's";
}

}  // namespace
