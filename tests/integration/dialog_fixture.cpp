#include "tests/integration/dialog_fixture.h"

#include "dialog/bank_host.h"
#include "platform/context.h"
#include "platform/registry.h"

namespace nestora_test {

const char* const kItemXml = R"(<?xml version="1.0" encoding="utf-8"?>
<checkitems base="https://bank.example/download/">
  <config type="service"><entry>https://bank.example/perbank/</entry></config>
  <item name="密码输入控件" type="control" tips="保护网银登录密码的输入"/>
  <item name="签名控件" type="control" tips="网银交易签名"/>
  <item name="海泰USB-Key驱动" type="driver"/>
  <item name="飞天USB-Key驱动" type="driver"/>
  <item name="坚石USB-Key驱动" type="driver"/>
</checkitems>
)";

namespace {

class EndedProcess : public platform::Process {
public:
    EndedProcess(std::mutex& mutex, std::vector<win::DWORD>& waits)
        : mutex_(mutex), waits_(waits) {}
    win::DWORD Id() const override { return 4242; }
    win::DWORD Wait(win::DWORD milliseconds) override {
        std::lock_guard lock(mutex_);
        waits_.push_back(milliseconds);
        return win::WAIT_OBJECT_0;
    }
    win::DWORD ExitCode() override { return 0; }

private:
    std::mutex& mutex_;
    std::vector<win::DWORD>& waits_;
};

}  // namespace

win::LONG FakeProcesses::CreateProcess(std::string_view commandLine,
                                       std::unique_ptr<platform::Process>& process) {
    std::lock_guard lock(mutex);
    commandLines.emplace_back(commandLine);
    return Result(process);
}

win::LONG FakeProcesses::ShellExecute(std::string_view file, std::string_view parameters,
                                      std::unique_ptr<platform::Process>& process) {
    std::lock_guard lock(mutex);
    started.push_back(Started{std::string(file), std::string(parameters)});
    return Result(process);
}

win::LONG FakeProcesses::Result(std::unique_ptr<platform::Process>& process) {
    if (!startsSucceed)
        return win::ERROR_FILE_NOT_FOUND;
    process = std::make_unique<EndedProcess>(mutex, waits);
    return win::ERROR_SUCCESS;
}

void Gate::Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
}

void Gate::Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
}

namespace {

bool& Flag(config::CheckResults& results, const std::string& name) {
    if (name == "registry")
        return results.registryOk;
    if (name == "hosts")
        return results.hostsOk;
    if (name == "homepage")
        return results.homepageOk;
    if (name == "security")
        return results.securityLevelOk;
    if (name == "trusted")
        return results.trustedSitesOk;
    return results.dnsOk;
}

std::string ArgumentText(const nestora::PageArg& argument) {
    if (const auto* number = std::get_if<std::int32_t>(&argument))
        return std::to_string(*number);
    return "\"" + std::get<std::string>(argument) + "\"";
}

}  // namespace

