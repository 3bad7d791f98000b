// The real program updating itself in the console: the demo server offers 1.0.0.5, the program
// run from a copy of its folder downloads it, puts it in place of itself and starts it with
// /update, and the new copy runs its own pass.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "components/file_checks.h"
#include "platform/files.h"
#include "tests/support/bank_server.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

namespace nestora_test {
namespace {

namespace fs = std::filesystem;

TEST(UpdateE2eTest, ConsoleRunEndsWithTheNewProgramInPlaceAndItsPassDone) {
    BankServer server({"--offer-update", NESTORA_DEMO_UPDATE_PROGRAM});
    ASSERT_TRUE(server.Started()) << server.Error();
    TempSandbox sandbox;
    const fs::path folder = sandbox.Root() / "program";
    fs::create_directories(folder);
    const fs::path program = folder / "nestora";
    fs::copy_file(BinDir() / "nestora", program);
    ASSERT_TRUE(TrustDemoAuthorityWithCertutil(server, sandbox));

    const std::string output = RunShell(ProgramEnvironment(sandbox.Root(), server.HttpsHost()) +
                                        ShellQuote(program.string()) +
                                        " --console --user-type public --yes </dev/null 2>&1")
                                   .output;

    // The new copy, started after the offer, shows its heading and finishes its pass.
    const size_t offered = output.find("是否立即应用更新");
    ASSERT_NE(offered, std::string::npos) << output;
    const size_t restarted = output.find("汀岚银行网银助手（控制台）", offered);
    ASSERT_NE(restarted, std::string::npos) << "the new copy started\n" << output;
    EXPECT_NE(output.find("检测完毕", restarted), std::string::npos) << output;
    platform::FileSystem& files = *sandbox.Context().files;
    const std::string windowsPath = files.ToWindowsPath(program);
    components::VsFixedFileInfo info;
    ASSERT_TRUE(components::ReadFileVersion(files, windowsPath, info)) << windowsPath;
    EXPECT_EQ(info.dwFileVersionLS, 5u);
    struct stat status {};
    ASSERT_EQ(::stat(program.c_str(), &status), 0);
    EXPECT_NE(status.st_mode & S_IXUSR, 0u) << "the new program stays executable";
    EXPECT_FALSE(fs::exists(folder / "nestora.old"));
    EXPECT_EQ(fs::directory_iterator(folder)->path(), program) << "nothing left beside it";
}

}  // namespace
}  // namespace nestora_test
