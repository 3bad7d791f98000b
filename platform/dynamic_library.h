// A library of code loaded into the program by its Windows path, as LoadLibraryW,
// GetProcAddress and FreeLibrary do. The object owns the handle: it is freed when the object
// goes. Failures leave a Windows error code in GetLastError().
#pragma once

#include <string_view>

#include "platform/win_types.h"

namespace win {

constexpr LONG ERROR_MOD_NOT_FOUND = 126;   // LoadLibrary: no such file, or it cannot be loaded
constexpr LONG ERROR_PROC_NOT_FOUND = 127;  // GetProcAddress: the library has no such entry

}  // namespace win

namespace platform {

class FileSystem;

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { FreeLibrary(); }
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // LoadLibraryW of a full Windows path, resolved through `files`. An empty object (and
    // ERROR_MOD_NOT_FOUND) when the file is missing or is not a library this system can load.
    static DynamicLibrary LoadLibraryW(const FileSystem& files, std::string_view windowsPath);

    bool IsLoaded() const { return handle_ != nullptr; }
    explicit operator bool() const { return IsLoaded(); }

    // The address of an exported entry point, or null (ERROR_PROC_NOT_FOUND when the library
    // has no such entry, ERROR_INVALID_HANDLE when nothing is loaded).
    void* GetProcAddress(const char* name) const;

    // The typed entry point: the caller names the function type the library exports.
    template <typename Function>
    Function GetProcAddressAs(const char* name) const {
        return reinterpret_cast<Function>(GetProcAddress(name));
    }

    // Releases this handle; the library leaves the process when no other handle holds it.
    void FreeLibrary();

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}

    void* handle_ = nullptr;
};

}  // namespace platform
