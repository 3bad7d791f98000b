// The one object through which the program reaches the operating system. Each facility is an
// interface with Windows semantics; OpenSandbox fills them with the Linux services working on
// a sandbox folder, and tests may replace any of them with a fake.
#pragma once

#include <filesystem>
#include <memory>

namespace platform {

class WindowsProfile;
class Registry;
class FileSystem;
class Processes;
class Internet;
class Resolver;
class CertificateStores;
class InternetZones;
class SslCache;

struct Context {
    std::filesystem::path root;  // the sandbox folder
    std::unique_ptr<WindowsProfile> profile;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<FileSystem> files;
    std::unique_ptr<Processes> processes;
    std::unique_ptr<Internet> internet;
    std::unique_ptr<Resolver> resolver;
    std::unique_ptr<CertificateStores> certificates;
    std::unique_ptr<InternetZones> zones;
    std::unique_ptr<SslCache> sslCache;

    Context();
    Context(Context&&) noexcept;
    Context& operator=(Context&&) noexcept;
    ~Context();
};

// $NESTORA_ROOT, else ${XDG_DATA_HOME:-$HOME/.local/share}/nestora.
std::filesystem::path DefaultSandboxRoot();

// Opens the sandbox at `root` with the Linux services, creating and seeding it on first use.
// Returns null when the folder cannot be created or its registry cannot be opened.
std::unique_ptr<Context> OpenSandbox(const std::filesystem::path& root);

}  // namespace platform
