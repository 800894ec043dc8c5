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

// ".pdf" of "/a/b/map.pdf"; empty when the file name has none.
std::string ExtensionOf(const std::string& Path) {
    const size_t Slash = Path.rfind('/');
    const size_t Dot = Path.rfind('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash) || Dot == Slash + 1) return {};
    return Path.substr(Dot);
}
}  // namespace

TAtomicFile::TAtomicFile(std::string Path, TWriter Writer)
    : FTarget(std::move(Path)), FByName(Writer == TWriter::ByName) {
    // A link is followed: the file it names is replaced, and the link stays.
    struct stat St;
    if (::lstat(FTarget.c_str(), &St) == 0 && S_ISLNK(St.st_mode)) {
        if (char* Real = ::realpath(FTarget.c_str(), nullptr)) {
            FTarget = Real;
            std::free(Real);
        }
    }
    // The file keeps the permissions it had; a new one gets the usual ones, not a temporary's.
    FMode = ::stat(FTarget.c_str(), &St) == 0 ? (St.st_mode & 07777) : NewFileMode();
    const size_t Slash = FTarget.rfind('/');
    const std::string Extension = FByName ? ExtensionOf(FTarget) : std::string();
    FTemp = (Slash == std::string::npos ? std::string() : FTarget.substr(0, Slash + 1)) + ".orvex-XXXXXX" + Extension;
    FFd = ::mkstemps(FTemp.data(), int(Extension.size()));
    if (FFd < 0) {
        Fail(errno);
        return;
    }
    FMade = true;
    if (FByName) {
        // The name is unique now; the writer makes the file.
        ::close(FFd);
        FFd = -1;
        ::unlink(FTemp.c_str());
        return;
    }
    (void)::fchmod(FFd, mode_t(FMode));
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
    if (FByName) return Fail(EBADF);
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

// The temporary file on disk and closed, with the target's permissions.
bool TAtomicFile::SyncWritten() {
    if (FByName) {
        // The writer closed the file it made; it is opened again to be synced.
        FFd = ::open(FTemp.c_str(), O_RDONLY | O_CLOEXEC);
        if (FFd < 0) return Fail(errno);
        (void)::fchmod(FFd, mode_t(FMode));
    }
    if (::fsync(FFd) != 0) return Fail(errno);
    const int Closed = ::close(FFd);
    FFd = -1;
    return Closed == 0 || Fail(errno);
}

bool TAtomicFile::Commit() {
    if (FError) return false;
    // On disk before it takes the old file's place: a crash never leaves an empty file.
    if (!SyncWritten()) return false;
    if (std::rename(FTemp.c_str(), FTarget.c_str()) != 0) return Fail(errno);
    FCommitted = true;
    return true;
}

std::string TAtomicFile::Error() const { return FError ? std::strerror(FError) : std::string(); }
