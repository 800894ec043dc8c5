// Profiles: the working set of layers with their settings saved and opened again, the
// paths that name the layer files, layers that fail to load, and saves that fail.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "TestLocale.h"
#include "platform/FilePaths.h"
#include "platform/IniFile.h"
#include "platform/UiServices.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {

using Strings = std::vector<std::string>;

class ProfileTest : public ::testing::Test {
protected:
    ProfileTest() {
        for (const char* Layer : {"work/sub/a.lyr", "other/b.lyr", "work/c.lyr", "data/d.lyr"}) MakeLayerFile(Layer, 2);
    }

    // Dir/Name, its folder made.
    std::string Path(const std::string& Name) const {
        const QString P = Dir.filePath(QString::fromStdString(Name));
        QDir().mkpath(QFileInfo(P).path());
        return P.toStdString();
    }
    std::string Folder(const char* Name) const { return Dir.filePath(Name).toStdString(); }
    // A layer file of Objects two-point lines.
    void MakeLayerFile(const std::string& Name, int Objects) const { MakeLayerAt(Path(Name), Objects); }
    static void MakeLayerAt(const std::string& File, int Objects) {
        TOrvex3 V;
        TOrvexLayer* L = V.AddLayer("made");
        auto* P = TPolylinePresenter::Create(L);
        for (int I = 0; I < Objects; ++I) {
            auto* O = TGeoDataObject::Create(L, P, I + 1, "line");
            O->AddPoint(MakePoint(I * OrvexUnits::PerDegree, 0));
            O->AddPoint(MakePoint(I * OrvexUnits::PerDegree, OrvexUnits::PerDegree));
        }
        L->SaveToFile(File);
    }
    static std::string Slurp(const std::string& File) {
        std::ifstream In(File, std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }
    void Put(const std::string& Name, const std::string& Text) const {
        std::ofstream(Path(Name), std::ios::binary) << Text;
    }
    // The files the view's layers were loaded from, relative to Dir.
    static Strings LoadedFiles(TOrvex3& V, const QDir& Base) {
        Strings R;
        for (const TOrvexLayer* L : V.Layers())
            R.push_back(Base.relativeFilePath(QString::fromStdString(L->Directory() + L->Filename())).toStdString());
        return R;
    }
    Strings Messages() const {
        Strings R;
        for (const auto& M : Ui.Messages) R.push_back(M.Caption + ": " + M.Text);
        return R;
    }

    QTemporaryDir Dir;
    TScriptedUiServices Ui;
    TUiServicesScope Scope{Ui};
};

TEST_F(ProfileTest, SaveWritesTheSectionsAndLoadRestoresTheLayers) {
    MakeLayerFile("data/world.lyr", 3);
    MakeLayerFile("data/rivers.lyr", 2);
    const std::string Data = Folder("data");
    const std::string Profile = Path("maps.prf");
    {
        TOrvex3 V;
        V.SetDataDirectory(Data);
        V.AddLayer("")->SetFilename("world.lyr");
        TOrvexLayer* R = V.AddLayer("");
        R->SetFilename("rivers.lyr");
        R->SetName("Rivers");
        R->SetEnabled(false);
        R->SetVisible(false);
        R->SetAnimated(true);
        R->SetZoomUnits(Kilometer);
        R->SetZoomMin(100);
        R->SetZoomMax(5000);
        R->SetMaxFontHeight(12);
        V.AddLayer("scratch");  // no file: not listed
        V.SaveProfile(Profile);
        EXPECT_EQ(V.ProfileName(), Profile);
    }
    EXPECT_EQ(Slurp(Profile), "[Global Settings]\nDataDirectory=" + Data +
                                  "\n\n[world.lyr]\nName=world\n\n[LayerList]\n0=world.lyr\n1=rivers.lyr\n\n"
                                  "[rivers.lyr]\nName=Rivers\nEnabled=0\nVisible=0\nAnimated=1\nZoomUnits=KM\n"
                                  "ZoomMin=100\nZoomMax=5000\nMaxFontHeight=12\n");

    TOrvex3 V;
    V.SetProfileName(Profile);
    EXPECT_EQ(V.ProfileName(), Profile);
    EXPECT_EQ(V.DataDirectory(), Data + "/");
    EXPECT_EQ(LoadedFiles(V, QDir(Dir.path())), (Strings{"data/world.lyr", "data/rivers.lyr"}));
    ASSERT_EQ(V.LayerCount(), 2);
    const TOrvexLayer* W = V.GetLayer(0);
    const TOrvexLayer* R = V.GetLayer(1);
    EXPECT_EQ(W->Name(), "world");
    EXPECT_EQ(W->ObjectCount(), 3);
    EXPECT_TRUE(W->Visible() && W->Enabled() && !W->Animated());
    EXPECT_EQ(R->Name(), "Rivers");
    EXPECT_EQ(R->ObjectCount(), 2);
    EXPECT_FALSE(R->Enabled());
    EXPECT_FALSE(R->Visible());
    EXPECT_TRUE(R->Animated());
    EXPECT_EQ(R->ZoomUnits(), Kilometer);
    EXPECT_EQ(R->ZoomMin(), 100);
    EXPECT_EQ(R->ZoomMax(), 5000);
    EXPECT_EQ(R->MaxFontHeight(), 12);
    EXPECT_TRUE(Ui.Messages.empty()) << Messages()[0];

    // The open profile again: nothing is reloaded.
    V.SetProfileName(Profile);
    EXPECT_EQ(V.GetLayer(0), W);
    // The empty name clears the view and closes the profile.
    V.SetProfileName("");
    EXPECT_EQ(V.LayerCount(), 0);
    EXPECT_EQ(V.ProfileName(), "");
    EXPECT_EQ(V.Profile(), nullptr);
}

TEST_F(ProfileTest, LayerPathsAreWrittenSoThatTheyLoadAgain) {
    const struct {
        const char* Name;
        std::string DataDirectory;
        Strings Entries;
    } Rows[] = {
        // Bare names are looked up in the data directory; other files by their path from the
        // profile's folder, with "./" for one beside the profile.
        {"with a data directory", Folder("data"),
         {"sub/a.lyr", "../other/b.lyr", "./c.lyr", "d.lyr"}},
        // Without one, bare names are looked up beside the profile.
        {"without a data directory", "", {"sub/a.lyr", "../other/b.lyr", "c.lyr", "../data/d.lyr"}},
    };
    const std::string Profile = Path("work/p.prf");
    const Strings Files{"work/sub/a.lyr", "other/b.lyr", "work/c.lyr", "data/d.lyr"};
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        {
            TOrvex3 V;
            V.SetDataDirectory(R.DataDirectory);
            for (const std::string& F : Files) V.AddLayer("")->SetFilename(Path(F));
            V.SaveProfile(Profile);
            Strings Entries;
            for (int I = 0; I < 4; ++I) Entries.push_back(V.Profile()->ReadString("LayerList", std::to_string(I), ""));
            EXPECT_EQ(Entries, R.Entries);
        }
        TOrvex3 V;
        V.SetProfileName(Profile);
        EXPECT_EQ(LoadedFiles(V, QDir(Dir.path())), Files);
        EXPECT_TRUE(Ui.Messages.empty());
    }
}

