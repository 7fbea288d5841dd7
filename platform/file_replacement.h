#pragma once

#include <string>
#include <string_view>

namespace platform {

// The system's text for an errno value, such as "No space left on device".
std::string ErrorText(int Error);

// Writes all of Bytes to Descriptor, going on after an interruption; 0, or
// the errno value of the failure (ENOSPC when the system wrote nothing).
int WriteAll(int Descriptor, std::string_view Bytes);

// A new content for a file that never costs the old one: the bytes go to a
// temporary file beside it, which replaces the file (by a rename) only once
// every byte has been written and synced to the disk. A replacement that is
// not committed, or that fails at any step, leaves the old file byte for
// byte as it was and removes the temporary file. A link is followed: the
// file it names is replaced. A new file gets the old file's permissions, or
// those the process's umask gives a new file.
class FileReplacement {
public:
    // Creates the temporary file; Error() tells when that failed.
    explicit FileReplacement(const std::string& Path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Adds Bytes to the new content. False once anything has failed.
    bool Write(std::string_view Bytes);
    // Puts the new content in place of the file. False when anything failed.
    bool Commit();
    // The errno value of the first failure, 0 while there was none.
    int Error() const { return FError; }
    // False when the temporary file could not be created.
    bool Created() const { return FCreated; }

private:
    bool Flush();
    bool Fail(int Error);
    void Discard();

    std::string FPath;
    std::string FTemporary;
    std::string FBuffer;
    int FDescriptor = -1;
    int FError = 0;
    bool FCreated = false;
    bool FCommitted = false;
};

// Replaces the whole content of the file at Path; 0, or the errno value of
// the failure (the old file then stays as it was).
int ReplaceFile(const std::string& Path, std::string_view Content);

}  // namespace platform
