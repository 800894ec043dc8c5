#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/resource.h>

#include "foundation/OrvexExceptions.h"
#include "platform/IniFile.h"

namespace {

class IniFile : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    std::string Path(const char* Name = "test.ini") const { return Dir.filePath(Name).toStdString(); }

    static std::string Slurp(const std::string& File) {
        std::ifstream In(File, std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }
    static void Put(const std::string& File, const std::string& Text) {
        std::ofstream(File, std::ios::binary) << Text;
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> R;
        for (const QString& F : QDir(Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            R.push_back(F.toStdString());
        return R;
    }
};

using TStrings = std::vector<std::string>;

}  // namespace

TEST_F(IniFile, MissingFileIsEmptyAndReadingCreatesNothing) {
    TIniFile Ini(Path());
    EXPECT_EQ(Ini.FileName(), Path());
    EXPECT_EQ(Ini.ReadString("A", "k", "dflt"), "dflt");
    EXPECT_EQ(Ini.ReadInteger("A", "k", 7), 7);
    EXPECT_TRUE(Ini.ReadBool("A", "k", true));
    EXPECT_FALSE(Ini.SectionExists("A"));
    EXPECT_TRUE(Ini.ReadSections().empty());
    EXPECT_TRUE(Ini.ReadSection("A").empty());
    Ini.EraseSection("A");
    Ini.DeleteKey("A", "k");
    EXPECT_TRUE(Files().empty());
}

TEST_F(IniFile, WritesSaveAtOnceInFileOrder) {
    TIniFile Ini(Path());
    Ini.WriteString("Global Settings", "DataDirectory", "C:\\data\\");
    Ini.WriteString("LayerList", "0", "world.lyr");
    Ini.WriteString("LayerList", "1", "rivers.lyr");
    Ini.WriteInteger("world.lyr", "ZoomMax", -250);
    Ini.WriteBool("world.lyr", "Visible", false);
    Ini.WriteBool("world.lyr", "Animated", true);
    Ini.WriteString("Global Settings", "Extra", "  padded  ");  // appended to its section
    EXPECT_EQ(Slurp(Path()),
              "[Global Settings]\nDataDirectory=C:\\data\\\nExtra=padded\n"
              "\n[LayerList]\n0=world.lyr\n1=rivers.lyr\n"
              "\n[world.lyr]\nZoomMax=-250\nVisible=0\nAnimated=1\n");
    EXPECT_EQ(Files(), TStrings{"test.ini"});  // no temporary left behind

    TIniFile Again(Path());
    EXPECT_EQ(Again.ReadString("Global Settings", "DataDirectory", ""), "C:\\data\\");
    EXPECT_EQ(Again.ReadInteger("world.lyr", "ZoomMax", 0), -250);
    EXPECT_FALSE(Again.ReadBool("world.lyr", "Visible", true));
    EXPECT_TRUE(Again.ReadBool("world.lyr", "Animated", false));
    EXPECT_EQ(Again.ReadSections(), (TStrings{"Global Settings", "LayerList", "world.lyr"}));
    EXPECT_EQ(Again.ReadSection("layerlist"), (TStrings{"0", "1"}));

    // Overwriting keeps the key's place and spelling.
    Again.WriteString("LAYERLIST", "0", "lakes.lyr");
    EXPECT_EQ(TIniFile(Path()).ReadSection("LayerList"), (TStrings{"0", "1"}));
    EXPECT_EQ(TIniFile(Path()).ReadString("LayerList", "0", ""), "lakes.lyr");
    Again.WriteString("world.lyr", "VISIBLE", "1");
    EXPECT_NE(Slurp(Path()).find("\nVisible=1\n"), std::string::npos);
}

TEST_F(IniFile, SectionsAndKeysIgnoreCase) {
    TIniFile Ini(Path());
    Ini.WriteString("Global Settings", "DataDirectory", "x");
    EXPECT_EQ(Ini.ReadString("GLOBAL settings", "datadirectory", ""), "x");
    EXPECT_TRUE(Ini.SectionExists("global SETTINGS"));
    EXPECT_TRUE(Ini.ValueExists("Global Settings", "DATADIRECTORY"));
    EXPECT_FALSE(Ini.ValueExists("Global Settings", "DataDir"));
    EXPECT_FALSE(Ini.SectionExists("Global"));
    Ini.WriteString("global settings", "datadirectory", "y");
    EXPECT_EQ(Ini.ReadSections(), TStrings{"Global Settings"});
    EXPECT_EQ(Ini.ReadSection("Global Settings"), TStrings{"DataDirectory"});
    EXPECT_EQ(Ini.ReadString("Global Settings", "DataDirectory", ""), "y");
}

TEST_F(IniFile, EraseSectionAndDeleteKey) {
    TIniFile Ini(Path());
    Ini.WriteString("A", "k", "1");
    Ini.WriteString("B", "k", "2");
    Ini.WriteString("B", "j", "3");
    Ini.WriteString("C", "k", "4");
    Ini.EraseSection("b");
    EXPECT_FALSE(Ini.SectionExists("B"));
    EXPECT_EQ(Slurp(Path()), "[A]\nk=1\n\n[C]\nk=4\n");
    Ini.WriteString("B", "k", "5");  // comes back at the end
    EXPECT_EQ(Ini.ReadSections(), (TStrings{"A", "C", "B"}));
    EXPECT_FALSE(Ini.ValueExists("B", "j"));
    Ini.DeleteKey("a", "K");
    EXPECT_TRUE(Ini.SectionExists("A"));  // an emptied section stays
    EXPECT_EQ(TIniFile(Path()).ReadString("A", "k", "gone"), "gone");
}

TEST_F(IniFile, HandWrittenFiles) {
    Put(Path(),
        "\xEF\xBB\xBF; written by hand\r\n"
        "orphan=ignored\r\n"
        "[ Layer One ]\r\n"
        "  Name =  World map  \r\n"
        "\r\n"
        "; a comment\r\n"
        "not a pair\r\n"
        "name=second wins not\r\n"
        "Path=C:\\maps\\world.lyr\n"
        "Empty=\n"
        "Eq=a=b\n"
        "[Next]\n"
        "k=v");  // no final line break
    TIniFile Ini(Path());
    EXPECT_EQ(Ini.ReadSections(), (TStrings{"Layer One", "Next"}));
    EXPECT_EQ(Ini.ReadString("Layer One", "Name", ""), "World map");  // first of duplicates
    EXPECT_EQ(Ini.ReadString("Layer One", "Path", ""), "C:\\maps\\world.lyr");
    EXPECT_EQ(Ini.ReadString("Layer One", "Empty", "d"), "");
    EXPECT_TRUE(Ini.ValueExists("Layer One", "Empty"));
    EXPECT_EQ(Ini.ReadString("Layer One", "Eq", ""), "a=b");
    EXPECT_EQ(Ini.ReadSection("Layer One"), (TStrings{"Name", "Path", "Empty", "Eq"}));
    EXPECT_FALSE(Ini.ValueExists("Layer One", "not a pair"));
    EXPECT_EQ(Ini.ReadString("Next", "k", ""), "v");
    EXPECT_FALSE(Ini.ValueExists("", "orphan"));

    // Rewriting keeps comments and order, drops the BOM and CRs.
    Ini.WriteString("Next", "k2", "v2");
    const std::string Text = Slurp(Path());
    EXPECT_EQ(Text.find('\r'), std::string::npos);
    EXPECT_EQ(Text.rfind("\xEF\xBB\xBF", 0), std::string::npos);
    EXPECT_EQ(Text.find("; written by hand\n"), 0u);
    EXPECT_NE(Text.find("; a comment\n"), std::string::npos);
    EXPECT_LT(Text.find("[Layer One]"), Text.find("[Next]"));
    EXPECT_NE(Text.find("k=v\nk2=v2\n"), std::string::npos);
}

TEST_F(IniFile, ValuesAreCutAt1023Characters) {
    TIniFile Ini(Path());
    const std::string Long(3000, 'x');
    Ini.WriteString("A", "k", Long);
    EXPECT_EQ(Ini.ReadString("A", "k", ""), std::string(1023, 'x'));
    EXPECT_EQ(TIniFile(Path()).ReadString("A", "k", ""), std::string(1023, 'x'));
    Ini.WriteString("A", "exact", std::string(1023, 'y'));
    EXPECT_EQ(Ini.ReadString("A", "exact", "").size(), 1023u);
    // A line break in a value cannot start a new entry.
    Ini.WriteString("A", "multi", "one\r\ntwo=2");
    TIniFile Again(Path());
    EXPECT_FALSE(Again.ValueExists("A", "two"));
    EXPECT_EQ(Again.ReadSection("A"), (TStrings{"k", "exact", "multi"}));
}

TEST_F(IniFile, IntegersAndBooleans) {
    Put(Path(),
        "[N]\ndec=42\nneg=-17\nhex=0x1F\nHEX=0XfF\nallbits=0xFFFFFFFF\nmax=2147483647\nmin=-2147483648\n"
        "over=2147483648\nhexover=0x100000000\njunk=12abc\nword=yes\nempty=\nspace= 5 \nzero=0\nbare=0x\n");
    TIniFile Ini(Path());
    EXPECT_EQ(Ini.ReadInteger("N", "dec", 0), 42);
    EXPECT_EQ(Ini.ReadInteger("N", "neg", 0), -17);
    EXPECT_EQ(Ini.ReadInteger("N", "hex", 0), 31);
    EXPECT_EQ(Ini.ReadInteger("N", "allbits", 0), -1);
    EXPECT_EQ(Ini.ReadInteger("N", "max", 0), 2147483647);
    EXPECT_EQ(Ini.ReadInteger("N", "min", 0), INT32_MIN);
    EXPECT_EQ(Ini.ReadInteger("N", "space", 0), 5);
    for (const char* Bad : {"over", "hexover", "junk", "word", "empty", "bare", "missing"})
        EXPECT_EQ(Ini.ReadInteger("N", Bad, -99), -99) << Bad;

    EXPECT_TRUE(Ini.ReadBool("N", "neg", false));
    EXPECT_TRUE(Ini.ReadBool("N", "hex", false));
    EXPECT_FALSE(Ini.ReadBool("N", "zero", true));
    EXPECT_TRUE(Ini.ReadBool("N", "word", true));
    EXPECT_FALSE(Ini.ReadBool("N", "word", false));
}

TEST_F(IniFile, FailedSaveRaisesAndChangesNothing) {
    // The target is a directory: the rename fails.
    QDir(Dir.path()).mkdir("taken.ini");
    TIniFile Ini(Path("taken.ini"));
    try {
        Ini.WriteString("A", "k", "v");
        FAIL() << "no exception";
    } catch (const EOrvexException& E) {
        EXPECT_NE(std::string(E.what()).find(Path("taken.ini")), std::string::npos) << E.what();
    }
    EXPECT_FALSE(Ini.SectionExists("A"));
    EXPECT_EQ(Files(), TStrings{"taken.ini"});

    // Its folder is missing.
    TIniFile Lost(Path("missing/x.ini"));
    EXPECT_THROW(Lost.WriteBool("A", "k", true), EOrvexException);
    EXPECT_FALSE(Lost.ValueExists("A", "k"));
    EXPECT_EQ(Files(), TStrings{"taken.ini"});
}

TEST_F(IniFile, FailedSaveLeavesTheOldFile) {
    TIniFile Ini(Path());
    Ini.WriteString("A", "k", "old");
    const std::string Before = Slurp(Path());

    // A file size limit stands in for a full disk.
    rlimit Old{};
    getrlimit(RLIMIT_FSIZE, &Old);
    const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Old;
    Small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &Small);
    bool Raised = false;
    try {
        Ini.WriteString("A", "k", std::string(500, 'n'));
    } catch (const EOrvexException& E) {
        Raised = std::string(E.what()).find(Path()) != std::string::npos;
    }
    setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);

