// The demo USB key of run.sh: tools/demo-key prepares a copy of the program beside the stand-in
// Haitai library, a USB tree with a Haitai key and the driver installed; a console pass of that
// program shows the key as the window's USB-key tab would.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/bank_server.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

namespace nestora_test {
namespace {

namespace fs = std::filesystem;

TEST(DemoKeyE2eTest, ConsolePassOfTheDemoProgramShowsTheHaitaiKey) {
    BankServer server;
    ASSERT_TRUE(server.Started()) << server.Error();
    TempSandbox sandbox;
    ASSERT_TRUE(TrustDemoAuthorityWithCertutil(server, sandbox));
    const fs::path state = sandbox.Root() / "demo";
    const fs::path json = sandbox.Root() / "pass.json";

    const std::string script =
        "set -e; source " + ShellQuote((SourceDir() / "tools/demo-key/demo_key.sh").string()) +
        "; prepare_demo_key " + ShellQuote((BinDir() / "..").string()) + " " +
        ShellQuote(state.string()) + "; " + ProgramEnvironment(sandbox.Root(), server.HttpsHost()) +
        "\"$DEMO_PROGRAM\" --console --user-type ft1 --json " + ShellQuote(json.string()) +
        " </dev/null 2>&1";
    const RunResult run = RunShell("NESTORA_ROOT=" + ShellQuote(sandbox.Root().string()) +
                                   " bash -c " + ShellQuote(script));
    ASSERT_TRUE(fs::exists(json)) << run.output;

    std::ifstream file(json);
    const nlohmann::json states = nlohmann::json::parse(file)["state"];
    // The user's driver (item 3, the Haitai one) is installed and its key plugged in.
    EXPECT_EQ(states.value("2/3", -1), 0) << run.output;
    EXPECT_EQ(states.value("800/2", ""), "HT5448A00120261211");
    EXPECT_EQ(states.value("800/8", ""), "2.6.12.1");
    // Complete, not locked, PIN changed, one certificate, registered.
    for (const auto& [item, value] :
         {std::pair{"800/3", 0}, {"800/4", 0}, {"800/5", 0}, {"800/6", 1}, {"800/7", 0}})
        EXPECT_EQ(states.value(item, -1), value) << item;
    EXPECT_FALSE(states.contains("801/2"));
    EXPECT_FALSE(fs::exists(BinDir() / "SorvelWizard.dll")) << "the build's own program has none";
}

}  // namespace
}  // namespace nestora_test
