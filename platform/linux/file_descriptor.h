// Open files held by their descriptor and closed by their owner, and the exclusively locked
// file that programs sharing the sandbox use to take turns.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

namespace platform {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }

private:
    int fd_;
};

// The file at `path`, created when missing, open for reading and writing and locked
// exclusively (flock) until the object goes; not open when it cannot be opened or locked.
class LockedFile {
public:
    explicit LockedFile(const std::filesystem::path& path) : file_(OpenLocked(path)) {}

    bool IsOpen() const { return file_.IsOpen(); }
    int Descriptor() const { return file_.Get(); }

private:
    static int OpenLocked(const std::filesystem::path& path) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    FileDescriptor file_;  // closing it releases the lock
};

}  // namespace platform
