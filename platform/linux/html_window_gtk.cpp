// The HTML window over GTK 3 and WebKitGTK: the page comes through the "nestora" URI scheme
// from the resource lookup, `external` is a user script injected at document start whose
// methods post to a script message handler, and everything else runs on the GLib main loop.
#include "platform/linux/html_window_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/text.h"

namespace platform {
namespace {

constexpr const char* kScheme = "nestora";
constexpr const char* kPageUriPrefix = "nestora://page/";
constexpr const char* kExternalHandler = "nestoraExternal";
constexpr const char* kTestHandler = "nestoraTest";
constexpr int kIdCancel = 2;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// What the page needs that the browser does not do by default: no text selection, no
// scroll bars, an arrow cursor, as a dialog shows.
constexpr const char* kDialogStyle =
    "html, body { overflow: hidden !important; -webkit-user-select: none; cursor: default; }";

struct MimeType {
    const char* extension;
    const char* type;
};
constexpr MimeType kMimeTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".htm", "text/html; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".gif", "image/gif"},
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
};

const char* MimeTypeOf(std::string_view name) {
    const std::string lower = AsciiLower(name);
    for (const MimeType& entry : kMimeTypes) {
        const std::string_view extension = entry.extension;
        if (lower.size() >= extension.size() &&
            lower.compare(lower.size() - extension.size(), extension.size(), extension) == 0)
            return entry.type;
    }
    return "application/octet-stream";
}

// Shortcut keys the browser would act on: anything with Control, Alt or Super, the function
// keys and the menu key.
bool IsShortcutKey(const GdkEventKey* event) {
    const guint modifiers = GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_META_MASK;
    return (event->state & modifiers) != 0 ||
           (event->keyval >= GDK_KEY_F1 && event->keyval <= GDK_KEY_F35) ||
           event->keyval == GDK_KEY_Menu;
}

// A new pixbuf (owned by the caller) from PNG bytes; null when they do not decode.
GdkPixbuf* DecodePng(std::span<const std::uint8_t> png) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader)
        return nullptr;
    const bool written = gdk_pixbuf_loader_write(loader, png.data(), png.size(), nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* image = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (image)
        g_object_ref(image);
    g_object_unref(loader);
    return image;
}

}  // namespace

// One prompt waiting for its answer; shared by the asking thread and the dialog's handler.
struct GtkHtmlWindow::PromptWait {
    int result = 0;
    bool done = false;
    int unavailable = 0;  // the result when the prompt cannot be shown or the window closes
    GMainLoop* nestedLoop = nullptr;
};

struct GtkHtmlWindow::TimerTick {
    GtkHtmlWindow* window;
    int id;
};

GtkHtmlWindow::GtkHtmlWindow(HtmlWindowOptions options, HtmlWindowCallbacks callbacks)
    : options_(std::move(options)),
      callbacks_(std::move(callbacks)),
      uiThread_(std::this_thread::get_id()),
      loop_(g_main_loop_new(nullptr, FALSE)) {
    contentManager_ = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(contentManager_, kExternalHandler);
    g_signal_connect(contentManager_, "script-message-received::nestoraExternal",
                     G_CALLBACK(OnExternalMessage), this);
    if (!options_.testScript.empty()) {
        webkit_user_content_manager_register_script_message_handler(contentManager_, kTestHandler);
        g_signal_connect(contentManager_, "script-message-received::nestoraTest",
                         G_CALLBACK(OnTestMessage), this);
    }
    InstallUserScripts();

    // A context of its own, so that its scheme handler is this window's.
    webContext_ = webkit_web_context_new();
    webkit_web_context_register_uri_scheme(webContext_, kScheme, OnResourceRequest, this, nullptr);

    webView_ = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager",
                                       contentManager_, "web-context", webContext_, nullptr));
    gtk_widget_set_size_request(webView_, options_.width, options_.height);
    g_signal_connect(webView_, "context-menu", G_CALLBACK(OnContextMenu), nullptr);
    g_signal_connect(webView_, "load-changed", G_CALLBACK(OnLoadChanged), this);

    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), options_.caption.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    gtk_container_add(GTK_CONTAINER(window_), webView_);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
}

