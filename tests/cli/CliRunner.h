// Runs the `orvex` tool in-process with captured output.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/OrvexCli.h"

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
