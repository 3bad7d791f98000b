#include "platform/control_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace platform {
namespace {

constexpr const char* kLockfern =
    "NESTORA-CONTROL 1\r\n"
    "machine=x64\r\n"
    "# a comment\r\n"
    "\r\n"
    "Version=1.0.65535.7\r\n"
    "clsid={206F48A0-61BB-48C8-B54C-7700B7923CFD}\r\n"
    "progid=Qiventa.Lockfern.1\r\n"
    "name=Lockfern = Control\r\n"
    "future=ignored\r\n";

TEST(ParseControlFile, ReadsEveryField) {
    const auto control = ParseControlFile(kLockfern);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->machine, Machine::X64);
    ASSERT_TRUE(control->version);
    EXPECT_EQ(*control->version, (std::array<std::uint16_t, 4>{1, 0, 65535, 7}));
    EXPECT_EQ(control->FileVersionMS(), 0x00010000u);
    EXPECT_EQ(control->FileVersionLS(), 0xFFFF0007u);
    EXPECT_EQ(control->clsid, "{206F48A0-61BB-48C8-B54C-7700B7923CFD}");
    EXPECT_EQ(control->progId, "Qiventa.Lockfern.1");
    EXPECT_EQ(control->name, "Lockfern = Control");
}

TEST(ParseControlFile, RejectsWhatIsNotAControl) {
    const char* const cases[] = {
        "",
        "MZ\x90\x00binary",
        "NESTORA-CONTROL 2\nmachine=x86\n",
        "nestora-control 1\nmachine=x86\n",
        "NESTORA-CONTROL 1\n",                                    // no machine
        "NESTORA-CONTROL 1\nmachine=arm\n",                       // unknown machine
        "NESTORA-CONTROL 1\nmachine=x86\nversion=1.2.3\n",        // three parts
        "NESTORA-CONTROL 1\nmachine=x86\nversion=1.2.3.65536\n",  // part too large
        "NESTORA-CONTROL 1\nmachine=x86\nversion=1.2.3.4 \n",     // trailing blank
        "NESTORA-CONTROL 1\nmachine=x86\nversion=1.-2.3.4\n",     // sign
        "NESTORA-CONTROL 1\nmachine=x86\nclsid=206F48A0-61BB-48C8-B54C-7700B7923CFD\n",
        "NESTORA-CONTROL 1\nmachine=x86\njust words\n",  // not key=value
        "NESTORA-CONTROL 1\nmachine=x86\n=value\n",      // empty key
    };
    for (const char* text : cases)
        EXPECT_FALSE(ParseControlFile(text)) << text;
    EXPECT_FALSE(ParseControlFile(std::string(kMaxControlFileBytes + 1, '\n')));
}

TEST(ParseControlFile, MinimalControlHasNoVersion) {
    const auto control = ParseControlFile("NESTORA-CONTROL 1\nmachine=x86");
    ASSERT_TRUE(control);
    EXPECT_EQ(control->machine, Machine::X86);
    EXPECT_FALSE(control->version);
    EXPECT_EQ(control->FileVersionMS(), 0u);
}

TEST(FormatControlFile, ReadsBackToTheSameRecord) {
    const auto control = ParseControlFile(kLockfern);
    ASSERT_TRUE(control);
    EXPECT_EQ(ParseControlFile(FormatControlFile(*control)), control);
}

TEST(ReadControlFile, ReadsAFileAndRefusesAMissingOne) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("control_file_test_" + std::to_string(getpid()) + ".dll");
    std::ofstream(path, std::ios::binary) << kLockfern;
    const auto control = ReadControlFile(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->progId, "Qiventa.Lockfern.1");
    EXPECT_FALSE(ReadControlFile(path));
}

}  // namespace
}  // namespace platform
