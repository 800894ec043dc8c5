// Runs the `orvex` tool in-process with captured output.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/OrvexCli.h"
#include "platform/Text.h"

struct CliResult {
    int Status;
    std::string Out;
    std::string Err;
};

inline CliResult RunCli(std::vector<std::string> Args) {
    Args.insert(Args.begin(), "orvex");
    std::vector<char*> Argv;
    for (std::string& S : Args) Argv.push_back(S.data());
    Argv.push_back(nullptr);
    std::ostringstream Out, Err;
    const int Status = RunOrvexCli(static_cast<int>(Args.size()), Argv.data(), Out, Err);
    return {Status, Out.str(), Err.str()};
}

// A test with a folder of its own for the files a command reads and writes.
class CliFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    std::string File(const std::string& Name) const { return PathFromQString(Dir.path()) + "/" + Name; }
    std::string Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(File(Name), std::ios::binary) << Bytes;
        return File(Name);
    }
    QTemporaryDir Dir;
};