TEST_F(ProfileTest, HandWrittenProfiles) {
    const std::string Abs = Path("other/b.lyr");
    const struct {
        const char* Name;
        std::string Text;
        Strings Loaded;
        Strings Messages;
        std::string DataDirectory = "/kept/";
    } Rows[] = {
        {"written on Windows", "[LayerList]\n0=sub\\a.lyr\n1=.\\c.lyr\n", {"work/sub/a.lyr", "work/c.lyr"}, {}},
        {"an absolute path", "[LayerList]\n0=" + Abs + "\n", {"other/b.lyr"}, {}},
        {"the list ends at a gap", "[LayerList]\n0=sub/a.lyr\n2=c.lyr\n", {"work/sub/a.lyr"}, {}},
        {"a missing layer is reported and skipped",
         "[LayerList]\n0=./missing.lyr\n1=sub/a.lyr\n",
         {"work/sub/a.lyr"},
         {"TOrvex3 Component: LoadFromFile: File " + Folder("work") + "/./missing.lyr not found"}},
        {"a bad setting is reported and skipped",
         "[LayerList]\n0=sub/a.lyr\n1=./c.lyr\n[c.lyr]\nZoomUnits=furlong\n",
         {"work/sub/a.lyr"},
         {"TOrvex3 Component: StrToUnits: Unknown Unit furlong"}},
        {"a data directory from Windows",
         "[Global Settings]\nDataDirectory=C:\\maps\n[LayerList]\n0=world.lyr\n",
         {},
         {"TOrvex3 Component: LoadFromFile: File C:/maps/world.lyr not found"},
         "C:\\maps\\"},
        {"no sections at all", "; nothing\n", {}, {}},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        Ui.Messages.clear();
        Put("work/p.prf", R.Text);
        TOrvex3 V;
        V.SetDataDirectory("/kept/");
        V.SetProfileName(Path("work/p.prf"));
        EXPECT_EQ(LoadedFiles(V, QDir(Dir.path())), R.Loaded);
        EXPECT_EQ(Messages(), R.Messages);
        for (const auto& M : Ui.Messages) EXPECT_EQ(M.Kind, mkWarning);
        EXPECT_EQ(V.DataDirectory(), R.DataDirectory);
        EXPECT_EQ(Ui.HourglassDepth, 0);
    }
}

