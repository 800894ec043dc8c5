// The tour of pictures: every file it names is written, into a folder it makes, whatever the
// folder's name; each is a whole picture and not a blank one.
#include <QImage>
#include <algorithm>
#include <set>

#include "MainFixture.h"
#include "editor/Tour.h"

namespace {

// A window or dialog grabbed before it was drawn, or drawn blank, is one flat colour.
bool HasDetail(const QImage& Picture) {
    const QRgb First = Picture.pixel(0, 0);
    for (int Y = 0; Y < Picture.height(); ++Y)
        for (int X = 0; X < Picture.width(); ++X)
            if (Picture.pixel(X, Y) != First) return true;
    return false;
}

bool PlainName(const std::string& Name) {
    return std::all_of(Name.begin(), Name.end(), [](char C) {
        return (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '-' || C == '.';
    });
}

TEST_F(MainWindowTest, TourWritesEveryPictureItNamesIntoAFolderItMakes) {
    Open(SourceFile("data/world.lyr"));
    // Not there yet, and named in bytes the text conversion would turn into another name.
    const std::string Pictures = Folder() + "zo\xC3\xAB/Z\xC3\xBCrich";
    for (const std::string& Failure : RunTour(*Main, Pictures)) ADD_FAILURE() << Failure;

    const std::vector<std::string> Names = TourPictureNames();
    EXPECT_EQ(std::set<std::string>(Names.begin(), Names.end()).size(), Names.size()) << "a name taken twice";
    for (const char* Readme : {"main-window.png", "projection-sinusoidal.png", "inspector-presenter.png"})
        EXPECT_NE(std::find(Names.begin(), Names.end(), Readme), Names.end()) << "the README shows " << Readme;
    const QSize Window = Main->size() * Main->devicePixelRatio();
    for (const std::string& Name : Names) {
        SCOPED_TRACE(Name);
        EXPECT_TRUE(PlainName(Name));
        const QImage Picture(PathToQString(Pictures + "/" + Name), "PNG");
        ASSERT_FALSE(Picture.isNull()) << "missing or not a PNG";
        if (Name.rfind("dialog-", 0) == 0)
            EXPECT_FALSE(Picture.size().isEmpty());
        else
            EXPECT_EQ(Picture.size(), Window);
        EXPECT_TRUE(HasDetail(Picture));
    }
    EXPECT_TRUE(View().TextureBackground()) << "the texture chooser was answered with the earth picture";
}

TEST_F(MainWindowTest, TourReportsAFolderItCannotMake) {
    const std::string Blocker = Folder() + "file";
    ASSERT_TRUE(QFile(PathToQString(Blocker)).open(QIODevice::WriteOnly));
    EXPECT_FALSE(RunTour(*Main, Blocker + "/pictures").empty());
}

}  // namespace
