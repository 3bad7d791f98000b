// Named mutexes as exclusive flock locks on a file of the sandbox, one file per name. The
// kernel drops the lock when the holder ends, however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/named_mutex.h"

namespace platform {
namespace {

class FlockMutex : public NamedMutex {
public:
    explicit FlockMutex(int fd) : fd_(fd) {}
    ~FlockMutex() override { ::close(fd_); }

private:
    int fd_;
};

std::filesystem::path LockPath(const std::filesystem::path& root, std::string_view name) {
    std::string file = "mutex-";
    for (char c : name)
        file += (c == '/' || c == '\\') ? '_' : c;
    return root / (file + ".lock");
}

}  // namespace

std::unique_ptr<NamedMutex> CreateOwnedNamedMutex(const std::filesystem::path& sandboxRoot,
                                                  std::string_view name, win::LONG& error) {
    const int fd = ::open(LockPath(sandboxRoot, name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = win::ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? win::ERROR_ALREADY_EXISTS : win::ERROR_ACCESS_DENIED;
        ::close(fd);
        return nullptr;
    }
    error = win::ERROR_SUCCESS;
    return std::make_unique<FlockMutex>(fd);
}

}  // namespace platform
