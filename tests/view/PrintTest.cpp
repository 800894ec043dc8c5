// Printing and rendering onto other paint devices.

#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>

#include "RenderFixtures.h"
#include "foundation/OrvexExceptions.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/SphericalPrj.h"

namespace {

// Counts what the pipeline asks for; draws as usual.
class TProbeView : public TOrvex3 {
public:
    void DrawBackground() override {
        ++Backgrounds;
        TOrvex3::DrawBackground();
    }
    int Backgrounds = 0;
};

class TProbeSphere : public TSphericalPrj {
public:
    using TSphericalPrj::TSphericalPrj;
    void PaintBackground() override {
        ++Discs;
        TSphericalPrj::PaintBackground();
    }
    int Discs = 0;
};

class PrintTest : public ::testing::Test {
protected:
    PrintTest() {
        View.SetSurfaceSize(300, 200);
        Sphere = new TProbeSphere(&View);
        View.SetProjectionModel(Sphere);
        View.SetDrawGrid(dgNone);
        Layer = View.AddLayer("print");
        auto* P = TPolygonPresenter::Create(Layer);
        P->PolygonBrush()->SetBrushColor(Blue);
        for (int I = 0; I < 200; ++I) {
            auto* O = TGeoDataObject::Create(Layer, P, I, "");
            const int Lon = -90 + (I % 20) * 9, Lat = -60 + (I / 20) * 12;
            for (const TPoint3D& Q : {LL(Lon, Lat), LL(Lon + 5, Lat), LL(Lon + 5, Lat + 6), LL(Lon, Lat + 6)})
                O->AddPoint(Q);
        }
        Pdf = Dir.filePath("print.pdf");
    }

    // Size of a PDF file that begins like one, or -1.
    static qint64 PdfSize(const QString& Name) {
        QFile F(Name);
        if (!F.open(QIODevice::ReadOnly)) return -1;
        return F.read(5) == "%PDF-" ? F.size() : -1;
    }

    TProbeView View;
    TProbeSphere* Sphere;
    TOrvexLayer* Layer;
    QTemporaryDir Dir;
    QString Pdf;
};

TEST_F(PrintTest, PrintWritesAPdfWithoutBackgroundOrDisc) {
    View.Render();
    ASSERT_EQ(View.Backgrounds, 1);
    ASSERT_EQ(Sphere->Discs, 1);
    const long double Scale = View.GetScaleFactor();
    const TPixelPoint Origin = View.GetOrigin();
    int Renders = 0, Paints = 0;
    View.OnRender = [&](TOrvex3*) { ++Renders; };
    View.OnPaint = [&](TOrvex3* V) {
        ++Paints;
        EXPECT_TRUE(V->Printing());
    };

    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Pdf);
    View.Print(Printer);

    EXPECT_GT(PdfSize(Pdf), 1000);
    EXPECT_EQ(Printer.docName(), "TOrvex3 Print");
    EXPECT_EQ(View.Backgrounds, 1);
    EXPECT_EQ(Sphere->Discs, 1);
    // The animated pass fires both events once.
    EXPECT_EQ(Renders, 1);
    EXPECT_EQ(Paints, 1);
    // The view is back on its own surface.
    EXPECT_FALSE(View.Printing());
    EXPECT_EQ(View.Canvas()->Width(), 300);
    EXPECT_EQ(View.Canvas()->Height(), 200);
    EXPECT_EQ(View.Canvas()->PixelsPerInch(), TOrvex3::ScreenPixelsPerInch());
    EXPECT_NEAR(static_cast<double>(View.GetScaleFactor() / Scale), 1.0, 1e-9);
    EXPECT_NEAR(View.GetOrigin().X, Origin.X, 1);
    EXPECT_NEAR(View.GetOrigin().Y, Origin.Y, 1);
    EXPECT_TRUE(View.RedrawPending);
}

TEST_F(PrintTest, PrintedLayersReachThePage) {
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Pdf);
    View.Print(Printer);
    const qint64 Full = PdfSize(Pdf);

    Layer->SetVisible(false);
    const QString Empty = Dir.filePath("empty.pdf");
    QPrinter Blank(QPrinter::HighResolution);
    Blank.setOutputFormat(QPrinter::PdfFormat);
    Blank.setOutputFileName(Empty);
    View.Print(Blank);
    EXPECT_GT(PdfSize(Empty), 0);
    EXPECT_GT(Full, PdfSize(Empty) + 1000);
}

