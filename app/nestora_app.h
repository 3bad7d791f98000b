// The application's start: finish a self-update hand-over (/update), make sure only one copy
// runs on the sandbox, then run the main dialog on the chosen host until it ends.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace platform {
struct Context;
}

namespace nestora {

// The single-instance mutex's name.
constexpr const char* kSingleInstanceMutex = "66D06933-DE4C-4C5F-864A-33DC5742B60E";
// How long a copy started with /update waits for the old copy to go.
constexpr std::chrono::seconds kUpdateHandOverLimit{30};

class CNestoraApp {
public:
    // `arguments` without the program path. Returns the process's exit code.
    int InitInstance(const std::vector<std::string>& arguments);
};

// Deletes "<program file>.old", retrying every 100 ms while the old copy still holds it, until
// `deadline`. True when the file is gone.
bool RemoveOldProgramFile(platform::Context& context,
                          std::chrono::steady_clock::time_point deadline);

}  // namespace nestora
