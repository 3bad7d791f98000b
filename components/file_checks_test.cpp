#include "components/file_checks.h"

#include <gtest/gtest.h>

#include "components/test_files.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

using namespace components::testing;

constexpr const char* kClsid = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";

std::string Le32(win::DWORD value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// A version resource as a program file carries it, behind other bytes.
std::string ProgramWithVersion(win::DWORD ms, win::DWORD ls) {
    const std::u16string key = u"VS_VERSION_INFO";
    std::string block("\x5c\x03\x34\x00\x00\x00", 6);  // wLength, wValueLength 52, wType
    for (char16_t c : key)
        block += {static_cast<char>(c), '\0'};
    block += std::string(2, '\0');  // terminator
    block += std::string(2, '\0');  // padding to a 32-bit boundary
    block += Le32(kFixedFileInfoSignature) + Le32(0x10000) + Le32(ms) + Le32(ls);
    block += Le32(0x00010000) + Le32(2) + std::string(7 * 4, '\0');
    // A key without the record before the real one, as in a string table.
    std::string decoy = "\0\0\0\0\0\0";
    decoy.resize(6);
    for (char16_t c : key)
        decoy += {static_cast<char>(c), '\0'};
    decoy += std::string(4, '\0') + "not a record............................................";
    return std::string("MZ\x90\0", 4) + std::string(1000, 'x') + decoy + std::string(2, 'y') +
           block + std::string(500, 'z');
}

class FileChecks : public ::testing::Test {
protected:
    platform::Context& context() { return sandbox_.Context(); }
    platform::FileSystem& files() { return *context().files; }
    nestora_test::TempSandbox sandbox_;
};

TEST_F(FileChecks, ReadFileVersionOfControlsAndPrograms) {
    WriteSandboxFile(context(), "C:\\a\\control.dll", ControlText(kClsid, {2, 0, 0, 0}));
    WriteSandboxFile(context(), "C:\\a\\noversion.dll", "NESTORA-CONTROL 1\nmachine=x86\n");
    WriteSandboxFile(context(), "C:\\a\\program.exe", ProgramWithVersion(0x00010000, 0x00000004));
    WriteSandboxFile(context(), "C:\\a\\plain.txt", "VS_VERSION_INFO in eight-bit text");

    VsFixedFileInfo info;
    ASSERT_TRUE(ReadFileVersion(files(), "C:\\a\\control.dll", info));
    EXPECT_EQ(info.dwSignature, kFixedFileInfoSignature);
    EXPECT_EQ(info.dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(info.dwFileVersionLS, 0u);
    ASSERT_TRUE(ReadFileVersion(files(), "c:\\A\\PROGRAM.EXE", info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(info.dwFileVersionLS, 4u);
    EXPECT_EQ(info.dwProductVersionLS, 2u);
    EXPECT_FALSE(ReadFileVersion(files(), "C:\\a\\noversion.dll", info));
    EXPECT_FALSE(ReadFileVersion(files(), "C:\\a\\plain.txt", info));
    EXPECT_FALSE(ReadFileVersion(files(), "C:\\a\\missing.dll", info));
}

TEST_F(FileChecks, Md5IsLowerCaseHexOrEmpty) {
    WriteSandboxFile(context(), "C:\\m\\empty", "");
    WriteSandboxFile(context(), "C:\\m\\abc", "abc");
    WriteSandboxFile(context(), "C:\\m\\million", std::string(1000000, 'a'));
    EXPECT_EQ(FileMd5Hex(files(), "C:\\m\\empty"), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FileMd5Hex(files(), "C:\\m\\abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FileMd5Hex(files(), "C:\\m\\million"), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(FileMd5Hex(files(), "C:\\m\\missing"), "");
    EXPECT_EQ(FileMd5Hex(files(), "C:\\m"), "") << "a folder is not a file";
}

TEST(ParseRequiredVersion, ReadsUpToFourPartsLikeAtoi) {
    const struct {
        const char* text;
        std::uint64_t version;
    } cases[] = {
        {"1.5.3", 0x0001000500030000},
        {"1.5", 0x0001000500000000},
        {"2.0.0.0", 0x0002000000000000},
        {" 3x.4.5.6.7", 0x0003000400050006},
        {"", 0},
        {"65537.1", 0x0001000100000000},
        {"1..2", 0x0001000000020000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseRequiredVersion(c.text), c.version) << c.text;
    }
}

TEST_F(FileChecks, ComponentFileMeetsVersionAndDigest) {
    WriteSandboxFile(context(), "C:\\c\\new.dll", ControlText(kClsid, {2, 0, 0, 0}));
    WriteSandboxFile(context(), "C:\\c\\old.dll", ControlText(kClsid, {1, 5, 2, 9}));
    WriteSandboxFile(context(), "C:\\c\\mid.dll", ControlText(kClsid, {1, 6, 0, 0}));
    WriteSandboxFile(context(), "C:\\c\\text.txt", "abc");
    const struct {
        const char* path;
        const char* version;
        const char* md5;
        bool passes;
    } cases[] = {
        {"C:\\c\\new.dll", "1.5.3", "", true},
        {"C:\\c\\old.dll", "1.5.3", "", false},
        {"C:\\c\\old.dll", "1.5", "", true},
        {"C:\\c\\mid.dll", "1.5.9.9", "", true},
        {"C:\\c\\text.txt", "", "900150983cd24fb0d6963f7d28e17f72", true},
        {"C:\\c\\text.txt", "", "900150983CD24FB0D6963F7D28E17F72", false},
        {"C:\\c\\text.txt", "1.0", "", false},
        {"C:\\c\\missing.dll", "", "", false},
    };
    for (const auto& c : cases) {
        config::ComponentFile file;
        file.localPath = c.path;
        file.version = c.version;
        file.md5 = c.md5;
        EXPECT_EQ(CheckComponentFile(files(), file), c.passes)
            << c.path << " " << c.version << " " << c.md5;
    }
}

}  // namespace
}  // namespace components