GtkHtmlWindow::~GtkHtmlWindow() {
    MarkClosed();
    {
        std::lock_guard lock(mutex_);
        lifetime_.reset();
    }
    for (const auto& [id, source] : timers_)
        g_source_remove(source);
    for (GtkWidget* prompt : openPrompts_)
        gtk_widget_destroy(prompt);
    gtk_widget_destroy(window_);
    for (GdkPixbuf* icon : {bigIcon_, smallIcon_}) {
        if (icon)
            g_object_unref(icon);
    }
    g_object_unref(webContext_);
    g_object_unref(contentManager_);
    g_main_loop_unref(loop_);
}

int GtkHtmlWindow::Run() {
    gtk_widget_show_all(window_);
    const std::string uri = std::string(kPageUriPrefix) + options_.startPage;
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(webView_), uri.c_str());
    g_main_loop_run(loop_);
    MarkClosed();
    gtk_widget_hide(window_);
    std::lock_guard lock(mutex_);
    return exitCode_;
}

void GtkHtmlWindow::Quit(int exitCode) {
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        if (!quitting_)
            exitCode_ = exitCode;
        quitting_ = true;
        for (PromptWait* wait : prompts_) {
            if (wait->nestedLoop)
                g_main_loop_quit(wait->nestedLoop);
        }
        answered_.notify_all();
    }
    g_main_loop_quit(loop_);
}

void GtkHtmlWindow::MarkClosed() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (PromptWait* wait : prompts_) {
        if (!wait->done) {
            wait->result = wait->unavailable;
            wait->done = true;
        }
    }
    answered_.notify_all();
}

bool GtkHtmlWindow::IsUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

// --- page and script ---

std::string GtkHtmlWindow::ExternalScript() const {
    std::string methods;
    for (const std::string& method : options_.externalMethods)
        methods += (methods.empty() ? "" : ",") + ScriptStringLiteral(method);
    return "(function() {\n"
           "  var value = " +
           std::to_string(injectedValue_) +
           ";\n"
           "  var handler = window.webkit.messageHandlers." +
           kExternalHandler +
           ";\n"
           "  var external = {};\n"
           "  [" +
           methods +
           "].forEach(function(name) {\n"
           "    external[name] = function(n) { handler.postMessage([name, n | 0]); };\n"
           "  });\n"
           "  external[" +
           ScriptStringLiteral(options_.valueMethod) +
           "] = function() { return value; };\n"
           "  Object.defineProperty(window, 'nestoraSetInjectedValue', {\n"
           "    value: function(v) { value = v | 0; } });\n"
           "  Object.defineProperty(window, 'external', {\n"
           "    value: external, writable: false, configurable: true });\n"
           "})();\n";
}

