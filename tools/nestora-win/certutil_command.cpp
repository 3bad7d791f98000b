// nestora-win certutil -user -addstore Root|CA FILE: adds the certificate in FILE (DER or
// PEM) to the current user's "ROOT" or "CA" store of the sandbox, replacing an earlier copy.
// FILE is a Windows path on the sandbox's drives ("C:\...") or a path of this system.
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/certificate_store.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/linux/certificate_store_sandbox.h"
#include "platform/text.h"
#include "tools/nestora-win/command.h"

namespace nestora_win {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "usage: nestora-win certutil -user [-f] -addstore Root|CA FILE\n"
    "  adds the certificate in FILE (DER or PEM) to the current user's store\n";

struct AddStoreRequest {
    std::string store;
    std::string file;
};

// Options are written with "-" or "/", in any letter case, as certutil takes them.
std::optional<std::string> OptionName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/'))
        return std::nullopt;
    return platform::AsciiLower(arg.substr(1));
}

// The request, or nothing after telling `err` what is wrong with the arguments.
std::optional<AddStoreRequest> ParseArguments(std::span<const std::string> args,
                                              std::ostream& err) {
    bool currentUser = false;
    std::optional<AddStoreRequest> request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto option = OptionName(args[i]);
        if (option == "user") {
            currentUser = true;
        } else if (option == "f") {
            // Adding always replaces an existing copy; the force option changes nothing.
        } else if (option == "addstore" && i + 2 < args.size() && !request) {
            request = AddStoreRequest{args[i + 1], args[i + 2]};
            i += 2;
        } else {
            err << "CertUtil: unexpected argument '" << args[i] << "'\n" << kUsage;
            return std::nullopt;
        }
    }
    if (!request) {
        err << "CertUtil: -addstore STORE FILE is missing\n" << kUsage;
        return std::nullopt;
    }
    if (!currentUser) {
        err << "CertUtil: only the current user's stores exist in the sandbox: add -user\n";
        return std::nullopt;
    }
    return request;
}

bool IsWindowsPath(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::optional<std::vector<std::uint8_t>> ReadCertificateFile(platform::Context& context,
                                                             const std::string& file) {
    const std::filesystem::path path = IsWindowsPath(file) && context.files
                                           ? context.files->ToLinuxPath(file)
                                           : std::filesystem::path(file);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    if (in.bad())
        return std::nullopt;
    return bytes;
}

int RunCertutil(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    const auto request = ParseArguments(args, io.err);
    if (!request)
        return kUsageError;

    if (!context.certificates) {
        io.err << "CertUtil: the sandbox has no certificate stores\n";
        return kFailure;
    }
    auto store = context.certificates->OpenSystemStore(request->store);
    if (!store) {
        io.err << "CertUtil: -addstore command FAILED: unknown store '" << request->store
               << "' (Root or CA)\n";
        return kFailure;
    }
    const auto bytes = ReadCertificateFile(context, request->file);
    if (!bytes) {
        io.err << "CertUtil: -addstore command FAILED: cannot read " << request->file << '\n';
        return kFailure;
    }
    const auto certificate = platform::DecodeCertificateFile(*bytes);
    if (!certificate) {
        io.err << "CertUtil: -addstore command FAILED: " << request->file
               << " holds no certificate (DER or PEM expected)\n";
        return kFailure;
    }
    if (store->AddEncodedCertificate(*certificate) != win::ERROR_SUCCESS) {
        io.err << "CertUtil: -addstore command FAILED: the store cannot be written\n";
        return kFailure;
    }
    io.out << "Certificate added to store " << request->store << ".\n"
           << "CertUtil: -addstore command completed successfully.\n";
    return kSuccess;
}

}  // namespace

NESTORA_WIN_COMMAND("certutil", "certutil -user [-f] -addstore Root|CA FILE", RunCertutil);

}  // namespace nestora_win
