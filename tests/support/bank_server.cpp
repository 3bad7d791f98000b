#include "tests/support/bank_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>
#include <utility>
#include <vector>

#include "platform/certificate_store.h"
#include "platform/context.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

extern char** environ;

namespace nestora_test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr auto kStopTimeout = std::chrono::seconds(5);
// The server stops by itself after this, should the test process not stop it.
constexpr const char* kTimeLimitSeconds = "1800";

fs::path MakeTemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "nestora-bank-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

// The certificates are made once per build and shared by every test that starts a server;
// without a build folder they go into the fixture's own temporary folder.
fs::path StateFolder(const fs::path& temporaryFolder) {
    if (const char* binDir = std::getenv("NESTORA_BIN_DIR"); binDir && *binDir) {
        return fs::path(binDir).parent_path() / "bank-server-state";
    }
    return temporaryFolder / "state";
}

std::string Url(std::string_view scheme, int port, std::string_view path) {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + std::string(path);
}

}  // namespace

BankServer::BankServer(std::vector<std::string> extraArguments)
    : extraArguments_(std::move(extraArguments)) {
    started_ = Start();
    if (!started_)
        Stop();
}

BankServer::~BankServer() {
    Stop();
}

std::string BankServer::HttpsHost() const {
    return "127.0.0.1:" + std::to_string(httpsPort_);
}
std::string BankServer::HttpsUrl(std::string_view path) const {
    return Url("https", httpsPort_, path);
}
std::string BankServer::HttpUrl(std::string_view path) const {
    return Url("http", httpPort_, path);
}
std::string BankServer::UntrustedUrl(std::string_view path) const {
    return Url("https", untrustedPort_, path);
}

bool BankServer::Start() {
    folder_ = MakeTemporaryFolder();
    if (folder_.empty()) {
        error_ = "cannot make a temporary folder";
        return false;
    }
    const std::string script = (SourceDir() / "tools/bank-server/bank_server.py").string();
    const std::string state = StateFolder(folder_).string();
    const std::string readyFile = (folder_ / "ready.json").string();
    const std::string logFile = (folder_ / "server.log").string();
    std::vector<std::string> args = {
        "python3", script,         "--state",         state,          "--ready-file",
        readyFile, "--time-limit", kTimeLimitSeconds, "--parent-pid", std::to_string(getpid())};
    args.insert(args.end(), extraArguments_.begin(), extraArguments_.end());
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        error_ = "cannot start python3";
        return false;
    }
    return WaitForReadyFile();
}

bool BankServer::WaitForReadyFile() {
    const fs::path readyFile = folder_ / "ready.json";
    const auto deadline = Clock::now() + kStartTimeout;
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            std::ifstream log(folder_ / "server.log");
            error_ =
                "the bank server ended: " + std::string(std::istreambuf_iterator<char>(log), {});
            return false;
        }
        if (fs::exists(readyFile)) {
            std::ifstream in(readyFile);
            const auto ready = nlohmann::json::parse(in, nullptr, false);
            if (ready.is_object()) {
                httpsPort_ = ready.value("https_port", 0);
                httpPort_ = ready.value("http_port", 0);
                untrustedPort_ = ready.value("untrusted_port", 0);
                caFile_ = ready.value("ca_file", "");
                caDerFile_ = ready.value("ca_der_file", "");
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = "the bank server did not get ready in time";
    return false;
}

void BankServer::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + kStopTimeout;
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        folder_.clear();
    }
}

::testing::AssertionResult TrustDemoAuthority(const BankServer& server,
                                              platform::CertificateStores& stores) {
    std::ifstream file(server.CaDerFile(), std::ios::binary);
    const std::vector<std::uint8_t> der{std::istreambuf_iterator<char>(file), {}};
    auto root = stores.OpenSystemStore("ROOT");
    if (!root)
        return ::testing::AssertionFailure() << "cannot open the ROOT store";
    const win::LONG added = root->AddEncodedCertificate(der);
    if (added != win::ERROR_SUCCESS) {
        return ::testing::AssertionFailure()
               << "adding " << server.CaDerFile() << " to ROOT failed with " << added;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TrustDemoAuthority(const BankServer& server,
                                              platform::Context& context) {
    return TrustDemoAuthority(server, *context.certificates);
}

::testing::AssertionResult TrustDemoAuthorityWithCertutil(const BankServer& server,
                                                          TempSandbox& sandbox) {
    std::string output;
    const int exitCode = sandbox.RunNestoraWin(
        {"certutil", "-user", "-addstore", "Root", server.CaDerFile().string()}, &output);
    sandbox.Reopen();
    if (exitCode != 0)
        return ::testing::AssertionFailure()
               << "certutil ended with " << exitCode << ": " << output;
    return ::testing::AssertionSuccess();
}

}  // namespace nestora_test
