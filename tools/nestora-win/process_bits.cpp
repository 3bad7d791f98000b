#include "tools/nestora-win/process_bits.h"

#include <cstdlib>
#include <string_view>

#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/windows_profile.h"

namespace nestora_win {

void FollowProcessBits(platform::Context& context) {
    const char* bits = std::getenv(platform::kProcessBitsVariable);
    if (!bits || std::string_view(bits) != "64" || !context.profile->Is64Bit())
        return;
    bool previous = false;
    context.files->Wow64DisableWow64FsRedirection(previous);
}

}  // namespace nestora_win