TEST_F(ProfileTest, AFailedSaveLeavesTheOldProfileWhole) {
    const std::string Profile = Path("work/p.prf");
    TOrvex3 V;
    V.AddLayer("")->SetFilename(Path("work/c.lyr"));
    V.SaveProfile(Profile);
    const std::string Before = Slurp(Profile);
    for (int I = 0; I < 20; ++I) V.AddLayer("")->SetFilename(Path("other/b.lyr"));
    V.GetLayer(0)->SetName(std::string(300, 'n'));

    // A file size limit stands in for a full disk.
    rlimit Old{};
    getrlimit(RLIMIT_FSIZE, &Old);
    const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Old;
    Small.rlim_cur = Before.size() + 40;
    setrlimit(RLIMIT_FSIZE, &Small);
    std::string Error;
    try {
        V.SaveProfile(Profile);
    } catch (const EOrvexException& E) {
        Error = E.what();
    }
    setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);

    EXPECT_NE(Error.find(Profile), std::string::npos) << Error;
    EXPECT_EQ(Slurp(Profile), Before);
    EXPECT_EQ(QDir(Dir.filePath("work")).entryList(QDir::Files | QDir::Hidden).size(), 2) << "p.prf and c.lyr only";
}

// Folder and file names outside ASCII stay the file system's bytes from the layers into the
// profile and back, also in a profile written on Windows. The last name is Latin-1 bytes,
// which are no UTF-8: only bytes passed on untouched reach it.
TEST_F(ProfileTest, NamesOutsideAsciiAreWrittenAndReadAsTheirBytes) {
    const std::string Root = Dir.path().toStdString() + "/";
    for (const std::string N : {"zoë", "Москва", "東京", "Z\xFCrich"}) {
        SCOPED_TRACE(N);
        const std::string Folder = Root + N + "/";
        std::filesystem::create_directories(Folder + N);
        std::filesystem::create_directories(Root + "shared");
        const Strings Files{Folder + N + ".lyr", Folder + N + "/" + N + ".lyr", Root + "shared/" + N + ".lyr"};
        for (const std::string& F : Files) MakeLayerAt(F, 1);
        const std::string Profile = Folder + N + ".prf";
        const auto Loaded = [&] {
            TOrvex3 V;
            V.SetProfileName(Profile);
            Strings R;
            for (const TOrvexLayer* L : V.Layers())
                R.push_back(std::filesystem::path(L->Directory() + L->Filename()).lexically_normal().string());
            return R;
        };
        {
            TOrvex3 V;
            for (const std::string& F : Files) V.AddLayer("")->SetFilename(F);
            V.SaveProfile(Profile);
            Strings Entries;
            for (int I = 0; I < 3; ++I) Entries.push_back(V.Profile()->ReadString("LayerList", std::to_string(I), ""));
            EXPECT_EQ(Entries, (Strings{N + ".lyr", N + "/" + N + ".lyr", "../shared/" + N + ".lyr"}));
        }
        EXPECT_EQ(Loaded(), Files);
        std::ofstream(Profile, std::ios::binary)
            << "[LayerList]\r\n0=" << N << ".lyr\r\n1=" << N << "\\" << N << ".lyr\r\n2=..\\shared\\" << N << ".lyr\r\n";
        EXPECT_EQ(Loaded(), Files) << "written on Windows";
        EXPECT_EQ(Messages(), Strings{});
    }
}

TEST_F(ProfileTest, ANameWithoutAFolderMeansTheProgramsFolder) {
    TOrvex3 V;
    V.SetProfileName("orvex-test-no-such-profile.prf");
    EXPECT_EQ(V.ProfileName(), ProgramDirectory() + "orvex-test-no-such-profile.prf");
    EXPECT_EQ(V.LayerCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(V.ProfileName()))) << "opening writes nothing";
    EXPECT_THROW(V.SaveProfile(""), EOrvexException);
}

// A profile is text for other programs too: in a locale that writes ',' before decimals it is
// saved as the same bytes, and its numbers (negative, beyond 16 bits) read back the same.
class ProfileInCommaLocale : public ProfileTest, public ::testing::WithParamInterface<const char*> {
protected:
    std::string SaveProfile(const std::string& Name) const {
        TOrvex3 V;
        TOrvexLayer* R = V.AddLayer("");
        R->SetFilename(Path("data/d.lyr"));
        R->SetZoomUnits(Kilometer);
        R->SetZoomMin(-12345);
        R->SetZoomMax(1500000);
        R->SetMaxFontHeight(9);
        V.SetAntialiasing(true);
        V.SaveProfile(Path(Name));
        return Slurp(Path(Name));
    }
};

TEST_P(ProfileInCommaLocale, SavesTheSameTextAndReadsItBack) {
    const std::string InC = SaveProfile("c.prf");
    ENTER_TEST_LOCALE(GetParam());
    EXPECT_EQ(SaveProfile("comma.prf"), InC);
    TOrvex3 V;
    V.SetProfileName(Path("comma.prf"));
    ASSERT_EQ(V.LayerCount(), 1);
    const TOrvexLayer* R = V.GetLayer(0);
    EXPECT_TRUE(V.Antialiasing());
    EXPECT_EQ(R->ZoomUnits(), Kilometer);
    EXPECT_EQ(R->ZoomMin(), -12345);
    EXPECT_EQ(R->ZoomMax(), 1500000);
    EXPECT_EQ(R->MaxFontHeight(), 9);
    EXPECT_EQ(R->ObjectCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Locales, ProfileInCommaLocale, ::testing::ValuesIn(kCommaLocales), LocaleTestName);

}  // namespace