DialogTest::DialogTest() {
    auto internet = std::make_unique<FakeInternet>();
    internet_ = internet.get();
    sandbox_.Context().internet = std::move(internet);
    auto processes = std::make_unique<FakeProcesses>();
    processes_ = processes.get();
    sandbox_.Context().processes = std::move(processes);
    configBody_ = kItemXml;

    const auto fixable = [this](const std::string& name) {
        return [this, name](config::CheckConfig& config, bool fix) {
            std::lock_guard lock(logMutex_);
            log_.push_back(name + (fix ? ":fix" : ":check"));
            if (fix && repairWorks_[name])
                checkResult_[name] = true;
            if (!fix)
                Flag(config.results, name) = checkResult_[name];
        };
    };
    operations_.osVersionText = [](platform::Context&) { return "Windows 7 Ultimate"; };
    operations_.browserVersionText = [](platform::Context&) { return "11.0.9600.19180"; };
    operations_.checkRegistry = fixable("registry");
    operations_.checkHosts = fixable("hosts");
    operations_.checkHomepageLock = fixable("homepage");
    operations_.checkSecurityLevel = fixable("security");
    operations_.checkTrustedSites = fixable("trusted");
    operations_.checkDns = [this](config::CheckConfig& config) {
        std::lock_guard lock(logMutex_);
        log_.push_back("dns");
        config.results.dnsOk = checkResult_["dns"];
        if (!dnsName_.empty())
            config.results.dnsDisplayName = dnsName_;
    };
    operations_.checkRootCertificates = [this]() -> win::HRESULT {
        std::lock_guard lock(logMutex_);
        log_.push_back("certs:check");
        return checkResult_["certs"] ? win::S_OK : win::E_FAIL;
    };
    operations_.installRootCertificates = [this]() -> win::HRESULT {
        std::lock_guard lock(logMutex_);
        log_.push_back("certs:fix");
        if (repairWorks_["certs"])
            checkResult_["certs"] = true;
        return win::S_OK;
    };
    operations_.clearSslCache = [this] {
        std::lock_guard lock(logMutex_);
        log_.push_back("ssl");
        return sslCleared_;
    };
    operations_.serviceCheckThread = [this](config::CheckConfig& config) {
        {
            std::lock_guard lock(logMutex_);
            log_.push_back("service");
        }
        if (serviceGate_)
            serviceGate_->Wait();
        config.results.serviceOk.store(serviceOk_, std::memory_order_release);
        config.results.serviceDone.store(true, std::memory_order_release);
    };
    operations_.detectComponents = [this](std::vector<config::ComponentItem>& items) {
        for (size_t i = 0; i < items.size() && i < detectedStatus_.size(); ++i)
            items[i].status = detectedStatus_[i];
    };
    operations_.reportUsbKeys = [](config::CheckConfig&, nestora::UiBridge&) {};
    operations_.updateThread = [](const config::CheckConfig&, nestora::DialogHost&) {};
    operations_.replaceProgramFile = [](const std::string&, const std::string&) { return false; };
    operations_.httpGet = [this](platform::Context&, const std::string& url) -> std::string {
        bool first;
        {
            std::lock_guard lock(logMutex_);
            first = requested_.empty();
            requested_.push_back(url);
        }
        if (first) {
            if (fetchGate_)
                fetchGate_->Wait();
            return configBody_;
        }
        return serverUp_ ? std::string("<checkitems/>") : std::string();
    };
}

DialogTest::~DialogTest() {
    if (fetchGate_)
        fetchGate_->Open();
    if (serviceGate_)
        serviceGate_->Open();
    dialog_.reset();
}

void DialogTest::StoreUserType(const std::string& text) {
    platform::Registry& registry = *sandbox_.Context().registry;
    platform::RegKey key;
    ASSERT_EQ(registry.CreateKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                                 nestora::kProgramKeyPath, platform::KEY_ALL_ACCESS, key),
              win::ERROR_SUCCESS);
    const auto bytes = platform::RegSzBytes(text);
    ASSERT_EQ(registry.SetValue(key, nestora::kUserTypeValue, platform::REG_SZ, bytes.data(),
                                static_cast<win::DWORD>(bytes.size())),
              win::ERROR_SUCCESS);
}

void DialogTest::Start() {
    dialog_ = std::make_unique<nestora::CNestoraDlg>(host_, sandbox_.Context(), operations_);
    host_.Attach(*dialog_);
    dialog_->OnInitDialog();
}

void DialogTest::StartAndLoad() {
    Start();
    ASSERT_TRUE(host_.WaitFor([this] { return dialog_->Config().loaded.load(); }));
    dialog_->OnDocumentComplete();
    host_.RunPostedWork();
}

void DialogTest::RunPass() {
    dialog_->check(0);
    ASSERT_TRUE(host_.AdvanceUntil([this] { return !LastState(0, 3).empty(); }, 5000));
}

void DialogTest::AllGood() {
    for (const char* name :
         {"registry", "hosts", "homepage", "security", "trusted", "dns", "certs"})
        checkResult_[name] = true;
    serviceOk_ = true;
    detectedStatus_ = {0, 0, 0, 0, 0};
}

std::vector<std::string> DialogTest::States() const {
    return StatesSince(0);
}

std::vector<std::string> DialogTest::StatesSince(size_t first) const {
    std::vector<std::string> states;
    const std::vector<PageCall> calls = host_.StateCalls();
    for (size_t i = first; i < calls.size(); ++i) {
        const auto& args = calls[i].arguments;
        std::string text = ArgumentText(args.at(0)) + "/" + ArgumentText(args.at(1)) + "=";
        for (size_t a = 2; a < args.size(); ++a)
            text += (a > 2 ? "," : "") + ArgumentText(args[a]);
        states.push_back(text);
    }
    return states;
}

std::string DialogTest::LastState(int category, int item) const {
    const std::string prefix = std::to_string(category) + "/" + std::to_string(item) + "=";
    std::string last;
    for (const std::string& state : States()) {
        if (state.starts_with(prefix))
            last = state.substr(prefix.size());
    }
    return last;
}

bool DialogTest::GuideShown() const {
    for (const PageCall& call : host_.PageCalls()) {
        if (call.function == "showguide")
            return true;
    }
    return false;
}

}  // namespace nestora_test
