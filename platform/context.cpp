#include "platform/context.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/certificate_store.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/linux/certificate_store_sandbox.h"
#include "platform/linux/file_descriptor.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/internet_curl.h"
#include "platform/linux/processes_linux.h"
#include "platform/linux/profile_file.h"
#include "platform/linux/registry_sqlite.h"
#include "platform/linux/resolver_linux.h"
#include "platform/linux/ssl_cache_linux.h"
#include "platform/linux/zones_registry.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/resolver.h"
#include "platform/sandbox.h"
#include "platform/ssl_cache.h"
#include "platform/windows_profile.h"
#include "platform/zones.h"

namespace platform {
namespace {

// The saved profile, or the default one saved for the next opening.
std::unique_ptr<WindowsProfile> LoadOrCreateProfile(const SandboxLayout& layout) {
    auto profile = std::make_unique<WindowsProfile>();
    if (LoadProfileFile(layout.ProfileFile(), *profile))
        return profile;
    std::error_code error;
    if (std::filesystem::exists(layout.ProfileFile(), error))
        return nullptr;  // unreadable
    if (!SaveProfileFile(layout.ProfileFile(), *profile))
        return nullptr;
    return profile;
}

bool SeedOnce(const SandboxLayout& layout, Registry& registry, const WindowsProfile& profile) {
    std::error_code error;
    if (std::filesystem::exists(layout.SeededMarker(), error))
        return true;
    if (SeedRegistry(registry, profile) != win::ERROR_SUCCESS)
        return false;
    std::ofstream marker(layout.SeededMarker());
    return static_cast<bool>(marker << "seeded\n");
}

}  // namespace

Context::Context() = default;
Context::Context(Context&&) noexcept = default;
Context& Context::operator=(Context&&) noexcept = default;
Context::~Context() = default;

std::filesystem::path DefaultSandboxRoot() {
    if (const char* root = std::getenv("NESTORA_ROOT"); root && *root)
        return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::filesystem::path(data) / "nestora";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share" / "nestora";
}

std::unique_ptr<Context> OpenSandbox(const std::filesystem::path& root) {
    std::error_code error;
    const SandboxLayout layout{std::filesystem::absolute(root, error).lexically_normal()};
    if (error)
        return nullptr;
    std::filesystem::create_directories(layout.root, error);
    if (error)
        return nullptr;

    auto context = std::make_unique<Context>();
    context->root = layout.root;
    {
        // Two processes opening a new sandbox at once seed it one after the other.
        const LockedFile lock(layout.LockFile());
        if (!lock.IsOpen())
            return nullptr;
        context->profile = LoadOrCreateProfile(layout);
        if (!context->profile)
            return nullptr;
        if (!EnsureDriveC(layout, *context->profile))
            return nullptr;
        context->registry =
            MakeSqliteRegistry(layout.RegistryDatabase(), context->profile->Is64Bit());
        if (!context->registry)
            return nullptr;
        if (!SeedOnce(layout, *context->registry, *context->profile))
            return nullptr;
    }
    context->files = MakeSandboxFileSystem(layout, *context->profile);
    context->processes = MakeLinuxProcesses(*context->files, *context->profile, layout.root,
                                            DefaultCommandToolPath());

    // The services that work on the sandbox or on the machine itself.
    context->internet = MakeCurlInternet(layout.root);
    const auto hostsFile =
        context->files->ToLinuxPath("C:\\Windows\\System32\\drivers\\etc\\hosts");
    context->resolver = MakeSystemResolver(hostsFile);
    context->certificates = MakeSandboxCertificateStores(layout.root);
    context->zones = MakeRegistryZones(*context);
    context->sslCache = MakeLinuxSslCache(layout.root);
    return context;
}

}  // namespace platform
