#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The system's text for an errno value, such as "No space left on device".
std::string ErrorText(int Error);

// The failure of a file operation whose target exists but is no regular file
// (a folder, a FIFO, a device): no errno value says just that.
constexpr int NotRegularFile = -1;

// Writes all of Bytes to Descriptor, going on after an interruption; 0, or
// the errno value of the failure (ENOSPC when the system wrote nothing).
// Written, when given, receives the number of bytes written, also on failure.
int WriteAll(int Descriptor, std::string_view Bytes, std::size_t* Written = nullptr);

// What a replacement puts the new content in place of.
enum class ReplaceMode {
    // The file the path names, as writing it in place would: a link is
    // followed, and a file the process may not write is refused.
    Content,
    // The folder entry itself, as copying a file over it would: a link is
    // replaced by the new file, and so is a write-protected file.
    Entry,
};

// A new content for a file that never costs the old one: the bytes go to a
// temporary file beside it, which replaces the file (by a rename) only once
// every byte has been written and synced to the disk. A replacement that is
// not committed, or that fails at any step, leaves the old file byte for
// byte as it was and removes the temporary file. Only regular files are
// replaced: any other existing target fails with NotRegularFile, except a
// link that the mode does not follow or that names nothing.
// The temporary file is open to its owner alone until the commit gives it
// the old file's permissions (and owner and group, where the process may);
// a new file gets those that the process's umask gives a new file.
class FileReplacement {
public:
    // Creates the temporary file; Error() tells when that failed.
    explicit FileReplacement(const std::string& Path, ReplaceMode Mode = ReplaceMode::Content);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Adds Bytes to the new content. False once anything has failed.
    bool Write(std::string_view Bytes);
    // Puts the new content in place of the file. False when anything failed.
    bool Commit();
    // The errno value (or NotRegularFile) of the first failure, 0 while there was none.
    int Error() const { return FError; }
    // False when the target was refused or the temporary file could not be created.
    bool Created() const { return FCreated; }

private:
    bool Flush();
    bool TakeOverOldFile();
    bool Fail(int Error);
    void Discard();

    std::string FPath;
    std::string FTemporary;
    std::string FBuffer;
    // The file being replaced, whose permissions and owner the new one keeps.
    std::optional<struct stat> FOld;
    int FDescriptor = -1;
    int FError = 0;
    bool FCreated = false;
    bool FCommitted = false;
};

// Replaces the whole content of the file at Path; 0, or the errno value (or
// NotRegularFile) of the failure (the old file then stays as it was).
int ReplaceFile(const std::string& Path, std::string_view Content, ReplaceMode Mode = ReplaceMode::Content);

}  // namespace platform
