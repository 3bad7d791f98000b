// The dialog's calls into the page: setState with numbers or a text, clearState and showguide.
// User-interface thread only. Results of the calls are not looked at: a page that is not there
// simply shows nothing.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "dialog/dialog_host.h"

namespace nestora {

class UiBridge {
public:
    explicit UiBridge(DialogHost& host) : host_(host) {}

    win::HRESULT CallPageFunction(std::string_view name, const std::vector<PageArg>& arguments) {
        return host_.CallPageFunction(name, arguments);
    }
    void SetPageState(int category, int item, std::int32_t value) {
        CallPageFunction("setState", {category, item, value});
    }
    void SetPageStateText(int category, int item, std::string_view text) {
        CallPageFunction("setState", {category, item, std::string(text)});
    }
    // Category 0: item 0 the check progress, item 1 the download progress.
    void SetProgress(int item, std::int32_t percent) { SetPageState(0, item, percent); }
    void SetStatus(std::int32_t code) { SetPageState(0, 2, code); }
    void ClearState(int category, int item) { CallPageFunction("clearState", {category, item}); }
    void ShowGuide() { CallPageFunction("showguide", {}); }

private:
    DialogHost& host_;
};

}  // namespace nestora
