// Replacing a file whole: what the replaced file keeps. (Failures and cancels that must leave
// the old file are tested with the layer files and profiles that use it.)

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "platform/AtomicFile.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& File) {
    std::ifstream In(File, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

mode_t ModeOf(const std::string& File) {
    struct stat St {};
    return ::stat(File.c_str(), &St) == 0 ? St.st_mode & 07777 : 0;
}

bool Save(const std::string& Path, const std::string& Text) {
    TAtomicFile File(Path);
    return File.Write(Text.data(), Text.size()) && File.Commit();
}

TEST(AtomicFileTest, TheReplacedFileKeepsItsModeItsLinkAndItsName) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const std::string Root = Dir.path().toStdString() + "/";

    const std::string Private = Root + "private.ini";
    std::ofstream(Private) << "old";
    fs::permissions(Private, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(Save(Private, "new"));
    EXPECT_EQ(Slurp(Private), "new");
    EXPECT_EQ(ModeOf(Private), 0600u) << "not widened to a new file's mode";

    const mode_t Mask = ::umask(022);
    ASSERT_TRUE(Save(Root + "fresh.lyr", "x"));
    ::umask(Mask);
    EXPECT_EQ(ModeOf(Root + "fresh.lyr"), 0644u) << "not a temporary file's 0600";

    // Saving through a link replaces the file it names; the link stays a link.
    fs::create_directory(Root + "real");
    std::ofstream(Root + "real/target.prf") << "old";
    fs::create_symlink(Root + "real/target.prf", Root + "link.prf");
    ASSERT_TRUE(Save(Root + "link.prf", "new"));
    EXPECT_TRUE(fs::is_symlink(Root + "link.prf"));
    EXPECT_EQ(Slurp(Root + "real/target.prf"), "new");

    // Latin-1 bytes that are no UTF-8 name the file exactly.
    const std::string Latin1 = Root + "Z\xFCrich.lyr";
    ASSERT_TRUE(Save(Latin1, "bytes"));
    EXPECT_EQ(Slurp(Latin1), "bytes");
}

// A writer that takes only a name (GDAL refuses to overwrite; a printer picks nothing by the
// extension, GDAL may): the name must be free, beside the target, and end as the target does.
TEST(AtomicFileTest, AWriterByNameGetsAFreeNameAndTheTargetOnlyOnCommit) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const std::string Root = Dir.path().toStdString() + "/";
    const std::string Target = Root + "z\xC3\xAB" "e.gpkg";
    struct TRow {
        const char* Name;
        bool Writes, Commits;
        const char* After;  // the target's contents
        bool Committed;
    } const Rows[] = {
        {"written and committed", true, true, "new", true},
        {"written, not committed (a failure or a cancel)", true, false, "old", false},
        {"committed with nothing written", false, true, "old", false},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        std::ofstream(Target) << "old";
        fs::permissions(Target, fs::perms::owner_read | fs::perms::owner_write);
        std::string Temp;
        {
            TAtomicFile File(Target, TAtomicFile::TWriter::ByName);
            ASSERT_FALSE(File.Failed()) << File.Error();
            Temp = File.TempPath();
            EXPECT_FALSE(fs::exists(Temp)) << "left free for the writer";
            EXPECT_EQ(fs::path(Temp).parent_path(), fs::path(Target).parent_path());
            EXPECT_EQ(fs::path(Temp).extension(), ".gpkg");
            if (Row.Writes) std::ofstream(Temp) << "new";
            if (Row.Commits) {
                EXPECT_EQ(File.Commit(), Row.Committed);
            }
        }
        EXPECT_FALSE(fs::exists(Temp)) << "no temporary file is left behind";
        EXPECT_EQ(Slurp(Target), Row.After);
        EXPECT_EQ(ModeOf(Target), 0600u);
    }
}

}  // namespace