void GtkHtmlWindow::InstallUserScripts() {
    webkit_user_content_manager_remove_all_scripts(contentManager_);
    webkit_user_content_manager_remove_all_style_sheets(contentManager_);
    WebKitUserScript* script =
        webkit_user_script_new(ExternalScript().c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(contentManager_, script);
    webkit_user_script_unref(script);
    WebKitUserStyleSheet* style =
        webkit_user_style_sheet_new(kDialogStyle, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                    WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(contentManager_, style);
    webkit_user_style_sheet_unref(style);
}

void GtkHtmlWindow::SetInjectedValue(int value) {
    if (value == injectedValue_)
        return;
    injectedValue_ = value;
    InstallUserScripts();
    if (pageLoading_)
        Evaluate("window.nestoraSetInjectedValue && nestoraSetInjectedValue(" +
                 std::to_string(value) + ");");
}

bool GtkHtmlWindow::EvaluateScript(const std::string& script) {
    if (!documentLoaded_)
        return false;
    Evaluate(script);
    return true;
}

void GtkHtmlWindow::Evaluate(const std::string& script) {
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(webView_), script.c_str(), -1, nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
}

void GtkHtmlWindow::OnResourceRequest(WebKitURISchemeRequest* request, gpointer data) {
    auto* self = static_cast<GtkHtmlWindow*>(data);
    std::string_view name = webkit_uri_scheme_request_get_path(request);
    while (!name.empty() && name.front() == '/')
        name.remove_prefix(1);
    const std::optional<std::string_view> bytes = self->callbacks_.resource(name);
    if (!bytes) {
        GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no resource %.*s",
                                    static_cast<int>(name.size()), name.data());
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    GInputStream* stream = g_memory_input_stream_new_from_data(
        bytes->data(), static_cast<gssize>(bytes->size()), nullptr);
    webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(bytes->size()),
                                     MimeTypeOf(name));
    g_object_unref(stream);
}

void GtkHtmlWindow::OnLoadChanged(WebKitWebView*, int event, gpointer data) {
    auto* self = static_cast<GtkHtmlWindow*>(data);
    if (event == WEBKIT_LOAD_STARTED) {
        self->pageLoading_ = true;
        self->documentLoaded_ = false;
    } else if (event == WEBKIT_LOAD_FINISHED) {
        self->documentLoaded_ = true;
        if (self->callbacks_.onDocumentComplete)
            self->callbacks_.onDocumentComplete();
        if (!self->options_.testScript.empty()) {
            self->Evaluate(std::string("window.nestoraTestReport = function(text) {"
                                       " window.webkit.messageHandlers.") +
                           kTestHandler + ".postMessage(String(text)); };\n" +
                           self->options_.testScript);
        }
    }
}

void GtkHtmlWindow::OnExternalMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                      gpointer data) {
    auto* self = static_cast<GtkHtmlWindow*>(data);
    JSCValue* message = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_array(message))
        return;
    JSCValue* method = jsc_value_object_get_property_at_index(message, 0);
    JSCValue* argument = jsc_value_object_get_property_at_index(message, 1);
    if (jsc_value_is_string(method) && jsc_value_is_number(argument) &&
        self->callbacks_.onExternal) {
        gchar* name = jsc_value_to_string(method);
        self->callbacks_.onExternal(name, jsc_value_to_int32(argument));
        g_free(name);
    }
    g_object_unref(argument);
    g_object_unref(method);
}

void GtkHtmlWindow::OnTestMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                  gpointer data) {
    auto* self = static_cast<GtkHtmlWindow*>(data);
    gchar* text = jsc_value_to_string(webkit_javascript_result_get_js_value(result));
    if (self->callbacks_.onTestReport)
        self->callbacks_.onTestReport(text);
    g_free(text);
}

gboolean GtkHtmlWindow::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                      WebKitHitTestResult*, gpointer) {
    return TRUE;
}

gboolean GtkHtmlWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
    return IsShortcutKey(event) ? TRUE : FALSE;
}

gboolean GtkHtmlWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkHtmlWindow*>(data)->Quit(0);
    return TRUE;
}

// --- timers and posted work ---

void GtkHtmlWindow::Post(std::function<void()> work) {
    std::weak_ptr<int> window;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        window = lifetime_;
    }
    // Work still queued when the window goes is dropped, not run on a window that is gone.
    struct Posted {
        std::weak_ptr<int> window;
        std::function<void()> work;
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto* posted = static_cast<Posted*>(data);
            if (!posted->window.expired())
                posted->work();
            return G_SOURCE_REMOVE;
        },
        new Posted{std::move(window), std::move(work)},
        [](gpointer data) { delete static_cast<Posted*>(data); });
}

