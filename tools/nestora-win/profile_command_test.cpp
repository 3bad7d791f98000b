#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/linux/profile_file.h"
#include "platform/windows_profile.h"
#include "tests/support/temp_sandbox.h"

namespace {

platform::WindowsProfile SavedProfile(const nestora_test::TempSandbox& sandbox) {
    platform::WindowsProfile profile;
    EXPECT_TRUE(platform::LoadProfileFile(sandbox.Root() / "profile.json", profile));
    return profile;
}

TEST(ProfileCommand, ShowPrintsTheProfileAsJson) {
    nestora_test::TempSandbox sandbox;
    std::string output;
    ASSERT_EQ(sandbox.RunNestoraWin({"profile", "show"}, &output), 0) << output;
    platform::WindowsProfile shown;
    shown.majorVersion = 0;
    ASSERT_TRUE(platform::ProfileFromJson(output, shown)) << output;
    EXPECT_EQ(shown, platform::WindowsProfile());
}

TEST(ProfileCommand, PresetAndSetChangeTheSavedProfile) {
    nestora_test::TempSandbox sandbox;
    std::string output;
    ASSERT_EQ(sandbox.RunNestoraWin({"profile", "preset", "xp-sp3-32"}, &output), 0) << output;
    EXPECT_EQ(SavedProfile(sandbox), *platform::FindProfilePreset("xp-sp3-32"));

    ASSERT_EQ(sandbox.RunNestoraWin({"profile", "set", "csdVersion=Service Pack 2",
                                     "servicePackMajor=2", "suiteMask=0x200"},
                                    &output),
              0)
        << output;
    const platform::WindowsProfile changed = SavedProfile(sandbox);
    EXPECT_EQ(changed.csdVersion, "Service Pack 2");
    EXPECT_EQ(changed.servicePackMajor, 2);
    EXPECT_EQ(changed.suiteMask, 0x200);
    EXPECT_EQ(changed.buildNumber, 2600u);

    // The registry mirror followed: the program reads ProductName from it.
    sandbox.Reopen();
    std::string query;
    ASSERT_EQ(sandbox.RunNestoraWin(
                  {"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "/v",
                   "CSDVersion"},
                  &query),
              0)
        << query;
    EXPECT_NE(query.find("Service Pack 2"), std::string::npos) << query;
}

TEST(ProfileCommand, BadInputChangesNothing) {
    nestora_test::TempSandbox sandbox;
    const std::vector<std::vector<std::string>> bad = {
        {"profile", "set", "majorVersion=5", "productType=999"},
        {"profile", "set", "noSuchField=1"},
        {"profile", "set", "majorVersion"},
        {"profile", "set"},
        {"profile", "preset", "windows-95"},
        {"profile", "preset"},
        {"profile", "frobnicate"},
    };
    for (const auto& args : bad) {
        std::string output;
        EXPECT_EQ(sandbox.RunNestoraWin(args, &output), 2) << args.back() << ": " << output;
        EXPECT_EQ(SavedProfile(sandbox), platform::WindowsProfile()) << args.back();
    }
}

}  // namespace
