// The configuration of one run, read from item.xml, together with the results of the checks
// that read it: a check gets one reference through which it reads its section and sets its
// flag.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "config/check_results.h"
#include "config/config_records.h"

namespace platform {
struct Context;
}

namespace config {

struct CheckConfig {
    // Set last by a successful LoadFromXml (release); read it (acquire) before anything else.
    std::atomic<bool> loaded{false};
    CheckResults results;
    std::string base;
    std::vector<ConfigSection> sections;  // merged by type, in order of first appearance
    std::vector<ComponentItem> items;     // item n of the page is items[n - 1]
    std::vector<ComponentItem> components;
    AppInfo appInfo;

    // Reads an item.xml body into the record, appending to the lists and replacing `base` and
    // `appInfo`. False, with nothing stored, when the document is not well formed or its root
    // is not `checkitems`. Local paths are computed with the context's files (the DownTmp
    // folder is created) and installers are chosen for the context's Windows version.
    bool LoadFromXml(std::string_view document, platform::Context& context);

    // The section whose type equals `type` byte for byte, or null.
    const ConfigSection* FindSection(std::string_view type) const;
    ConfigSection* FindSection(std::string_view type);
};

}  // namespace config