void GtkHtmlWindow::SetIcon(std::span<const std::uint8_t> png, bool big) {
    GdkPixbuf* image = DecodePng(png);
    if (!image)
        return;
    GdkPixbuf*& slot = big ? bigIcon_ : smallIcon_;
    if (slot)
        g_object_unref(slot);
    slot = image;
    GList* icons = nullptr;
    for (GdkPixbuf* icon : {bigIcon_, smallIcon_}) {
        if (icon)
            icons = g_list_append(icons, icon);
    }
    gtk_window_set_icon_list(GTK_WINDOW(window_), icons);
    g_list_free(icons);
}

void GtkHtmlWindow::ArmTimer(int id, unsigned milliseconds) {
    if (IsUiThread())
        ArmTimerOnUi(id, milliseconds);
    else
        Post([this, id, milliseconds] { ArmTimerOnUi(id, milliseconds); });
}

void GtkHtmlWindow::CancelTimer(int id) {
    if (IsUiThread())
        CancelTimerOnUi(id);
    else
        Post([this, id] { CancelTimerOnUi(id); });
}

void GtkHtmlWindow::ArmTimerOnUi(int id, unsigned milliseconds) {
    CancelTimerOnUi(id);
    timers_[id] =
        g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, OnTimerTick, new TimerTick{this, id},
                           [](gpointer data) { delete static_cast<TimerTick*>(data); });
}

void GtkHtmlWindow::CancelTimerOnUi(int id) {
    const auto pending = timers_.find(id);
    if (pending == timers_.end())
        return;
    g_source_remove(pending->second);
    timers_.erase(pending);
}

gboolean GtkHtmlWindow::OnTimerTick(gpointer data) {
    const TimerTick tick = *static_cast<TimerTick*>(data);
    tick.window->timers_.erase(tick.id);
    if (tick.window->callbacks_.onTimer)
        tick.window->callbacks_.onTimer(tick.id);
    return G_SOURCE_REMOVE;
}

// --- prompts ---

GtkWidget* GtkHtmlWindow::NewPromptWindow(const std::string& title, bool owned) {
    GtkWidget* dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    if (owned) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(window_));
        gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    } else {
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    }
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_box_set_spacing(GTK_BOX(area), 10);
    return dialog;
}

GtkWidget* GtkHtmlWindow::BuildTaskDialog(const TaskDialogPrompt& prompt, bool owned) {
    GtkWidget* dialog = NewPromptWindow(prompt.title, owned);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gchar* markup = g_markup_printf_escaped("<span size='large' foreground='#003399'>%s</span>",
                                            prompt.instruction.c_str());
    GtkWidget* instruction = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(instruction), markup);
    g_free(markup);
    GtkWidget* content = gtk_label_new(prompt.content.c_str());
    for (GtkWidget* label : {instruction, content}) {
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_box_pack_start(GTK_BOX(area), label, FALSE, FALSE, 0);
    }
    for (const auto& [id, text] : prompt.commandButtons) {
        GtkWidget* button = gtk_button_new_with_label(("➔ " + text).c_str());
        gtk_widget_set_halign(gtk_bin_get_child(GTK_BIN(button)), GTK_ALIGN_START);
        g_object_set_data(G_OBJECT(button), "response", GINT_TO_POINTER(id));
        g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* clicked, gpointer owner) {
                             gtk_dialog_response(
                                 GTK_DIALOG(owner),
                                 GPOINTER_TO_INT(g_object_get_data(G_OBJECT(clicked), "response")));
                         }),
                         dialog);
        gtk_box_pack_start(GTK_BOX(area), button, FALSE, FALSE, 0);
    }
    if (prompt.commandButtons.empty())
        gtk_dialog_add_button(GTK_DIALOG(dialog), "确定", kIdOk);
    gtk_widget_set_size_request(dialog, 380, -1);
    return dialog;
}

