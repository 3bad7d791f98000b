#include "res/string_table.h"

#include <array>
#include <utility>

namespace res {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 15> kStrings{{
    {IDS_APP_TITLE, "汀岚银行网银助手"},
    {IDS_UPDATE_READY, "应用程序有更新，并且已经下载完毕\n是否立即应用更新"},
    {IDS_SSL_CACHE_CLEARED, "SSL缓存清除成功"},
    {IDS_UPDATE_OFFERED, "有更新"},
    {IDS_UPDATE_NOW, "立即更新程序"},
    {IDS_UPDATE_NEXT_START, "下次启动更新"},
    {IDS_DOWNLOAD_FAILED_ASK, "下载失败，是否继续下一个"},
    {IDS_DOWNLOAD_ERROR, "下载发生错误"},
    {IDS_DOWNLOAD_CONTINUE, "继续下载下一项"},
    {IDS_DOWNLOAD_STOP, "停止下载"},
    {IDS_INSTALL_FAILED_ASK, "安装失败，是否继续下一个"},
    {IDS_INSTALL_ERROR, "安装时发生了一个错误"},
    {IDS_INSTALL_CONTINUE, "继续安装下一项"},
    {IDS_INSTALL_STOP, "停止安装"},
    {IDS_NETWORK_FAILED, "网络检测失败，请确认您的网络正常后，重试！"},
}};

}  // namespace

std::string_view LoadString(int id) {
    for (const auto& [stringId, text] : kStrings) {
        if (stringId == id)
            return text;
    }
    return {};
}

}  // namespace res
