#pragma once
// A file replaced whole or not at all: written under a temporary name beside the target and
// renamed over it only on Commit, so that a failure or a cancel on the way leaves the old
// file as it was. The name is the file system's own bytes, used as they are: a name that is
// not valid UTF-8 is written as faithfully as any other.

#include <string>

class TAtomicFile {
public:
    // Creates the temporary file; Error() is set when that fails.
    explicit TAtomicFile(std::string Path);
    // Without a Commit the temporary file goes and the target stays as it was.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Each returns false once anything has failed; Error() then says why.
    bool Write(const void* Data, size_t Count);
    bool Commit();

    bool Failed() const { return FError != 0; }
    // The system's text for the first failure; empty while there is none.
    std::string Error() const;

private:
    bool Fail(int Error);

    std::string FTarget;
    std::string FTemp;
    int FFd = -1;
    int FError = 0;
    bool FMade = false;
    bool FCommitted = false;
};
