// The demo bank server as a test fixture: started on free ports of 127.0.0.1 with its ready
// file and log in a fresh temporary folder, stopped and that folder removed when the object
// goes. Its certificates are made once per build folder (bank-server-state beside bin/).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace nestora_test {

class BankServer {
public:
    // Starts python3 (from PATH) on $NESTORA_SOURCE_DIR/tools/bank-server/bank_server.py and
    // waits until it listens, with `extraArguments` after its own (e.g. --offer-update FILE).
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

}  // namespace nestora_test