    EXPECT_TRUE(Raised);
    EXPECT_EQ(Slurp(Path()), Before);
    EXPECT_EQ(Files(), TStrings{"test.ini"});
    EXPECT_EQ(Ini.ReadString("A", "k", ""), "old");
    Ini.WriteString("B", "k", "next");  // later writes work again
    EXPECT_EQ(TIniFile(Path()).ReadString("A", "k", ""), "old");
    EXPECT_EQ(TIniFile(Path()).ReadString("B", "k", ""), "next");
}

TEST_F(IniFile, HostileInput) {
    std::mt19937 Random(12345);
    std::string Junk(1 << 20, '\0');
    for (char& C : Junk) C = char(Random());
    Junk += "\n[Tail]\nk=v\n";
    Put(Path("junk.ini"), Junk);
    TIniFile J(Path("junk.ini"));
    EXPECT_EQ(J.ReadString("Tail", "k", ""), "v");
    J.WriteString("Tail", "k2", "v2");  // junk survives a rewrite without crashing
    EXPECT_EQ(TIniFile(Path("junk.ini")).ReadString("Tail", "k2", ""), "v2");

    // One huge line, and very many sections and keys.
    Put(Path("long.ini"), "[L]\nk=" + std::string(4 << 20, 'z') + "\n");
    EXPECT_EQ(TIniFile(Path("long.ini")).ReadString("L", "k", "").size(), 1023u);

    std::string Many;
    for (int i = 0; i < 50000; ++i) Many += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    for (int i = 0; i < 50000; ++i) Many += "key" + std::to_string(i) + "=x\n";
    Put(Path("many.ini"), Many);
    const auto Start = std::chrono::steady_clock::now();
    TIniFile M(Path("many.ini"));
    EXPECT_EQ(M.ReadSections().size(), 50000u);
    EXPECT_EQ(M.ReadSection("S49999").size(), 50001u);
    EXPECT_EQ(M.ReadInteger("s1234", "K", 0), 1234);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10));
}

