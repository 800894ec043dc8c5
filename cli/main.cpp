#include <iostream>

#include "cli/Front.h"
#include "platform/Heap.h"

int main(int argc, char** argv) {
    UseLargeHeapPages();
    if (const std::optional<int> Status = orvex::cli::RunWithoutCommandsModule(argc, argv, std::cout))
        return *Status;
    return orvex::cli::RunInCommandsModule(argc, argv, std::cerr);
}
