// Smooth drawing: lines and polygon edges antialiased without seams between neighbouring
// polygons, kept by profiles; and pictures of the view written at any size.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <fstream>

#include "RenderFixtures.h"
#include "platform/IniFile.h"
#include "view/ExportImage.h"

namespace {

class SmoothDrawingTest : public RenderTest {
protected:
    SmoothDrawingTest() {
        FlatMap(360, 180);
        View.SetOrvexColor(White);
        L = View.AddLayer("smooth");
    }
    // Pixels of the picture that are none of Colours: the blends smooth drawing makes.
    static int Blended(const QImage& I, std::initializer_list<TColor> Colours) {
        int N = 0;
        for (int Y = 0; Y < I.height(); ++Y)
            for (int X = 0; X < I.width(); ++X) {
                const TColor C = PixelOf(I, X, Y);
                N += std::find(Colours.begin(), Colours.end(), C) == Colours.end();
            }
        return N;
    }
    TOrvexLayer* L;
};

TEST_F(SmoothDrawingTest, OffByDefaultAndSmoothWhenOn) {
    EXPECT_FALSE(View.Antialiasing());
    Chain(L, LineStyle(L, Black), {LL(-80, -70), LL(80, 40)});
    Chain(L, AreaStyle(L, Black, Navy), {LL(-100, 10), LL(-20, 80), LL(-60, 20), LL(-100, 10)});
    EXPECT_EQ(Blended(Picture(), {Navy, White, Black}), 0) << "the designed picture keeps to whole pixels";

    View.RedrawPending = false;
    View.SetAntialiasing(true);
    EXPECT_TRUE(View.RedrawPending) << "switching it draws again";
    const QImage Smooth = Picture().copy();
    EXPECT_GT(Blended(Smooth, {Navy, White, Black}), 100);
    // Still the same line: its pixels lie where the sharp line runs.
    const TPixelPoint A = At(LL(-80, -70)), B = At(LL(80, 40));
    for (int X = A.X + 5; X < B.X - 5; X += 7) {
        const int Y = A.Y + (B.Y - A.Y) * (X - A.X) / (B.X - A.X);
        int Darkest = 255;
        for (int DY = -2; DY <= 2; ++DY) Darkest = std::min(Darkest, qRed(Smooth.pixel(X, Y + DY)));
        EXPECT_LT(Darkest, 170) << "x " << X;
    }
}

// Two triangles make a square, split along its diagonal; the edge they share must not let
// the white map through anywhere along it, whatever their outline.
TEST_F(SmoothDrawingTest, NeighbouringPolygonsShowNoSeam) {
    View.SetAntialiasing(true);
    const struct {
        const char* Name;
        TColor Pen;  // clNone: no outline
    } Cases[] = {{"outline in the fill colour", Navy}, {"no outline", clNone}, {"black outline", Black}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        View.Clear();
        L = View.AddLayer("seam");
        TPolygonPresenter* P = AreaStyle(L, C.Pen == clNone ? Black : C.Pen, Navy);
        if (C.Pen == clNone) P->PolygonPen()->SetPenStyle(psClear);
        Chain(L, P, {LL(-70, -50), LL(50, -50), LL(50, 70), LL(-70, -50)});
        Chain(L, P, {LL(-70, -50), LL(50, 70), LL(-70, 70), LL(-70, -50)});
        const QImage& I = Picture();
        // From the south-west corner to the north-east one, 120 pixels each way.
        const TPixelPoint A = At(LL(-70, -50));
        for (int K = 6; K <= 114; ++K) {
            const int X = A.X + K, Y = A.Y - K;
            for (int D = -2; D <= 2; ++D) {
                const QRgb Px = I.pixel(X + D, Y);
                EXPECT_TRUE(qRed(Px) <= 2 && qGreen(Px) <= 2 && qBlue(Px) <= 130)
                    << "lighter than the fill at " << X + D << "," << Y << ": " << std::hex << Px;
            }
        }
    }
}

TEST_F(SmoothDrawingTest, ProfilesKeepTheSetting) {
    QTemporaryDir Dir;
    const std::string Prf = (Dir.path() + "/view.prf").toStdString();
    View.SetAntialiasing(true);
    View.SaveProfile(Prf);
    EXPECT_TRUE(TIniFile(Prf).ReadBool("Global Settings", "Antialiasing", false));

    TOrvex3 Other;
    Other.SetProfileName(Prf);
    EXPECT_TRUE(Other.Antialiasing());

    // Off, the key goes: the profile is as the designed one writes it.
    View.SetAntialiasing(false);
    View.SaveProfile(Prf);
    EXPECT_EQ(TIniFile(Prf).ReadString("Global Settings", "Antialiasing", "missing"), "missing");

    // A profile without the key is drawn sharp, whatever the view did before.
    const std::string Old = (Dir.path() + "/old.prf").toStdString();
    std::ofstream(Old) << "[Global Settings]\nDataDirectory=\n";
    TOrvex3 Third;
    Third.SetAntialiasing(true);
    Third.SetProfileName(Old);
    EXPECT_FALSE(Third.Antialiasing());
}

// The content streams of a PDF, inflated where they are compressed.
QByteArray PdfContent(const QByteArray& Pdf) {
    QByteArray All;
    for (qsizetype At = Pdf.indexOf("stream"); At >= 0; At = Pdf.indexOf("stream", At + 1)) {
        if (At >= 3 && Pdf.mid(At - 3, 3) == "end") continue;
        qsizetype Start = At + 6;
        if (Pdf[Start] == '\r') ++Start;
        if (Pdf[Start] == '\n') ++Start;
        const qsizetype End = Pdf.indexOf("endstream", Start);
        if (End < 0) break;
        const QByteArray Raw = Pdf.mid(Start, End - Start);
        const qsizetype Dict = Pdf.lastIndexOf("<<", At);
        if (Pdf.mid(Dict, At - Dict).contains("FlateDecode")) {
            // qUncompress wants the size first; a generous guess is enough.
            QByteArray Sized(4, '\0');
            qToBigEndian<quint32>(1u << 20, Sized.data());
            All += qUncompress(Sized + Raw);
        } else {
            All += Raw;
        }
        At = End;
    }
    return All;
}

class ExportPictureTest : public SmoothDrawingTest {
protected:
    ExportPictureTest() {
        View.SetColor(Navy);
        Chain(L, AreaStyle(L, Black, Red), {LL(0, 0), LL(40, 0), LL(40, 40), LL(0, 40), LL(0, 0)});
    }
    std::string File(const char* Name) const { return (Dir.path() + "/" + Name).toStdString(); }
    QTemporaryDir Dir;
};

TEST_F(ExportPictureTest, WritesEveryFormatAtAnySizeAndGivesTheViewBack) {
    const TViewRec Before = View.GetViewRec();
    const int32_t Altitude = View.Altitude();
    const struct {
        const char* Name;
        int32_t Width, Height;
        const char* Reader;  // null: a PDF
    } Cases[] = {{"same.png", 360, 180, "PNG"},  {"double.PNG", 720, 360, "PNG"}, {"photo.jpg", 540, 270, "JPG"},
                 {"photo.jpeg", 180, 90, "JPG"}, {"map.pdf", 720, 360, nullptr}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        ASSERT_TRUE(ExportPicture(View, File(C.Name), C.Width, C.Height));
        const TViewRec After = View.GetViewRec();
        EXPECT_EQ(After.ScaleFactor, Before.ScaleFactor);
        EXPECT_EQ(After.XOrigin, Before.XOrigin);
        EXPECT_EQ(After.YOrigin, Before.YOrigin);
        EXPECT_EQ(View.Altitude(), Altitude);
        EXPECT_EQ(View.Canvas()->Width(), 360);
        if (!C.Reader) continue;
        QImage I(QString::fromStdString(File(C.Name)), C.Reader);
        ASSERT_EQ(I.size(), QSize(C.Width, C.Height));
        // The same part of the map: the red square's middle, the white map, the navy margin.
        const double F = C.Width / 360.0;
        auto Near = [&](double X, double Y, TColor Want) {
            const QRgb P = I.pixel(int(X * F), int(Y * F));
            const uint32_t W = uint32_t(Want);
            return std::abs(qRed(P) - int(W & 0xFF)) < 24 && std::abs(qGreen(P) - int(W >> 8 & 0xFF)) < 24 &&
                   std::abs(qBlue(P) - int(W >> 16 & 0xFF)) < 24;
        };
        EXPECT_TRUE(Near(200, 70, Red));
        EXPECT_TRUE(Near(100, 120, White));
    }

    // The PDF draws the map as paths, not as a picture.
    QFile Pdf(QString::fromStdString(File("map.pdf")));
    ASSERT_TRUE(Pdf.open(QIODevice::ReadOnly));
    const QByteArray Bytes = Pdf.readAll();
    static const QRegularExpression ImageObject("/Subtype\\s*/Image\\b");
    EXPECT_FALSE(ImageObject.match(QString::fromLatin1(Bytes)).hasMatch());
    const QByteArray Content = PdfContent(Bytes);
    EXPECT_TRUE(Content.contains(" m\n")) << Content.left(400).toStdString();
    EXPECT_TRUE(Content.contains(" l\n"));

    // A background picture is a picture in the PDF too: the check above can see one.
    QImage Tile(8, 8, QImage::Format_RGB888);
    Tile.fill(Qt::gray);
    View.SetBackground(Tile);
    View.SetTransparentOrvex(true);
    ASSERT_TRUE(ExportPicture(View, File("map.pdf"), 720, 360));
    QFile Again(QString::fromStdString(File("map.pdf")));
    ASSERT_TRUE(Again.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ImageObject.match(QString::fromLatin1(Again.readAll())).hasMatch());
}

TEST_F(ExportPictureTest, RefusesWhatCannotBeWrittenAndKeepsTheOldFile) {
    const struct {
        std::string Path;
        int32_t Width, Height;
    } Raising[] = {{File("a.png"), 0, 10},     {File("a.png"), 10, -1}, {File("a.png"), 16385, 10},
                   {File("a.gif"), 100, 100}, {File("noext"), 100, 100}};
    for (const auto& C : Raising) {
        SCOPED_TRACE(C.Path + " " + std::to_string(C.Width) + "x" + std::to_string(C.Height));
        EXPECT_THROW(ExportPicture(View, C.Path, C.Width, C.Height), EOrvexException);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(C.Path)));
    }
    EXPECT_EQ(PictureSizeProblem(16384, 16384), "");
    EXPECT_NE(PictureSizeProblem(int64_t(1) << 40, 5).find("too large"), std::string::npos);

    EXPECT_FALSE(ExportPicture(View, File("missing/dir/a.png"), 100, 50));
    // A folder where the file should be: nothing can be written, nothing is lost.
    QDir(Dir.path()).mkpath("taken.png");
    EXPECT_FALSE(ExportPicture(View, File("taken.png"), 100, 50));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(File("taken.png"))).isDir());
}

}  // namespace
