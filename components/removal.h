// Removal of a component: its configured uninstaller, waited for with its child processes, or,
// when that uninstaller is not on the computer, fixed command lists for the two controls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/config_records.h"

namespace platform {
struct Context;
class FileSystem;
}  // namespace platform

namespace components {

constexpr std::string_view kRemovalWarningText =
    "为避免卸载出现问题，请您在卸载前关闭浏览器！点击确定继续卸载。。。";
constexpr std::string_view kRemovalWarningCaption = "提示";

// What the removal needs from the dialog; user-interface thread.
class RemovalHost {
public:
    virtual ~RemovalHost() = default;
    // The OK-only message box kRemovalWarningText / kRemovalWarningCaption, without owner;
    // returns when the user has pressed OK.
    virtual void ShowRemovalWarning() = 0;
    // check(0): a new check pass.
    virtual void StartCheckPass() = 0;
};

// One command of a fixed removal list, run through the command interpreter.
struct RemovalCommand {
    std::string command;
    // Run with the thread's file-system redirection switched off (the 64-bit file).
    bool redirectionOff = false;

    friend bool operator==(const RemovalCommand&, const RemovalCommand&) = default;
};

// This 32-bit program runs on 64-bit Windows.
bool IsWow64(const platform::Context& context);

// The fixed removal commands for item n (1 the password control, 2 the signing control),
// chosen by the files present; empty for any other item.
std::vector<RemovalCommand> FixedRemovalCommands(platform::FileSystem& files, int n, bool wow64);

// uninstall(n), n 1-based: runs the first uninstaller of type "cmd" and waits for it and its
// children, or warns and runs the fixed list when its file is missing; then a check pass.
// Nothing happens for an n out of range, an item without uninstallers, or another type.
void UninstallItem(platform::Context& context, const std::vector<config::ComponentItem>& items,
                   int n, RemovalHost& host);

}  // namespace components
