// The main dialog on the test host, over a temporary sandbox whose network and processes are
// fakes, with check operations whose results each test sets.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialog/nestora_dlg.h"
#include "platform/internet.h"
#include "platform/processes.h"
#include "tests/support/temp_sandbox.h"
#include "tests/support/test_host.h"

namespace nestora_test {

// A small item.xml: two controls with tips, a control without, three drivers.
extern const char* const kItemXml;

// The network as InternetGetConnectedState sees it; sessions are not offered (the dialog's
// requests go through the fake GET of the operations).
class FakeInternet : public platform::Internet {
public:
    std::unique_ptr<platform::InternetSession> OpenSession(const std::string&) override {
        return nullptr;
    }
    bool GetConnectedState() override { return connected; }
    std::atomic<bool> connected{true};
};

// Records what was started and starts nothing. With `startsSucceed` a start reports success
// and hands back a process that has already ended, recording every wait for it in `waits`.
class FakeProcesses : public platform::Processes {
public:
    struct Started {
        std::string file;
        std::string parameters;
    };
    win::LONG CreateProcess(std::string_view commandLine,
                            std::unique_ptr<platform::Process>&) override;
    win::LONG ShellExecute(std::string_view file, std::string_view parameters,
                           std::unique_ptr<platform::Process>&) override;
    bool Snapshot(std::vector<platform::ProcessEntry>&) override { return false; }
    int RunSystemCommand(std::string_view) override { return -1; }

    std::mutex mutex;
    std::vector<Started> started;
    std::vector<std::string> commandLines;
    std::atomic<bool> startsSucceed{false};
    std::vector<win::DWORD> waits;

private:
    win::LONG Result(std::unique_ptr<platform::Process>& process);
};

// A gate a fake worker waits at until the test opens it.
class Gate {
public:
    void Open();
    void Wait();

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

class DialogTest : public ::testing::Test {
protected:
    DialogTest();
    ~DialogTest() override;

    // Stores a user type text ("NULL", "Public", "FT1", "FT2" or any other) before the start.
    void StoreUserType(const std::string& text);
    // Builds the dialog, runs OnInitDialog, waits for the configuration thread to end, then
    // the page's loading (OnDocumentComplete).
    void Start();
    void StartAndLoad();
    // check(0), then the whole pass and the refresh.
    void RunPass();
    // Every check passes; every item is installed and current.
    void AllGood();

    // setState calls as "c/i=v" texts (texts quoted), in order, from the recorded calls.
    std::vector<std::string> States() const;
    std::vector<std::string> StatesSince(size_t first) const;
    // The value last sent for category/item, as the text States() uses; "" when none.
    std::string LastState(int category, int item) const;
    bool GuideShown() const;

    TempSandbox sandbox_;
    TestHost host_;
    FakeInternet* internet_ = nullptr;
    FakeProcesses* processes_ = nullptr;
    nestora::CheckOperations operations_;
    std::unique_ptr<nestora::CNestoraDlg> dialog_;

    // Fake results: what each check sets, what each repair leaves.
    std::map<std::string, bool> checkResult_;
    std::map<std::string, bool> repairWorks_;
    std::string dnsName_;
    std::mutex logMutex_;
    std::vector<std::string> log_;  // "registry:check", "registry:fix", "dns", ...
    bool serviceOk_ = true;
    Gate* serviceGate_ = nullptr;
    std::vector<std::int32_t> detectedStatus_;  // per item; empty keeps status 7
    bool sslCleared_ = true;
    // The fake GET: the first request is the configuration fetch, the rest are probes.
    std::string configBody_;
    Gate* fetchGate_ = nullptr;
    bool serverUp_ = true;
    std::vector<std::string> requested_;
};

}  // namespace nestora_test
