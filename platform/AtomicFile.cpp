#include "platform/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The permissions a new file gets from open(2) with 0666.
mode_t NewFileMode() {
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    return 0666 & ~Mask;
}
}  // namespace

TAtomicFile::TAtomicFile(std::string Path) : FTarget(std::move(Path)) {
    // A link is followed: the file it names is replaced, and the link stays.
    struct stat St;
    if (::lstat(FTarget.c_str(), &St) == 0 && S_ISLNK(St.st_mode)) {
        if (char* Real = ::realpath(FTarget.c_str(), nullptr)) {
            FTarget = Real;
            std::free(Real);
        }
    }
    const size_t Slash = FTarget.rfind('/');
    FTemp = (Slash == std::string::npos ? std::string() : FTarget.substr(0, Slash + 1)) + ".orvex-XXXXXX";
    FFd = ::mkstemp(FTemp.data());
    if (FFd < 0) {
        Fail(errno);
        return;
    }
    FMade = true;
    // The file keeps the permissions it had; a new one gets the usual ones, not a temporary's.
    (void)::fchmod(FFd, ::stat(FTarget.c_str(), &St) == 0 ? (St.st_mode & 07777) : NewFileMode());
}

TAtomicFile::~TAtomicFile() {
    if (FFd >= 0) ::close(FFd);
    if (FMade && !FCommitted) ::unlink(FTemp.c_str());
}

bool TAtomicFile::Fail(int Error) {
    if (FError == 0) FError = Error ? Error : EIO;
    return false;
}

bool TAtomicFile::Write(const void* Data, size_t Count) {
    if (FError) return false;
    const auto* Bytes = static_cast<const char*>(Data);
    while (Count > 0) {
        const ssize_t Written = ::write(FFd, Bytes, Count);
        if (Written < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        Bytes += Written;
        Count -= size_t(Written);
    }
    return true;
}

bool TAtomicFile::Commit() {
    if (FError) return false;
    // On disk before it takes the old file's place: a crash never leaves an empty file.
    if (::fsync(FFd) != 0) return Fail(errno);
    const int Closed = ::close(FFd);
    FFd = -1;
    if (Closed != 0) return Fail(errno);
    if (std::rename(FTemp.c_str(), FTarget.c_str()) != 0) return Fail(errno);
    FCommitted = true;
    return true;
}

std::string TAtomicFile::Error() const { return FError ? std::strerror(FError) : std::string(); }
