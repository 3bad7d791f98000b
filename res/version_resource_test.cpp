#include "res/version_resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "components/file_checks.h"
#include "platform/files.h"
#include "platform/text.h"
#include "res/version.h"
#include "tests/support/temp_sandbox.h"

namespace res {
namespace {

unsigned Word(std::span<const unsigned char> bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

TEST(VersionResource, BlockLengthCoversTheRecordAndTheDescriptionIsInUtf16) {
    const std::span<const unsigned char> bytes = VersionResourceBytes();
    ASSERT_GE(bytes.size(), 92u);
    EXPECT_EQ(Word(bytes, 0), bytes.size()) << "the root block holds everything";
    EXPECT_EQ(Word(bytes, 2), 52u);
    const std::u16string description = platform::Utf8ToUtf16(kFileDescription);
    const std::string wanted(reinterpret_cast<const char*>(description.data()),
                             description.size() * 2);
    const std::string all(bytes.begin(), bytes.end());
    EXPECT_NE(all.find(wanted), std::string::npos);
}

TEST(VersionResource, TheBuiltProgramCarriesItsVersions) {
    const char* binDir = std::getenv("NESTORA_BIN_DIR");
    ASSERT_NE(binDir, nullptr);
    nestora_test::TempSandbox sandbox;
    platform::FileSystem& files = *sandbox.Context().files;
    const std::filesystem::path copy = files.ToLinuxPath("C:\\p\\nestora.exe");
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(std::filesystem::path(binDir) / "nestora", copy);

    components::VsFixedFileInfo info;
    ASSERT_TRUE(components::ReadFileVersion(files, "C:\\p\\nestora.exe", info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(info.dwFileVersionLS, 0x00000004u);
    EXPECT_EQ(info.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(info.dwProductVersionLS, 0x00000002u);
}

}  // namespace
}  // namespace res
