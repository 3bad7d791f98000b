// The demo bank server as a test fixture: started on free ports of 127.0.0.1 with its ready
// file and log in a fresh temporary folder, stopped and that folder removed when the object
// goes. Its certificates are made once per build folder (bank-server-state beside bin/).
// Also the fixture base that shares one server across a test suite, and the ways a sandbox
// comes to trust the server's demo authority.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {
class CertificateStores;
struct Context;
}  // namespace platform

namespace nestora_test {

class TempSandbox;

class BankServer {
public:
    // Starts python3 (from PATH) on tools/bank-server/bank_server.py of $NESTORA_SOURCE_DIR (else
    // of the repository this was built from) and waits until it listens, with `extraArguments`
    // after its own (e.g. --offer-update FILE).
    // Started() tells whether it did; Error() says why not.
    explicit BankServer(std::vector<std::string> extraArguments = {});
    ~BankServer();
    BankServer(const BankServer&) = delete;
    BankServer& operator=(const BankServer&) = delete;

    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }

    int HttpsPort() const { return httpsPort_; }
    int HttpPort() const { return httpPort_; }
    // HTTPS with a certificate of an authority that no one trusts.
    int UntrustedPort() const { return untrustedPort_; }
    // The demo authority that signed the HTTPS port's certificate, as PEM and as DER.
    const std::filesystem::path& CaFile() const { return caFile_; }
    const std::filesystem::path& CaDerFile() const { return caDerFile_; }

    // "127.0.0.1:PORT" of the HTTPS port, as NESTORA_BANK_HOST takes it.
    std::string HttpsHost() const;
    // "https://127.0.0.1:PORT" + path, and the same for the other two ports.
    std::string HttpsUrl(std::string_view path) const;
    std::string HttpUrl(std::string_view path) const;
    std::string UntrustedUrl(std::string_view path) const;

private:
    bool Start();
    bool WaitForReadyFile();
    void Stop();

    std::vector<std::string> extraArguments_;
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    bool started_ = false;
    std::string error_;
    int httpsPort_ = 0;
    int httpPort_ = 0;
    int untrustedPort_ = 0;
    std::filesystem::path caFile_;
    std::filesystem::path caDerFile_;
};

// A fixture base whose suite shares one server: started before the suite's first test,
// stopped after its last. SetUp fails the test when the server did not start; a fixture that
// overrides it calls it first, as ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp()).
// A suite whose server needs arguments defines its own SetUpTestSuite that calls
// StartServer with them.
template <typename Base = ::testing::Test>
class WithBankServer : public Base {
protected:
    static void SetUpTestSuite() { StartServer({}); }
    static void StartServer(std::vector<std::string> extraArguments) {
        server_ = new BankServer(std::move(extraArguments));
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        Base::SetUp();
        ASSERT_TRUE(server_->Started()) << server_->Error();
    }

    static inline BankServer* server_ = nullptr;
};

// Adds the server's demo authority to the ROOT store of `stores`, or of `context`.
::testing::AssertionResult TrustDemoAuthority(const BankServer& server,
                                              platform::CertificateStores& stores);
::testing::AssertionResult TrustDemoAuthority(const BankServer& server, platform::Context& context);
// Adds it the way a user would, with `nestora-win certutil -user -addstore Root`, then reopens
// the sandbox so that its context sees the change.
::testing::AssertionResult TrustDemoAuthorityWithCertutil(const BankServer& server,
                                                          TempSandbox& sandbox);

}  // namespace nestora_test
