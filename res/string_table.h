// The program's string table (Chinese, PRC): the texts of the prompts by identifier.
#pragma once

#include <string_view>

namespace res {

constexpr int IDS_APP_TITLE = 136;
constexpr int IDS_UPDATE_READY = 139;
constexpr int IDS_SSL_CACHE_CLEARED = 141;
constexpr int IDS_UPDATE_OFFERED = 142;
constexpr int IDS_UPDATE_NOW = 143;
constexpr int IDS_UPDATE_NEXT_START = 144;
constexpr int IDS_DOWNLOAD_FAILED_ASK = 145;
constexpr int IDS_DOWNLOAD_ERROR = 146;
constexpr int IDS_DOWNLOAD_CONTINUE = 147;
constexpr int IDS_DOWNLOAD_STOP = 148;
constexpr int IDS_INSTALL_FAILED_ASK = 149;
constexpr int IDS_INSTALL_ERROR = 150;
constexpr int IDS_INSTALL_CONTINUE = 151;
constexpr int IDS_INSTALL_STOP = 152;
constexpr int IDS_NETWORK_FAILED = 155;

// The text of a string identifier (UTF-8); empty for an identifier the table does not hold,
// as LoadString gives nothing for a missing string.
std::string_view LoadString(int id);

}  // namespace res
