#pragma once
// A print to a file writes a temporary file beside it (platform/AtomicFile), which takes the
// file's place only when the print ends complete: a cancelled or failed print leaves the
// previous file as it was.

#include <QString>
#include <memory>

class QPrinter;
class TAtomicFile;

class TPrintOutput {
public:
    // Points Printer at the temporary file; printers without an output file are left alone,
    // and so is one where no file can be made beside its own (it writes that as before).
    explicit TPrintOutput(QPrinter& Printer);
    // Removes the temporary file unless it was committed; the printer gets its file name back.
    ~TPrintOutput();
    TPrintOutput(const TPrintOutput&) = delete;
    TPrintOutput& operator=(const TPrintOutput&) = delete;
    // Puts the finished output in place of the file; false when that failed.
    bool Commit();

private:
    QPrinter& FPrinter;
    QString FTarget;
    std::unique_ptr<TAtomicFile> FFile;
};
