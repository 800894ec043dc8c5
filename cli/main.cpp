#include "cli/OrvexCli.h"

#include <iostream>

int main(int argc, char** argv) { return RunOrvexCli(argc, argv, std::cout, std::cerr); }
