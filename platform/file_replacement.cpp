#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace platform {
namespace {

// Bytes gathered before they go to the file in one write.
constexpr std::size_t ChunkSize = std::size_t{64} * 1024;

// The file a link names; Path itself when it is no link or names nothing.
std::string ResolvedPath(const std::string& Path) {
    struct stat info {};
    if (::lstat(Path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return Path;
    }
    char resolved[PATH_MAX];
    return ::realpath(Path.c_str(), resolved) != nullptr ? std::string(resolved) : Path;
}

std::string FolderOf(const std::string& Path) {
    const std::size_t slash = Path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : Path.substr(0, slash);
}

// The rename is on the disk only once the folder is: a failure here leaves
// the new file in place all the same, so it is not reported.
void SyncFolder(const std::string& Path) {
    const int folder = ::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

}  // namespace

std::string ErrorText(int Error) {
    char buffer[256];
    return ::strerror_r(Error, buffer, sizeof buffer);
}

int WriteAll(int Descriptor, std::string_view Bytes, std::size_t* Written) {
    if (Written != nullptr) {
        *Written = 0;
    }
    while (!Bytes.empty()) {
        const ssize_t count = ::write(Descriptor, Bytes.data(), Bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : ENOSPC;
        }
        Bytes.remove_prefix(static_cast<std::size_t>(count));
        if (Written != nullptr) {
            *Written += static_cast<std::size_t>(count);
        }
    }
    return 0;
}

FileReplacement::FileReplacement(const std::string& Path, ReplaceMode Mode)
    : FPath(Mode == ReplaceMode::Content ? ResolvedPath(Path) : Path) {
    struct stat old {};
    if (::lstat(FPath.c_str(), &old) == 0 && !S_ISLNK(old.st_mode)) {
        if (!S_ISREG(old.st_mode)) {
            Fail(NotRegularFile);
            return;
        }
        if (Mode == ReplaceMode::Content && ::faccessat(AT_FDCWD, FPath.c_str(), W_OK, AT_EACCESS) != 0) {
            Fail(errno);
            return;
        }
        FOld = old;
    }
    std::random_device seed;
    std::mt19937 random(seed());
    // A short name, so that any name the folder takes can be replaced.
    const std::string prefix = FolderOf(FPath) + "/.zt";
    // Owner-only while the old file's permissions are still to come; a new
    // file is created with the umask's permissions, as any new file would be.
    const mode_t permissions = FOld ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        FTemporary = prefix + std::to_string(random() % 1000000) + ".tmp";
        FDescriptor = ::open(FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
        if (FDescriptor >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (FDescriptor < 0) {
        FTemporary.clear();
        Fail(errno);
        return;
    }
    FCreated = true;
}

FileReplacement::~FileReplacement() {
    if (!FCommitted) {
        Discard();
    }
}

bool FileReplacement::Write(std::string_view Bytes) {
    if (FError != 0) {
        return false;
    }
    FBuffer.append(Bytes);
    return FBuffer.size() < ChunkSize || Flush();
}

bool FileReplacement::Flush() {
    if (const int error = WriteAll(FDescriptor, FBuffer); error != 0) {
        return Fail(error);
    }
    FBuffer.clear();
    return true;
}

bool FileReplacement::Commit() {
    if (FError != 0 || !Flush() || !TakeOverOldFile()) {
        return false;
    }
    if (::fsync(FDescriptor) != 0) {
        return Fail(errno);
    }
    const int descriptor = std::exchange(FDescriptor, -1);
    if (::close(descriptor) != 0) {
        return Fail(errno);
    }
    if (::rename(FTemporary.c_str(), FPath.c_str()) != 0) {
        return Fail(errno);
    }
    FCommitted = true;
    SyncFolder(FPath);
    return true;
}

bool FileReplacement::TakeOverOldFile() {
    if (!FOld) {
        return true;
    }
    // Owner first: a change of owner drops the set-user-ID bits that the
    // mode then sets again.
    if (::fchown(FDescriptor, FOld->st_uid, FOld->st_gid) != 0) {
        // Only a privileged process may give a file away: it stays the process's own.
    }
    return ::fchmod(FDescriptor, FOld->st_mode & 07777) == 0 || Fail(errno);
}

bool FileReplacement::Fail(int Error) {
    if (FError == 0) {
        FError = Error;
    }
    Discard();
    return false;
}

void FileReplacement::Discard() {
    if (FDescriptor >= 0) {
        ::close(std::exchange(FDescriptor, -1));
    }
    if (!FTemporary.empty()) {
        ::unlink(FTemporary.c_str());
        FTemporary.clear();
    }
    FBuffer.clear();
}

int ReplaceFile(const std::string& Path, std::string_view Content, ReplaceMode Mode) {
    FileReplacement file(Path, Mode);
    file.Write(Content);
    file.Commit();
    return file.Error();
}

}  // namespace platform
