#include "CliRunner.h"
#include "cli/OrvexCli.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {


TEST(OrvexCli, VersionPrintsProgramNameAndBuildVersion) {
    const CliResult r = RunCli({"--version"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, std::string("orvex ") + ORVEX_VERSION + "\n");
    EXPECT_EQ(r.Err, "");
}

TEST(OrvexCli, HelpListsEverySubcommand) {
    const CliResult help = RunCli({"--help"});
    ASSERT_EQ(help.Status, 0);
    EXPECT_EQ(help.Err, "");
    for (const char* name : {"info", "render", "project", "import"})
        EXPECT_NE(help.Out.find(std::string("  ") + name + ' '), std::string::npos) << name;
    EXPECT_NE(help.Out.find("--json"), std::string::npos);
    EXPECT_NE(help.Out.find("--no-points"), std::string::npos);

    // -h and a bare `orvex` show the same text.
    EXPECT_EQ(RunCli({"-h"}).Out, help.Out);
    const CliResult bare = RunCli({});
    EXPECT_EQ(bare.Status, 0);
    EXPECT_EQ(bare.Out, help.Out);
}

TEST(OrvexCli, MissingSubcommandsAreMarkedAndRefused) {
    const std::string help = RunCli({"--help"}).Out;
    for (const auto& c : orvex::cli::Commands()) {
        if (c.Run) continue;
        const std::string name(c.Name);
        const auto entry = help.find("  " + name + ' ');
        ASSERT_NE(entry, std::string::npos) << name;
        // An entry is the synopsis line and the summary line under it.
        const auto entryEnd = help.find('\n', help.find('\n', entry) + 1);
        EXPECT_NE(help.substr(entry, entryEnd - entry).find("not available in this build"), std::string::npos)
            << name;

        const CliResult r = RunCli({name, "whatever.lyr"});
        EXPECT_EQ(r.Status, 2) << name;
        EXPECT_EQ(r.Out, "") << name;
        EXPECT_EQ(r.Err, "orvex: '" + name + "' is not available in this build\n");
    }
}

TEST(OrvexCli, UnknownCommandOrOptionIsAUsageError) {
    for (const std::string arg : {"frobnicate", "--frobnicate", "-x", "INFO"}) {
        const CliResult r = RunCli({arg});
        EXPECT_EQ(r.Status, 2) << arg;
        EXPECT_EQ(r.Out, "") << arg;
        EXPECT_NE(r.Err.find("'" + arg + "'"), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("orvex --help"), std::string::npos) << r.Err;
    }
}

}  // namespace
