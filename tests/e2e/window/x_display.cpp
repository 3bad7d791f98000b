#include "tests/e2e/window/x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace nestora_test {
namespace {

constexpr int kStartLimitMs = 15000;

}  // namespace

bool ProgramOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// Xvfb picks a free display itself (-displayfd) and writes its number to the pipe once it
// accepts connections.
XDisplay::XDisplay() {
    int ready[2];
    if (::pipe(ready) != 0) {
        error_ = "pipe failed";
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        const std::string fd = std::to_string(ready[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    if (pid_ < 0) {
        ::close(ready[0]);
        error_ = "fork failed";
        return;
    }
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    while (::poll(&wait, 1, kStartLimitMs) > 0) {
        char c;
        if (::read(ready[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    ::close(ready[0]);
    if (number.empty())
        error_ = "Xvfb did not report a display";
    else
        name_ = ":" + number;
}

XDisplay::~XDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

}  // namespace nestora_test