TEST_F(IniFile, UpdatesReachTheFileInOneSave) {
    Put(Path(), "[A]\nk=old\n[B]\nj=1\n");
    const std::string Before = Slurp(Path());
    {
        TIniFile Ini(Path());
        TIniFile::TUpdate Update(Ini);
        Ini.EraseSection("A");
        Ini.WriteString("A", "k", "new");
        Ini.WriteInteger("C", "n", 7);
        EXPECT_EQ(Slurp(Path()), Before) << "nothing is written before the commit";
        EXPECT_EQ(Ini.ReadString("A", "k", ""), "new") << "reads see the changes";
        Update.Commit();
    }
    EXPECT_EQ(Slurp(Path()), "[B]\nj=1\n\n[A]\nk=new\n\n[C]\nn=7\n");

    // An update left without its commit (an exception on the way) changes nothing.
    TIniFile Ini(Path());
    const std::string Committed = Slurp(Path());
    {
        TIniFile::TUpdate Update(Ini);
        Ini.WriteString("B", "j", "2");
    }
    EXPECT_EQ(Ini.ReadString("B", "j", ""), "1");
    EXPECT_EQ(Slurp(Path()), Committed);

    // A save that fails at the commit leaves the whole previous file, and the profile in
    // memory as it was.
    rlimit Old{};
    getrlimit(RLIMIT_FSIZE, &Old);
    const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Old;
    Small.rlim_cur = 40;
    bool Raised = false;
    {
        TIniFile::TUpdate Update(Ini);
        Ini.EraseSection("B");
        Ini.WriteString("D", "long", std::string(200, 'x'));
        setrlimit(RLIMIT_FSIZE, &Small);
        try {
            Update.Commit();
        } catch (const EOrvexException& E) {
            Raised = std::string(E.what()).find(Path()) != std::string::npos;
        }
        setrlimit(RLIMIT_FSIZE, &Old);
    }
    std::signal(SIGXFSZ, OldHandler);
    EXPECT_TRUE(Raised);
    EXPECT_EQ(Slurp(Path()), Committed);
    EXPECT_EQ(Ini.ReadString("B", "j", ""), "1");
    EXPECT_FALSE(Ini.SectionExists("D"));
    EXPECT_EQ(Files(), TStrings{"test.ini"});
}
