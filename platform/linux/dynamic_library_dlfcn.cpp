// Dynamic libraries over dlopen / dlsym. A library is opened with its symbols resolved at once
// and kept private to it, as a Windows library's imports are bound at load and its exports
// are reached only through GetProcAddress.
#include <dlfcn.h>

#include <filesystem>
#include <utility>

#include "platform/dynamic_library.h"
#include "platform/files.h"

namespace platform {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        FreeLibrary();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

DynamicLibrary DynamicLibrary::LoadLibraryW(const FileSystem& files, std::string_view windowsPath) {
    const std::filesystem::path path = files.ToLinuxPath(windowsPath);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        SetLastError(win::ERROR_MOD_NOT_FOUND);
        return {};
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(win::ERROR_MOD_NOT_FOUND);
        return {};
    }
    return DynamicLibrary(handle);
}

void* DynamicLibrary::GetProcAddress(const char* name) const {
    if (!handle_) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        SetLastError(win::ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return address;
}

void DynamicLibrary::FreeLibrary() {
    if (handle_)
        dlclose(std::exchange(handle_, nullptr));
}

}  // namespace platform
