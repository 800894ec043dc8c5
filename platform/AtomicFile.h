#pragma once
// A file replaced whole or not at all: written under a temporary name beside the target and
// renamed over it only on Commit, so that a failure or a cancel on the way leaves the old
// file as it was. The name is the file system's own bytes, used as they are: a name that is
// not valid UTF-8 is written as faithfully as any other.

#include <string>

class TAtomicFile {
public:
    // Who writes the temporary file: this object through Write, or a writer that takes only a
    // file name (GDAL, a printer) and creates the file at TempPath() itself. For the latter the
    // name is left free, since such writers may refuse to overwrite, and it ends in the
    // target's extension, by which they may choose the format.
    enum class TWriter { Self, ByName };

    // Makes the temporary file (or its name); Error() is set when that fails.
    explicit TAtomicFile(std::string Path, TWriter Writer = TWriter::Self);
    // Without a Commit the temporary file goes and the target stays as it was.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // The temporary file's name, for TWriter::ByName.
    const std::string& TempPath() const { return FTemp; }

    // Each returns false once anything has failed; Error() then says why. Write is for
    // TWriter::Self only. Commit puts the temporary file, complete on disk, in the target's
    // place; the target keeps its permissions.
    bool Write(const void* Data, size_t Count);
    bool Commit();

    bool Failed() const { return FError != 0; }
    // The system's text for the first failure; empty while there is none.
    std::string Error() const;

private:
    bool Fail(int Error);
    bool SyncWritten();

    std::string FTarget;
    std::string FTemp;
    int FFd = -1;
    int FError = 0;
    unsigned FMode = 0;  // the target's permissions, or a new file's
    bool FByName = false;
    bool FMade = false;
    bool FCommitted = false;
};
