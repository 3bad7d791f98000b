// What a host calls on the dialog it shows: its start, the end of the page's loading, the
// timers, and the page's calls of the `external` object. All on the user-interface thread.
#pragma once

#include <string_view>

namespace nestora {

class HostedDialog {
public:
    virtual ~HostedDialog() = default;

    virtual void OnInitDialog() = 0;
    virtual void OnDocumentComplete() = 0;
    virtual void OnTimer(int id) = 0;
    // A method of `external` by name (install, fix, check, stop, setusertype, getusertype,
    // uninstall, link) with its one argument; `result` receives getusertype's answer (0 for
    // the others). False for a name `external` does not have.
    virtual bool InvokeExternal(std::string_view method, int argument, int& result) = 0;
};

}  // namespace nestora
