// Where a download is kept: the "DownTmp" folder of the temporary folder, under a file name
// taken from the address.
#pragma once

#include <string>
#include <string_view>

namespace platform {
class FileSystem;
}

namespace config {

// The name given to a download whose address ends without a usable file name.
inline constexpr std::string_view kDefaultDownloadName = "download";

// The file name of a download: the last "/"-separated segment of the address before any "?"
// or "#", with every character that could leave the folder or name a device stream ("\",
// "/", ":", control characters, and the characters Windows forbids in names) made "_"; a
// name made only of dots becomes "_". Non-ASCII bytes are kept as they are (UTF-8).
std::string DownloadFileName(std::string_view url);

// "<temp>\DownTmp\<DownloadFileName(url)>", creating the DownTmp folder when it is missing
// (a failure to create it is ignored). Empty for an empty address, and when the path would
// not fit the 260 bytes of a Windows path.
std::string MakeDownloadPath(platform::FileSystem& files, std::string_view url);

}  // namespace config
