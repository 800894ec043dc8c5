#pragma once
// The user cancelled a long operation (an import, a load, a save) in answer to its progress
// report. Whatever the operation had half made is gone when this arrives.

#include <stdexcept>

class EProgressAborted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