// A globe printed on a page of another shape used to be cut at the page's right edge, and
// the sea was never printed. Fitted, the whole view lands on the page keeping its shape; the
// background colour and the map's fill are printed when asked for; unfitted and without
// background, printing is as before.
TEST_F(PrintTest, FittedPrintsHoldTheWholeGlobeAndTheSeaWhenAsked) {
    const QString Rasteriser = QStandardPaths::findExecutable("pdftoppm");
    if (Rasteriser.isEmpty()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    View.SetOrvexColor(Teal);
    View.ZoomToScale(0);
    const struct {
        const char* Name;
        bool Fit, Background;
        bool SeaShown, Whole;
    } Cases[] = {
        {"fitted with the background", true, true, true, true},
        {"as before, with the background", false, true, true, false},
        {"as before", false, false, false, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const QString Name = Dir.filePath(QString("page-%1%2.pdf").arg(C.Fit).arg(C.Background));
        {
            QPrinter Printer(QPrinter::HighResolution);
            Printer.setOutputFormat(QPrinter::PdfFormat);
            Printer.setOutputFileName(Name);
            Printer.setPageOrientation(QPageLayout::Portrait);
            View.Print(Printer, TOrvex3::TPrintOptions{C.Fit, C.Background});
        }
        const QString Png = Dir.filePath("page");
        ASSERT_EQ(QProcess::execute(Rasteriser, {"-r", "30", "-png", "-singlefile", Name, Png}), 0);
        const QImage Page(Png + ".png");
        ASSERT_FALSE(Page.isNull());
        // The sea's bounding box, in page pixels.
        int Left = Page.width(), Right = -1, Top = Page.height(), Bottom = -1;
        for (int Y = 0; Y < Page.height(); ++Y)
            for (int X = 0; X < Page.width(); ++X) {
                const QRgb P = Page.pixel(X, Y);
                if (std::abs(qRed(P)) > 8 || std::abs(qGreen(P) - 128) > 8 || std::abs(qBlue(P) - 128) > 8) continue;
                Left = std::min(Left, X);
                Right = std::max(Right, X);
                Top = std::min(Top, Y);
                Bottom = std::max(Bottom, Y);
            }
        ASSERT_EQ(Right >= 0, C.SeaShown);
        if (!C.SeaShown) continue;
        const double Width = Right - Left + 1, Height = Bottom - Top + 1;
        if (C.Whole) {
            EXPECT_NEAR(Width / Height, 1.0, 0.05) << "a round globe, not a cut one";
            EXPECT_LT(Right, Page.width() - 5);
            EXPECT_GT(Width, Page.width() * 0.6) << "scaled to the page";
        } else {
            EXPECT_LT(Width / Height, 0.9) << "cut at the page's right edge";
        }
    }
}

// While printing each layer first lets pending messages through: a handler that deletes
// layers there leaves the print whole, with the layers that are left.
TEST_F(PrintTest, MessagesThatDeleteLayersWhilePrinting) {
    struct TRow {
        const char* Name;
        int AtCall;  // 1: before "print", 2: before "second", 3: before "third"
        std::function<void(TOrvex3&)> Action;
        std::vector<std::string> Printed;
    };
    auto Named = [](TOrvex3& V, const char* Name) {
        for (TOrvexLayer* L : V.Layers())
            if (L->Name() == Name) return L;
        return static_cast<TOrvexLayer*>(nullptr);
    };
    const std::vector<TRow> Rows{
        {"the layer about to print", 2, [&](TOrvex3& V) { Named(V, "second")->Delete(); }, {"print", "third"}},
        {"a later layer", 1, [&](TOrvex3& V) { Named(V, "third")->Delete(); }, {"print", "second"}},
        {"a printed layer", 3, [&](TOrvex3& V) { Named(V, "print")->Delete(); }, {"print", "second", "third"}},
        {"every layer", 1, [](TOrvex3& V) { V.Clear(); }, {}},
    };
    struct TFresh : PrintTest {
        void TestBody() override {}
        using PrintTest::Pdf;
        using PrintTest::View;
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TFresh T;
        for (const char* Name : {"second", "third"}) {
            TOrvexLayer* L = T.View.AddLayer(Name);
            auto* O = TGeoDataObject::Create(L, TPolygonPresenter::Create(L), 0, "");
            for (const TPoint3D& Q : {LL(0, 0), LL(5, 0), LL(5, 5)}) O->AddPoint(Q);
        }
        std::vector<std::string> Printed;
        T.View.OnRenderObject = [&](TOrvex3*, TOrvexObject* O, bool&) {
            if (Printed.empty() || Printed.back() != O->Layer()->Name()) Printed.push_back(O->Layer()->Name());
        };
        TScriptedUiServices Ui;
        TUiServicesScope Scope(Ui);
        Ui.OnProcessMessages = [&] {
            if (Ui.ProcessMessagesCount == Row.AtCall) Row.Action(T.View);
        };
        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(T.Pdf);
        T.View.Print(Printer);
        EXPECT_EQ(Printed, Row.Printed);
        EXPECT_GT(PdfSize(T.Pdf), 0);
        EXPECT_FALSE(T.View.Printing());
    }
}

TEST_F(PrintTest, PrintRectTakesLeftTopRightBottom) {
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Pdf);
    int32_t Width = 0, Height = 0;
    View.OnPaint = [&](TOrvex3* V) {
        Width = V->Canvas()->Width();
        Height = V->Canvas()->Height();
    };
    View.PrintRect(Printer, TOrvexRect{100, 200, 1300, 1100});
    EXPECT_EQ(Width, 1200);
    EXPECT_EQ(Height, 900);
    EXPECT_GT(PdfSize(Pdf), 1000);
    EXPECT_EQ(View.Canvas()->Width(), 300);
}

TEST_F(PrintTest, RenderToDeviceWritesAPdf) {
    QPdfWriter Writer(Pdf);
    View.RenderToDevice(&Writer);
    EXPECT_GT(PdfSize(Pdf), 1000);
    EXPECT_EQ(View.Backgrounds, 1);
    EXPECT_EQ(Sphere->Discs, 1);
}

// A device that cannot be opened used to pass for drawn: the caller then reported a file
// that was never written.
TEST_F(PrintTest, RenderToDeviceRaisesForADeviceItCannotDrawOn) {
    const std::string Missing = PathFromQString(Dir.filePath("missing/map.pdf"));
    QPdfWriter Writer(Dir.filePath("missing/map.pdf"));
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Dir.filePath("missing/print.pdf"));
    QImage Null;
    const struct {
        const char* Name;
        QPaintDevice* Device;
        std::string Given;
        std::string Named;
    } Rows[] = {
        {"a PDF writer into a missing folder", &Writer, Missing, "'" + Missing + "'"},
        {"a printer into a missing folder", &Printer, "", "'" + PathFromQString(Dir.filePath("missing/print.pdf")) + "'"},
        {"an image without pixels", &Null, "", "an image of 0 x 0 pixels"},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        try {
            View.RenderToDevice(Row.Device, Row.Given);
            ADD_FAILURE() << "no error";
        } catch (const EOrvexException& E) {
            EXPECT_NE(std::string(E.what()).find(Row.Named), std::string::npos) << E.what();
        }
        EXPECT_FALSE(View.Canvas()->IsRedirected());
    }
    EXPECT_FALSE(QFile::exists(Dir.filePath("missing")));
    EXPECT_THROW(View.RenderToDevice(nullptr), EOrvexException);
}

