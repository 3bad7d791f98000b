#include "platform/linux/processes_linux_spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

extern char** environ;

namespace platform {
namespace {

namespace fs = std::filesystem;

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

std::vector<char*> PointersOf(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A copy of the file in an anonymous memory file, which can be executed whatever the
// original's permissions. -1 and errno on failure.
int CopyToMemoryFile(const fs::path& file) {
    const int source = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return -1;
    const int copy = ::memfd_create("nestora-program", MFD_CLOEXEC);
    if (copy < 0) {
        const int error = errno;
        ::close(source);
        errno = error;
        return -1;
    }
    char buffer[65536];
    ssize_t count;
    while ((count = ::read(source, buffer, sizeof buffer)) > 0) {
        if (::write(copy, buffer, static_cast<size_t>(count)) != count) {
            count = -1;
            break;
        }
    }
    const int error = errno;
    ::close(source);
    if (count < 0) {
        ::close(copy);
        errno = error;
        return -1;
    }
    return copy;
}

// Marks every descriptor above the standard streams close-on-exec, so the program started
// inherits none of them. Only async-signal-safe calls: this runs between fork and exec.
void MarkDescriptorsCloseOnExec(long maxDescriptor) {
    if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    for (long fd = 3; fd < maxDescriptor; ++fd) {
        const int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
        if (flags >= 0)
            ::fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
    }
}

void ResetSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Room for the decimal digits of any process id.
constexpr size_t kPidDigits = 20;

// Writes this process's id into the digits reserved for it (async-signal-safe).
void WriteOwnId(char* digits) {
    unsigned long value = static_cast<unsigned long>(::getpid());
    char reversed[kPidDigits];
    size_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < kPidDigits);
    for (size_t i = 0; i < count; ++i)
        digits[i] = reversed[count - 1 - i];
    digits[count] = '\0';
}

[[noreturn]] void RunChild(const char* executable, int programFd, char* const* argv,
                           char* const* envp, char* creatorDigits, int errorPipe,
                           long maxDescriptor) {
    WriteOwnId(creatorDigits);
    ResetSignals();
    MarkDescriptorsCloseOnExec(maxDescriptor);
    if (programFd >= 0) {
        ::fexecve(programFd, argv, envp);
    } else {
        ::execve(executable, argv, envp);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

int ReadStartError(int errorPipe) {
    int error = 0;
    ssize_t count;
    do {
        count = ::read(errorPipe, &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    return count == sizeof error ? error : 0;
}

win::DWORD ExitCodeFromStatus(int status) {
    if (WIFEXITED(status))
        return static_cast<win::DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128u + static_cast<win::DWORD>(WTERMSIG(status));
    return 0;
}

class ChildProcess final : public Process {
public:
    explicit ChildProcess(pid_t pid) : pid_(pid) {}

    ~ChildProcess() override {
        std::lock_guard lock(mutex_);
        if (reaped_)
            return;
        // The handle goes but the process may run on: reap it whenever it ends.
        std::thread([pid = pid_] {
            int status;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }

    win::DWORD Id() const override { return static_cast<win::DWORD>(pid_); }

    win::DWORD Wait(win::DWORD milliseconds) override {
        if (TryReap())
            return win::WAIT_OBJECT_0;
        if (milliseconds == 0)
            return win::WAIT_TIMEOUT;
        const bool ended =
            milliseconds == win::INFINITE
                ? WaitForEnd(-1)
                : WaitForEnd(static_cast<int>(std::min<win::DWORD>(milliseconds, INT32_MAX)));
        if (!ended)
            return win::WAIT_TIMEOUT;
        return TryReap() ? win::WAIT_OBJECT_0 : win::WAIT_FAILED;
    }

    win::DWORD ExitCode() override { return TryReap() ? exitCode_ : win::STILL_ACTIVE; }

private:
    // Waits, without reaping, until the child has ended; false when the time ran out.
    bool WaitForEnd(int timeoutMs) {
        const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (pidFd >= 0) {
            pollfd entry{pidFd, POLLIN, 0};
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            int ready;
            while ((ready = ::poll(&entry, 1, timeoutMs)) < 0 && errno == EINTR) {
                if (timeoutMs >= 0) {
                    timeoutMs = static_cast<int>(
                        std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                              deadline - std::chrono::steady_clock::now())
                                              .count()));
                }
            }
            ::close(pidFd);
            return ready != 0;
        }
        // Without process descriptors: look every few milliseconds.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!HasEnded()) {
            if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    bool HasEnded() {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
               info.si_pid != 0;
    }

    bool TryReap() {
        std::lock_guard lock(mutex_);
        if (reaped_)
            return true;
        int status = 0;
        pid_t result;
        while ((result = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (result == 0)
            return false;
        // ECHILD: someone else reaped it (SIGCHLD ignored); it has ended, its code is lost.
        exitCode_ = result == pid_ ? ExitCodeFromStatus(status) : 0;
        reaped_ = true;
        return true;
    }

    const pid_t pid_;
    std::mutex mutex_;
    bool reaped_ = false;
    win::DWORD exitCode_ = 0;
};

// "pid (comm) state ppid ...": the name may hold blanks and parentheses, so it ends at the
// last ')'.
bool ParseStat(const std::string& stat, ProcessEntry& entry, bool& isZombie) {
    const size_t open = stat.find('(');
    const size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    long parent = -1;
    if (!(fields >> state >> parent) || parent < 0)
        return false;
    entry.exeFile = stat.substr(open + 1, close - open - 1);
    entry.parentProcessId = static_cast<win::DWORD>(parent);
    isZombie = state == "Z";
    return true;
}

// The kernel keeps only 15 characters of a name; the executable's file name is the whole one
// when it starts with them.
std::string FullExecutableName(const fs::path& processFolder, const std::string& shortName) {
    std::error_code error;
    const fs::path executable = fs::read_symlink(processFolder / "exe", error);
    if (error)
        return shortName;
    const std::string name = executable.filename().string();
    return name.size() > shortName.size() && name.starts_with(shortName) ? name : shortName;
}

// The sandbox process whose environment this process inherited; 0 when none, or when the
// process is itself the one that was started.
win::DWORD CreatorOf(const fs::path& processFolder, win::DWORD processId) {
    std::ifstream file(processFolder / "environ", std::ios::binary);
    const std::string prefix = std::string(kCreatorVariable) + "=";
    std::string entry;
    while (std::getline(file, entry, '\0')) {
        if (!entry.starts_with(prefix))
            continue;
        const std::string digits = entry.substr(prefix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
            return 0;
        }
        const unsigned long creator = std::stoul(digits);
        return creator == processId ? 0 : static_cast<win::DWORD>(creator);
    }
    return 0;
}

// Linux gives an orphan a new parent; Windows keeps naming the one that created it.
void ReportEndedCreatorsAsParents(std::vector<ProcessEntry>& entries,
                                  const std::vector<win::DWORD>& creators,
                                  std::vector<win::DWORD> running) {
    std::sort(running.begin(), running.end());
    for (size_t i = 0; i < entries.size(); ++i) {
        const win::DWORD creator = creators[i];
        if (creator != 0 && !std::binary_search(running.begin(), running.end(), creator)) {
            entries[i].parentProcessId = creator;
        }
    }
}

}  // namespace

int SpawnProcess(const SpawnRequest& request, pid_t& pid) {
    std::vector<std::string> argvTexts = request.argv;
    const std::string creatorPrefix = std::string(kCreatorVariable) + "=";
    std::vector<std::string> envTexts;
    for (const std::string& entry : request.environment) {
        if (!entry.starts_with(creatorPrefix))
            envTexts.push_back(entry);
    }
    envTexts.push_back(creatorPrefix + std::string(kPidDigits, '0'));
    char* const creatorDigits = envTexts.back().data() + creatorPrefix.size();
    const std::vector<char*> argv = PointersOf(argvTexts);
    const std::vector<char*> envp = PointersOf(envTexts);
    const long maxDescriptor = ::sysconf(_SC_OPEN_MAX);

    int programFd = -1;
    if (request.runFromCopy && (programFd = CopyToMemoryFile(request.executable)) < 0) {
        return errno;
    }
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        const int error = errno;
        if (programFd >= 0)
            ::close(programFd);
        return error;
    }
    pid = ::fork();
    if (pid == 0) {
        RunChild(request.executable.c_str(), programFd, argv.data(), envp.data(), creatorDigits,
                 errorPipe[1], maxDescriptor);
    }
    const int forkError = errno;
    ::close(errorPipe[1]);
    if (programFd >= 0)
        ::close(programFd);
    if (pid < 0) {
        ::close(errorPipe[0]);
        return forkError;
    }
    const int startError = ReadStartError(errorPipe[0]);
    ::close(errorPipe[0]);
    if (startError != 0) {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
    }
    return startError;
}

std::unique_ptr<Process> MakeChildProcess(pid_t pid) {
    return std::make_unique<ChildProcess>(pid);
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& override : overrides) {
            replaced = replaced || override.substr(0, override.find('=')) == name;
        }
        if (!replaced)
            environment.emplace_back(text);
    }
    environment.insert(environment.end(), overrides.begin(), overrides.end());
    return environment;
}

bool ReadProcessSnapshot(std::vector<ProcessEntry>& entries, const fs::path& procRoot) {
    entries.clear();
    std::vector<win::DWORD> creators;
    std::vector<win::DWORD> running;  // zombies have ended
    std::error_code error;
    fs::directory_iterator folder(procRoot, error);
    if (error)
        return false;
    for (const fs::directory_entry& process : folder) {
        const std::string name = process.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream statFile(process.path() / "stat");
        std::string stat;
        // A process that ended while the list was read is left out.
        if (!std::getline(statFile, stat))
            continue;
        ProcessEntry entry;
        bool isZombie = false;
        if (!ParseStat(stat, entry, isZombie))
            continue;
        entry.processId = static_cast<win::DWORD>(std::stoul(name));
        entry.exeFile = FullExecutableName(process.path(), entry.exeFile);
        creators.push_back(CreatorOf(process.path(), entry.processId));
        if (!isZombie)
            running.push_back(entry.processId);
        entries.push_back(std::move(entry));
    }
    ReportEndedCreatorsAsParents(entries, creators, std::move(running));
    return true;
}

}  // namespace platform
