#include "config/check_config.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "config/download_path.h"
#include "config/install_condition.h"
#include "config/local_path.h"
#include "config/resolve_url.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/windows_profile.h"
#include "xml/xml_document.h"

namespace config {
namespace {

// What loading one document needs besides the document: the platform for local paths, the
// Windows version for installer conditions, and the base address read from the root.
struct Loader {
    XmlDocument& xml;
    platform::FileSystem& files;
    bool isNt6OrLater;
    std::string base;
};

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Leading white space, an optional sign, then decimal digits up to the first other character;
// 0 when no digit follows. Values beyond 32 bits saturate instead of wrapping.
std::int32_t ParseLeadingInteger(std::string_view text) {
    size_t position = 0;
    while (position < text.size() && IsWhiteSpace(text[position])) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        magnitude = std::min(magnitude * 10 + (text[position] - '0'), kLimit);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

ConfigEntry ReadEntry(XmlDocument& xml, std::string_view sectionType) {
    ConfigEntry entry;
    entry.text = xml.GetText();
    if (sectionType == "dns") {
        entry.name = xml.GetAttribute("name");
        entry.value = xml.GetAttribute("ip");
    } else if (sectionType == "registry") {
        entry.name = xml.GetAttribute("name");
        entry.type = xml.GetAttribute("type");
        entry.value = xml.GetAttribute("value");
        entry.mask = xml.GetAttribute("mask");
    }
    return entry;
}

// The `config` element at the current position: its entries go to the section of its type,
// which is created (even without entries) the first time the type appears.
void LoadSection(XmlDocument& xml, CheckConfig& config) {
    const std::string type = xml.GetAttribute("type");
    ConfigSection* existing = config.FindSection(type);
    ConfigSection fresh{type, {}};
    ConfigSection& section = existing ? *existing : fresh;
    xml.Enter();
    while (xml.FindNext("entry")) {
        section.entries.push_back(ReadEntry(xml, type));
    }
    xml.Leave();
    if (!existing) {
        config.sections.push_back(std::move(fresh));
    }
}

ComponentFile ReadComponentFile(Loader& loader) {
    XmlDocument& xml = loader.xml;
    ComponentFile file;
    const std::string local = xml.GetAttribute("local");
    file.localPath = ExpandLocalPath(loader.files, local);
    file.install = xml.GetAttribute("install");
    file.url = ResolveUrl(xml.GetAttribute("remote"), loader.base);
    file.version = xml.GetAttribute("version");
    file.md5 = xml.GetAttribute("md5");
    file.text = xml.GetText();
    // A `local` that does not fit a Windows path stays empty, so the file counts as missing
    // rather than being looked for somewhere else.
    if (local.empty()) {
        file.localPath = MakeDownloadPath(loader.files, file.url);
    }
    return file;
}

InstallerRule ReadInstaller(Loader& loader) {
    InstallerRule installer;
    installer.url = ResolveUrl(loader.xml.GetText(), loader.base);
    installer.command = loader.xml.GetAttribute("command");
    installer.md5 = loader.xml.GetAttribute("md5");
    installer.localPath = MakeDownloadPath(loader.files, installer.url);
    return installer;
}

UninstallerRule ReadUninstaller(XmlDocument& xml) {
    return UninstallerRule{xml.GetText(), xml.GetAttribute("type"), xml.GetAttribute("bit")};
}

bool AppliesHere(const Loader& loader) {
    return ConditionMatches(loader.xml.GetAttribute("condition"), loader.isNt6OrLater);
}

// The `item` or `component` element at the current position.
ComponentItem LoadComponentItem(Loader& loader) {
    XmlDocument& xml = loader.xml;
    ComponentItem item;
    item.selectedId = ParseLeadingInteger(xml.GetAttribute("selectedid"));
    item.name = xml.GetAttribute("name");
    item.type = xml.GetAttribute("type");
    item.tips = xml.GetAttribute("tips");
    item.image = xml.GetAttribute("image");
    item.className = xml.GetAttribute("class");
    xml.Enter();
    while (xml.FindNext("detect")) {
        item.detects.push_back(DetectRule{xml.GetText(), xml.GetAttribute("type")});
    }
    xml.Rewind();
    while (xml.FindNext("file")) {
        item.files.push_back(ReadComponentFile(loader));
    }
    xml.Rewind();
    while (xml.FindNext("installer")) {
        if (AppliesHere(loader)) {
            item.installers.push_back(ReadInstaller(loader));
        }
    }
    // The search goes on after the last installer: uninstallers are listed after installers.
    while (xml.FindNext("uninstaller")) {
        if (AppliesHere(loader)) {
            item.uninstallers.push_back(ReadUninstaller(xml));
        }
    }
    xml.Leave();
    return item;
}

void LoadComponentItems(Loader& loader, std::string_view elementName,
                        std::vector<ComponentItem>& into) {
    loader.xml.Rewind();
    while (loader.xml.FindNext(elementName)) {
        into.push_back(LoadComponentItem(loader));
    }
}

void LoadAppInfo(Loader& loader, AppInfo& appInfo) {
    XmlDocument& xml = loader.xml;
    xml.Rewind();
    while (xml.FindNext("appinfo")) {
        appInfo.imperative = xml.GetAttribute("imperative");
        appInfo.version = xml.GetAttribute("version");
        appInfo.remote = xml.GetAttribute("remote");
        appInfo.md5 = xml.GetAttribute("md5");
        appInfo.installer = xml.GetAttribute("installer");
        const std::string& source = appInfo.installer.empty() ? appInfo.remote : appInfo.installer;
        appInfo.localPath = MakeDownloadPath(loader.files, source);
    }
}

}  // namespace

bool CheckConfig::LoadFromXml(std::string_view document, platform::Context& context) {
    XmlDocument xml;
    if (!xml.Parse(std::string(document)) || !xml.FindNext("checkitems")) {
        return false;
    }
    Loader loader{xml, *context.files, IsNt6OrLater(*context.profile), xml.GetAttribute("base")};
    base = loader.base;
    xml.Enter();
    while (xml.FindNext("config")) {
        LoadSection(xml, *this);
    }
    LoadComponentItems(loader, "item", items);
    LoadComponentItems(loader, "component", components);
    LoadAppInfo(loader, appInfo);
    loaded.store(true, std::memory_order_release);
    return true;
}

const ConfigSection* CheckConfig::FindSection(std::string_view type) const {
    for (const ConfigSection& section : sections) {
        if (section.type == type) {
            return &section;
        }
    }
    return nullptr;
}

ConfigSection* CheckConfig::FindSection(std::string_view type) {
    return const_cast<ConfigSection*>(std::as_const(*this).FindSection(type));
}

}  // namespace config
