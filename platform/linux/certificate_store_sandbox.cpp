#include "platform/linux/certificate_store_sandbox.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>

#include "platform/sandbox.h"
#include "platform/text.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 2> kStoreNames = {"ROOT", "CA"};

struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Pointer = std::unique_ptr<X509, X509Deleter>;

struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using BioPointer = std::unique_ptr<BIO, BioDeleter>;

// The certificate when `der` is exactly one DER-encoded certificate and nothing more.
X509Pointer ParseDer(std::span<const std::uint8_t> der) {
    const unsigned char* cursor = der.data();
    X509Pointer certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (!certificate || cursor != der.data() + der.size())
        return nullptr;
    return certificate;
}

std::string Sha1Hex(std::span<const std::uint8_t> bytes) {
    std::array<unsigned char, SHA_DIGEST_LENGTH> digest{};
    SHA1(bytes.data(), bytes.size(), digest.data());
    std::string hex;
    for (unsigned char byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

std::optional<EncodedCertificate> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return EncodedCertificate(std::istreambuf_iterator<char>(in), {});
}

// Writes through a temporary file and a rename, so a reader never sees half a certificate.
bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes) {
    const fs::path temporary =
        path.parent_path() / (path.filename().string() + ".tmp" + std::to_string(getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            return false;
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error)
        fs::remove(temporary, error);
    return !error;
}

// The question asked before a root authority is added, shared by the stores and every store
// opened from them.
class PromptSlot {
public:
    void Set(RootAdditionPrompt prompt) {
        std::lock_guard lock(mutex_);
        prompt_ = std::move(prompt);
    }
    // Accepted when no prompt is set.
    bool Accepts(std::span<const std::uint8_t> der) const {
        RootAdditionPrompt prompt;
        {
            std::lock_guard lock(mutex_);
            prompt = prompt_;
        }
        if (!prompt)
            return true;
        const auto summary = SummarizeCertificate(der);
        return summary && prompt(*summary);
    }

private:
    mutable std::mutex mutex_;
    RootAdditionPrompt prompt_;
};

class SandboxCertificateStore : public CertificateStore {
public:
    // `prompt` is set for a store whose new certificates the user must accept.
    SandboxCertificateStore(fs::path folder, std::shared_ptr<const PromptSlot> prompt)
        : folder_(std::move(folder)), prompt_(std::move(prompt)) {}

    win::LONG AddEncodedCertificate(std::span<const std::uint8_t> der) override {
        if (!ParseDer(der))
            return win::ERROR_BAD_FORMAT;
        const fs::path file = folder_ / (Sha1Hex(der) + ".der");
        std::error_code error;
        if (prompt_ && !fs::exists(file, error) && !prompt_->Accepts(der))
            return win::ERROR_CANCELLED;
        return WriteFileAtomically(file, der) ? win::ERROR_SUCCESS : win::ERROR_ACCESS_DENIED;
    }

    std::vector<EncodedCertificate> Certificates() const override {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder_, error)) {
            if (entry.path().extension() == ".der" && entry.is_regular_file(error))
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        std::vector<EncodedCertificate> certificates;
        for (const auto& file : files) {
            if (auto bytes = ReadFileBytes(file); bytes && ParseDer(*bytes)) {
                certificates.push_back(std::move(*bytes));
            }
        }
        return certificates;
    }

private:
    fs::path folder_;
    std::shared_ptr<const PromptSlot> prompt_;
};

class SandboxCertificateStores : public CertificateStores {
public:
    explicit SandboxCertificateStores(fs::path folder) : folder_(std::move(folder)) {}

    std::unique_ptr<CertificateStore> OpenSystemStore(std::string_view name) override {
        const auto known =
            std::find_if(kStoreNames.begin(), kStoreNames.end(),
                         [&](const char* store) { return EqualsIgnoreCase(store, name); });
        if (known == kStoreNames.end())
            return nullptr;
        const fs::path storeFolder = folder_ / *known;
        std::error_code error;
        fs::create_directories(storeFolder, error);
        if (error)
            return nullptr;
        const bool isRoot = std::string_view(*known) == "ROOT";
        return std::make_unique<SandboxCertificateStore>(storeFolder, isRoot ? prompt_ : nullptr);
    }

    void SetRootAdditionPrompt(RootAdditionPrompt prompt) override {
        prompt_->Set(std::move(prompt));
    }

private:
    fs::path folder_;
    std::shared_ptr<PromptSlot> prompt_ = std::make_shared<PromptSlot>();
};

}  // namespace

std::unique_ptr<CertificateStores> MakeSandboxCertificateStores(const fs::path& sandboxRoot) {
    return std::make_unique<SandboxCertificateStores>(
        SandboxLayout{sandboxRoot}.CertificateStores());
}

std::string EncodePemBundle(const std::vector<EncodedCertificate>& certificates) {
    BioPointer bio(BIO_new(BIO_s_mem()));
    if (!bio)
        return {};
    for (const auto& der : certificates) {
        if (X509Pointer certificate = ParseDer(der))
            PEM_write_bio_X509(bio.get(), certificate.get());
    }
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::optional<EncodedCertificate> DecodeCertificateFile(std::span<const std::uint8_t> bytes) {
    if (ParseDer(bytes))
        return EncodedCertificate(bytes.begin(), bytes.end());
    BioPointer bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    if (!bio)
        return std::nullopt;
    X509Pointer certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!certificate)
        return std::nullopt;
    unsigned char* der = nullptr;
    const int size = i2d_X509(certificate.get(), &der);
    if (size <= 0)
        return std::nullopt;
    EncodedCertificate encoded(der, der + size);
    OPENSSL_free(der);
    return encoded;
}

}  // namespace platform