TEST_F(PrintTest, RenderToDeviceScalesTheSurfaceToTheDevice) {
    View.SetColor(Navy);
    View.SetOrvexColor(Teal);
    View.Render();
    const QImage Small = View.Canvas()->Image().copy();
    QImage Big(600, 400, QImage::Format_RGB32);
    Big.fill(Qt::white);
    View.RenderToDevice(&Big);
    int Differ = 0;
    for (int Y = 0; Y < 200; Y += 3)
        for (int X = 0; X < 300; X += 3) {
            const TColor S = PixelOf(Small, X, Y);
            // Compare the inside of solid areas only: outlines land on other pixels.
            bool Solid = true;
            for (int DY = -2; DY <= 2; ++DY)
                for (int DX = -2; DX <= 2; ++DX)
                    Solid = Solid && PixelOf(Small, std::clamp(X + DX, 0, 299), std::clamp(Y + DY, 0, 199)) == S;
            if (!Solid) continue;
            Differ += PixelOf(Big, 2 * X + 1, 2 * Y + 1) != S;
        }
    EXPECT_EQ(Differ, 0);
    EXPECT_EQ(PixelOf(Big, 2, 2), Navy);
    EXPECT_EQ(PixelOf(Big, 300, 200), PixelOf(Small, 150, 100));
}

}  // namespace
