#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace platform::testing {

// A small file system of its own (tmpfs), mounted for one test and filled to
// the last byte on demand, so that writes fail the way they do on a full
// disk. Mounting needs root, as in CI; elsewhere Mounted() is false and
// Reason() says why.
class FullDisk {
public:
    static constexpr const char* FillerName = "filler";

    FullDisk() {
        char folder[] = "/tmp/zt_full_disk_XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            FReason = std::string("no scratch folder: ") + std::strerror(errno);
            return;
        }
        FFolder = folder;
        if (::mount("tmpfs", folder, "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") != 0) {
            FReason = std::string("cannot mount a small file system (it needs root): ") + std::strerror(errno);
            return;
        }
        FMounted = true;
    }
    ~FullDisk() {
        if (FMounted) {
            ::umount2(FFolder.c_str(), MNT_DETACH);
        }
        if (!FFolder.empty()) {
            ::rmdir(FFolder.c_str());
        }
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool Mounted() const { return FMounted; }
    const std::string& Reason() const { return FReason; }
    std::string Path(const std::string& Name) const { return FFolder + "/" + Name; }

    // Takes every free byte into a filler file.
    void Fill() const {
        const int file = ::open(Path(FillerName).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const std::string chunk(4096, 'x');
        for (std::size_t size = chunk.size(); size > 0; size /= 2) {
            while (::write(file, chunk.data(), size) > 0) {
            }
        }
        ::close(file);
    }
    // Gives the filler's bytes back.
    void Free() const { ::unlink(Path(FillerName).c_str()); }

    // The names of the files in the file system, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        if (DIR* folder = ::opendir(FFolder.c_str())) {
            while (const dirent* entry = ::readdir(folder)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                    names.emplace_back(entry->d_name);
                }
            }
            ::closedir(folder);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string FFolder;
    std::string FReason;
    bool FMounted = false;
};

}  // namespace platform::testing