GtkWidget* GtkHtmlWindow::BuildMessageBox(const MessageBoxPrompt& prompt, bool owned) {
    GtkWidget* dialog = NewPromptWindow(prompt.caption, owned);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    if (!prompt.yesNo) {
        gtk_box_pack_start(GTK_BOX(row),
                           gtk_image_new_from_icon_name("dialog-information", GTK_ICON_SIZE_DIALOG),
                           FALSE, FALSE, 0);
    }
    GtkWidget* text = gtk_label_new(prompt.text.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
    gtk_box_pack_start(GTK_BOX(row), text, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(area), row, TRUE, TRUE, 0);
    if (prompt.yesNo) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), "是(_Y)", kIdYes);
        gtk_dialog_add_button(GTK_DIALOG(dialog), "否(_N)", kIdNo);
    } else {
        gtk_dialog_add_button(GTK_DIALOG(dialog), "确定", kIdOk);
    }
    return dialog;
}

int GtkHtmlWindow::ShowTaskDialog(const TaskDialogPrompt& prompt) {
    // Closing a task dialog with command buttons counts as cancelling it.
    const int closed = prompt.commandButtons.empty() ? kIdOk : kIdCancel;
    return ShowPrompt([this, prompt](bool owned) { return BuildTaskDialog(prompt, owned); }, closed,
                      -1);
}

int GtkHtmlWindow::ShowMessageBox(const MessageBoxPrompt& prompt) {
    const int closed = prompt.yesNo ? kIdNo : kIdOk;
    return ShowPrompt([this, prompt](bool owned) { return BuildMessageBox(prompt, owned); }, closed,
                      0);
}

// On the user-interface thread the prompt is modal to the window and a nested loop runs until
// it is answered; a worker hands the prompt to the user-interface thread and waits.
int GtkHtmlWindow::ShowPrompt(std::function<GtkWidget*(bool owned)> build, int closedResult,
                              int unavailable) {
    const bool onUi = IsUiThread();
    PromptWait wait;
    wait.unavailable = unavailable;
    if (onUi)
        wait.nestedLoop = g_main_loop_new(nullptr, FALSE);
    {
        std::lock_guard lock(mutex_);
        if (closed_ || quitting_) {
            if (wait.nestedLoop)
                g_main_loop_unref(wait.nestedLoop);
            return unavailable;
        }
        prompts_.insert(&wait);
    }
    auto open = [this, &wait, build, closedResult, onUi] {
        GtkWidget* dialog = build(onUi);
        g_object_set_data(G_OBJECT(dialog), "closed-result", GINT_TO_POINTER(closedResult));
        g_signal_connect(dialog, "response", G_CALLBACK(OnPromptResponse), this);
        g_object_set_data(G_OBJECT(dialog), "wait", &wait);
        openPrompts_.insert(dialog);
        gtk_widget_show_all(dialog);
    };
    if (onUi) {
        open();
        g_main_loop_run(wait.nestedLoop);
        g_main_loop_unref(wait.nestedLoop);
    } else {
        Post(open);
    }
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return wait.done || closed_ || quitting_; });
    prompts_.erase(&wait);
    return wait.done ? wait.result : unavailable;
}

void GtkHtmlWindow::OnPromptResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto* self = static_cast<GtkHtmlWindow*>(data);
    auto* wait = static_cast<PromptWait*>(g_object_get_data(G_OBJECT(dialog), "wait"));
    const int result = response >= 0
                           ? response
                           : GPOINTER_TO_INT(g_object_get_data(G_OBJECT(dialog), "closed-result"));
    {
        std::lock_guard lock(self->mutex_);
        if (self->prompts_.count(wait) != 0 && !wait->done) {
            wait->result = result;
            wait->done = true;
            if (wait->nestedLoop)
                g_main_loop_quit(wait->nestedLoop);
        }
        self->answered_.notify_all();
    }
    self->openPrompts_.erase(GTK_WIDGET(dialog));
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

std::unique_ptr<HtmlWindow> CreateHtmlWindow(HtmlWindowOptions options,
                                             HtmlWindowCallbacks callbacks) {
    if (!gtk_init_check(nullptr, nullptr))
        return nullptr;
    return std::make_unique<GtkHtmlWindow>(std::move(options), std::move(callbacks));
}

}  // namespace platform
