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

}  // namespace
