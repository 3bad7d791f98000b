#include "config/config_json.h"

namespace config {
namespace {

using Json = nlohmann::ordered_json;

Json SectionToJson(const ConfigSection& section) {
    Json entries = Json::array();
    for (const ConfigEntry& entry : section.entries) {
        entries.push_back({{"text", entry.text},
                           {"name", entry.name},
                           {"type", entry.type},
                           {"value", entry.value},
                           {"mask", entry.mask}});
    }
    return {{"type", section.type}, {"entries", std::move(entries)}};
}

Json DetectsToJson(const std::vector<DetectRule>& detects) {
    Json list = Json::array();
    for (const DetectRule& detect : detects) {
        list.push_back({{"type", detect.type}, {"value", detect.value}});
    }
    return list;
}

Json InstallersToJson(const std::vector<InstallerRule>& installers) {
    Json list = Json::array();
    for (const InstallerRule& installer : installers) {
        list.push_back({{"url", installer.url},
                        {"command", installer.command},
                        {"localPath", installer.localPath},
                        {"md5", installer.md5}});
    }
    return list;
}

Json UninstallersToJson(const std::vector<UninstallerRule>& uninstallers) {
    Json list = Json::array();
    for (const UninstallerRule& uninstaller : uninstallers) {
        list.push_back({{"command", uninstaller.command},
                        {"type", uninstaller.type},
                        {"bit", uninstaller.bit}});
    }
    return list;
}

Json FilesToJson(const std::vector<ComponentFile>& files) {
    Json list = Json::array();
    for (const ComponentFile& file : files) {
        list.push_back({{"text", file.text},
                        {"localPath", file.localPath},
                        {"url", file.url},
                        {"version", file.version},
                        {"md5", file.md5},
                        {"install", file.install}});
    }
    return list;
}

Json ItemToJson(const ComponentItem& item) {
    return {{"name", item.name},
            {"type", item.type},
            {"tips", item.tips},
            {"image", item.image},
            {"class", item.className},
            {"selectedId", item.selectedId},
            {"status", item.status},
            {"detects", DetectsToJson(item.detects)},
            {"installers", InstallersToJson(item.installers)},
            {"uninstallers", UninstallersToJson(item.uninstallers)},
            {"files", FilesToJson(item.files)}};
}

Json ItemsToJson(const std::vector<ComponentItem>& items) {
    Json list = Json::array();
    for (const ComponentItem& item : items) {
        list.push_back(ItemToJson(item));
    }
    return list;
}

Json AppInfoToJson(const AppInfo& appInfo) {
    return {{"imperative", appInfo.imperative},
            {"version", appInfo.version},
            {"remote", appInfo.remote},
            {"localPath", appInfo.localPath},
            {"md5", appInfo.md5},
            {"installer", appInfo.installer}};
}

}  // namespace

nlohmann::ordered_json ConfigToJson(const CheckConfig& config) {
    Json sections = Json::array();
    for (const ConfigSection& section : config.sections) {
        sections.push_back(SectionToJson(section));
    }
    return {{"base", config.base},
            {"sections", std::move(sections)},
            {"items", ItemsToJson(config.items)},
            {"components", ItemsToJson(config.components)},
            {"appInfo", AppInfoToJson(config.appInfo)}};
}

}  // namespace config
