#include "platform/linux/profile_file.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <system_error>

namespace platform {

bool LoadProfileFile(const std::filesystem::path& file, WindowsProfile& profile) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    return ProfileFromJson(text.str(), profile);
}

bool SaveProfileFile(const std::filesystem::path& file, const WindowsProfile& profile) {
    std::filesystem::path temporary = file;
    temporary += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << ProfileToJson(profile) << '\n';
        if (!out.flush())
            return false;
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, file, renameError);
    if (!renameError)
        return true;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
}

}  // namespace platform
