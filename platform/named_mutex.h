// A named mutex of the user's session, as CreateMutexW with initial ownership gives one: the
// first process to create it owns it until the object goes (or the process ends); another
// process asking for the same name learns that it already exists.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

class NamedMutex {
public:
    virtual ~NamedMutex() = default;
};

// Creates the mutex `name` owned by this process. Null with `error` ERROR_ALREADY_EXISTS when
// another process holds it, or with another code when it cannot be made. The session is the
// sandbox at `sandboxRoot`: programs on different sandboxes do not see each other's mutexes.
std::unique_ptr<NamedMutex> CreateOwnedNamedMutex(const std::filesystem::path& sandboxRoot,
                                                  std::string_view name, win::LONG& error);

}  // namespace platform
