// Which Windows program a command stands for. Started by a 32-bit program under WOW64 (from
// SysWOW64) it is the 32-bit tool and sees System32 through redirection; started as the native
// tool (NESTORA_PROCESS_BITS=64) it sees the real System32.
#pragma once

namespace platform {
struct Context;
}

namespace nestora_win {

// Switches file-system redirection off for the calling thread when the command is the native
// 64-bit tool on a 64-bit profile.
void FollowProcessBits(platform::Context& context);

}  // namespace nestora_win
