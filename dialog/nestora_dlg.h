// The main dialog: it owns the run's configuration with the check results and the install
// state, answers the page's `external` methods, and sequences everything through one-shot
// timers on its host. All its handlers run on the host's user-interface thread; its workers
// (configuration fetch, self-update, service probe) hand their results over through atomic
// fields and timers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "components/install_queue.h"
#include "components/removal.h"
#include "config/check_config.h"
#include "dialog/check_steps.h"
#include "dialog/dialog_host.h"
#include "dialog/hosted_dialog.h"
#include "dialog/prompts.h"
#include "dialog/ui_bridge.h"
#include "dialog/user_type.h"
#include "dialog/worker_threads.h"
#include "res/program_icon.h"

namespace platform {
struct Context;
}

namespace nestora {

// Timer ids.
constexpr int kTimerWaitForConfig = 1;
constexpr int kTimerStartPass = 2;
constexpr int kTimerDownloadProgress = 3;
constexpr int kTimerRefresh = 4;
constexpr int kTimerUpdatePrompt = 5;
constexpr int kTimerInstallStatus = 6;
constexpr int kTimerWaitForService = 7;
constexpr int kTimerFirstStep = 8;
constexpr int kTimerServiceStep = 13;
constexpr int kTimerPassEnd = 18;

enum class Progress { Done, Pending };

class CNestoraDlg : public HostedDialog,
                    private components::InstallHost,
                    private components::RemovalHost {
public:
    // With the program's own operations on `context`.
    CNestoraDlg(DialogHost& host, platform::Context& context);
    CNestoraDlg(DialogHost& host, platform::Context& context, CheckOperations operations);
    // Waits for the workers that still run, since they use the dialog.
    ~CNestoraDlg() override;
    CNestoraDlg(const CNestoraDlg&) = delete;
    CNestoraDlg& operator=(const CNestoraDlg&) = delete;

    // --- what the host calls ---
    void OnInitDialog() override;
    void OnDocumentComplete() override;
    void OnTimer(int id) override;
    bool InvokeExternal(std::string_view method, int argument, int& result) override;

    // --- the page's `external` methods ---
    void install(int item);
    void fix(int repair);
    void check(int ignored);
    void stop(int ignored);
    void setusertype(int userType);
    int getusertype();
    void uninstall(int item);
    void link(int site);

    // --- operations other parts use ---
    int GetUserType() const { return m_userKey.Get(); }
    void SetUserType(int userType) { m_userKey.Set(userType); }
    Progress StartAfterConfig();
    Progress TakeServiceResult();
    void ReportItem(int item);
    void ReportVerdict();
    const Prompts& GetPrompts() const { return m_prompts; }
    UiBridge& Ui() { return m_ui; }

    // What the install worker and the download hand to the page through timers 3 and 6; any
    // thread. The progress is shown while `downloading` holds.
    void SetDownloading(bool downloading) override {
        m_bDownloading.store(downloading, std::memory_order_release);
    }
    void SetDownloadPercent(std::uint32_t percent) override {
        m_nDownloadPercent.store(percent, std::memory_order_release);
    }
    // Stores the status code (1 done, 2 downloading, 3 installing) and arms timer 6 at once.
    void PostInstallStatus(std::int32_t status) override {
        m_nInstallStatus.store(status, std::memory_order_release);
        m_host.SetTimer(kTimerInstallStatus, 0);
    }

    // The configuration thread's work: fetch item.xml and load it, or tell the user and close.
    void ConfigFetchThread();
    // The ConfigUrl override of the program's key, or "".
    std::string ReadConfigUrl() const;

    // --- state, for hosts and tests ---
    config::CheckConfig& Config() { return m_config; }
    const config::CheckConfig& Config() const { return m_config; }
    // A check pass has been accepted and has not reached its end (step 18) yet.
    bool IsPassRunning() const { return m_bPassRunning; }
    // An install worker has been started and has not ended yet.
    bool IsInstallBusy() const { return m_installQueue.IsBusy() || m_installQueue.HasWorker(); }
    const components::InstallQueue& GetInstallQueue() const { return m_installQueue; }
    int RunningWorkers() const { return m_workers.Running(); }

private:
    struct CheckStep;
    static const CheckStep kCheckSteps[];

    void RunCheckStep(int timerId);
    void ReportVerdictItem(int item, bool ok) { m_ui.SetPageState(1, item, ok ? 0 : 1); }
    void StepRegistry();
    void StepHosts();
    void StepRootCertificates();
    void StepNetwork();
    void StepDns();
    void StepService();
    void StepProxy() {}
    void StepHomepage();
    void StepSecurityLevel();
    void StepTrustedSites();
    void EndPass();

    void RefreshComponents();
    void ShowDownloadProgress();
    void ShowInstallStatus();
    void OfferUpdate();
    void ApplyUpdate();
    void RunUpdateInstaller();
    void RestartWithUpdate();
    bool IsItemCounted(const config::ComponentItem& item, int itemNumber) const;
    bool ProbeBankServer();

    // What the install worker and the removal reach the dialog through.
    void ArmDownloadProgressTimer(unsigned milliseconds) override {
        m_host.SetTimer(kTimerDownloadProgress, milliseconds);
    }
    void ArmRefreshTimer(unsigned milliseconds) override {
        m_host.SetTimer(kTimerRefresh, milliseconds);
    }
    int AskChoice(const components::ChoicePrompt& prompt) override;
    void StartWorker(std::function<void()> work) override { m_workers.Start(std::move(work)); }
    void ShowRemovalWarning() override;
    void StartCheckPass() override { check(0); }

    void RunRepair(int repair);
    void RepairEverything();
    void ReenableAddOns();

    DialogHost& m_host;
    platform::Context& m_context;
    CheckOperations m_operations;
    UiBridge m_ui;
    Prompts m_prompts;
    config::CheckConfig m_config;
    std::atomic<bool> m_bDownloading{false};
    bool m_bServiceStepDone = false;
    std::atomic<std::uint32_t> m_nDownloadPercent{0};
    std::atomic<std::int32_t> m_nInstallStatus{0};
    UserTypeStore m_userKey;
    std::optional<res::Icon> m_hIcon;
    bool m_bPassRunning = false;
    // While false (during the one-key repair) single repairs send neither 2999 nor the verdict.
    bool m_bReportAfterRepair = true;
    // The install queue with its lock (m_installLock) and the worker's busy and install-all
    // flags.
    components::InstallQueue m_installQueue;
    // Last member: destroyed first, so the workers end while everything they use is there.
    WorkerThreads m_workers;
};

}  // namespace nestora
