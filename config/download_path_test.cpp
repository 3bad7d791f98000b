#include "config/download_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/local_path.h"
#include "config/resolve_url.h"
#include "platform/context.h"
#include "platform/files.h"
#include "tests/support/temp_sandbox.h"

namespace config {
namespace {

TEST(DownloadFileName, KeepsTheDownloadInsideItsFolder) {
    struct Case {
        std::string url;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"https://bank/dl/setup.exe", "setup.exe"},
        {"setup.exe", "setup.exe"},
        {"https://bank/dl/setup.exe?v=2&f=/x/y.exe", "setup.exe"},
        {"https://bank/dl/setup.exe#part/two", "setup.exe"},
        {"https://bank/dl/setup.exe#a?b", "setup.exe"},
        {"https://bank/dl/", std::string(kDefaultDownloadName)},
        {"https://bank", "bank"},
        {"https://bank/dl/?name=setup.exe", std::string(kDefaultDownloadName)},
        {"https://bank/dl/..", "_"},
        {"https://bank/dl/.", "_"},
        {"https://bank/dl/...", "_"},
        {"..", "_"},
        {"https://bank/dl/..\\..\\Windows\\evil.exe", ".._.._Windows_evil.exe"},
        {"C:\\Windows\\evil.exe", "C__Windows_evil.exe"},
        {"https://bank/dl/file.exe:stream", "file.exe_stream"},
        {"https://bank/dl/a\tb\r\nc\x7F", "a_b__c_"},
        {"https://bank/dl/a<b>c|d*e\"f", "a_b_c_d_e_f"},
        {"https://bank/dl/%2e%2e", "%2e%2e"},
        {"https://bank/dl/..exe", "..exe"},
        {"https://bank/dl/\xE6\xB1\x80\xE5\xB2\x9A.exe", "\xE6\xB1\x80\xE5\xB2\x9A.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DownloadFileName(c.url), c.name) << c.url;
    }
}

TEST(MakeDownloadPath, PlacesTheFileInDownTmpAndCreatesTheFolder) {
    nestora_test::TempSandbox sandbox;
    platform::FileSystem& files = *sandbox.Context().files;
    const std::string folder = files.GetTempPath() + "DownTmp";
    ASSERT_FALSE(files.PathFileExists(folder));

    EXPECT_EQ(MakeDownloadPath(files, ""), "");
    EXPECT_FALSE(files.PathFileExists(folder));

    EXPECT_EQ(MakeDownloadPath(files, "https://bank/dl/..\\x.exe"), folder + "\\.._x.exe");
    EXPECT_TRUE(files.IsDirectory(folder));
    EXPECT_EQ(MakeDownloadPath(files, "https://bank/dl/setup.exe"), folder + "\\setup.exe");
}

TEST(MakeDownloadPath, GivesNoPathWhenItWouldNotFitInsteadOfCuttingIt) {
    nestora_test::TempSandbox sandbox;
    platform::FileSystem& files = *sandbox.Context().files;
    const std::string prefix = files.GetTempPath() + "DownTmp\\";
    const size_t room = 259 - prefix.size();  // longest name that still fits with a terminator

    const std::string fits(room, 'a');
    EXPECT_EQ(MakeDownloadPath(files, "https://bank/" + fits), prefix + fits);
    EXPECT_EQ(MakeDownloadPath(files, "https://bank/" + fits + "b"), "");
}

TEST(ExpandLocalPath, ExpandsVariablesAndRefusesWhatWouldNotFit) {
    nestora_test::TempSandbox sandbox;
    const platform::FileSystem& files = *sandbox.Context().files;
    const std::string windir = *files.GetEnvironmentVariable("windir");

    EXPECT_EQ(ExpandLocalPath(files, ""), "");
    EXPECT_EQ(ExpandLocalPath(files, "%windir%\\a.ocx"), windir + "\\a.ocx");
    EXPECT_EQ(ExpandLocalPath(files, "C:\\%unknown%\\a.ocx"), "C:\\%unknown%\\a.ocx");

    const std::string tail = "\\" + std::string(258 - windir.size(), 'x');
    EXPECT_EQ(ExpandLocalPath(files, "%windir%" + tail), windir + tail);
    EXPECT_EQ(ExpandLocalPath(files, "%windir%" + tail + "y"), "");
}

TEST(ResolveUrl, JoinsOnlyAddressesWithoutAScheme) {
    EXPECT_EQ(ResolveUrl("a.exe", "https://bank/dl/"), "https://bank/dl/a.exe");
    EXPECT_EQ(ResolveUrl("/a.exe", "https://bank/dl/"), "https://bank/dl//a.exe");
    EXPECT_EQ(ResolveUrl("a.exe", "https://bank/dl"), "https://bank/dla.exe");
    EXPECT_EQ(ResolveUrl("", "https://bank/dl/"), "https://bank/dl/");
    EXPECT_EQ(ResolveUrl("see http://x/y", "https://bank/"), "see http://x/y");
    EXPECT_EQ(ResolveUrl("a.exe", ""), "a.exe");
}

}  // namespace
}  // namespace config
