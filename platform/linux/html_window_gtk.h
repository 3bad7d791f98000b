// The HTML window over GTK 3 and WebKitGTK 4.1. Only this file and its source see GTK and WebKit.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/html_window.h"

typedef struct _GMainLoop GMainLoop;
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkDialog GtkDialog;
typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GdkEventKey GdkEventKey;
typedef union _GdkEvent GdkEvent;
typedef struct _WebKitUserContentManager WebKitUserContentManager;
typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitURISchemeRequest WebKitURISchemeRequest;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitJavascriptResult WebKitJavascriptResult;
typedef struct _WebKitContextMenu WebKitContextMenu;
typedef struct _WebKitHitTestResult WebKitHitTestResult;

namespace platform {

class GtkHtmlWindow : public HtmlWindow {
public:
    // GTK must have been initialised on the calling thread.
    GtkHtmlWindow(HtmlWindowOptions options, HtmlWindowCallbacks callbacks);
    ~GtkHtmlWindow() override;
    GtkHtmlWindow(const GtkHtmlWindow&) = delete;
    GtkHtmlWindow& operator=(const GtkHtmlWindow&) = delete;

    int Run() override;
    void Quit(int exitCode) override;
    void SetInjectedValue(int value) override;
    bool EvaluateScript(const std::string& script) override;
    void ArmTimer(int id, unsigned milliseconds) override;
    void CancelTimer(int id) override;
    void Post(std::function<void()> work) override;
    void SetIcon(std::span<const std::uint8_t> png, bool big) override;
    int ShowTaskDialog(const TaskDialogPrompt& prompt) override;
    int ShowMessageBox(const MessageBoxPrompt& prompt) override;

private:
    struct PromptWait;
    struct TimerTick;

    bool IsUiThread() const;
    void MarkClosed();
    std::string ExternalScript() const;
    void InstallUserScripts();
    void Evaluate(const std::string& script);
    void ArmTimerOnUi(int id, unsigned milliseconds);
    void CancelTimerOnUi(int id);
    GtkWidget* NewPromptWindow(const std::string& title, bool owned);
    GtkWidget* BuildTaskDialog(const TaskDialogPrompt& prompt, bool owned);
    GtkWidget* BuildMessageBox(const MessageBoxPrompt& prompt, bool owned);
    int ShowPrompt(std::function<GtkWidget*(bool owned)> build, int closedResult, int unavailable);

    static void OnResourceRequest(WebKitURISchemeRequest* request, void* data);
    static void OnLoadChanged(WebKitWebView* view, int event, void* data);
    static void OnExternalMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result,
                                  void* data);
    static void OnTestMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result,
                              void* data);
    static int OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                             WebKitHitTestResult* hit, void* data);
    static int OnKeyPress(GtkWidget* widget, GdkEventKey* event, void* data);
    static int OnDeleteEvent(GtkWidget* widget, GdkEvent* event, void* data);
    static int OnTimerTick(void* data);
    static void OnPromptResponse(GtkDialog* dialog, int response, void* data);

    HtmlWindowOptions options_;
    HtmlWindowCallbacks callbacks_;
    const std::thread::id uiThread_;
    GMainLoop* loop_;
    WebKitUserContentManager* contentManager_ = nullptr;
    WebKitWebContext* webContext_ = nullptr;
    GtkWidget* webView_ = nullptr;
    GtkWidget* window_ = nullptr;
    GdkPixbuf* bigIcon_ = nullptr;  // owned references
    GdkPixbuf* smallIcon_ = nullptr;
    int injectedValue_ = -1;
    bool pageLoading_ = false;
    bool documentLoaded_ = false;
    std::map<int, unsigned> timers_;    // pending timer id -> GLib source id; UI thread only
    std::set<GtkWidget*> openPrompts_;  // UI thread only
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);  // expires with the window

    std::mutex mutex_;  // the end of the loop and the prompts waiting for an answer
    std::condition_variable answered_;
    bool quitting_ = false;
    bool closed_ = false;
    int exitCode_ = 0;
    std::set<PromptWait*> prompts_;
};

}  // namespace platform
