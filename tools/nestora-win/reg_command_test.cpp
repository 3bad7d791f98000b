// Runs the real nestora-win binary on a temporary sandbox.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/linux/registry_sqlite.h"
#include "platform/registry.h"

namespace {

using Args = std::vector<std::string>;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class RegCommandTest : public ::testing::Test {
protected:
    RegCommandTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "reg-cmd-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        root_ = folder_ / "sandbox";
    }
    ~RegCommandTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Starts `nestora-win reg ARGS...` with `input` on its standard input; returns its pid.
    pid_t Start(const Args& args, const std::string& input, int slot) {
        const auto outFile = folder_ / ("out" + std::to_string(slot));
        const auto errFile = folder_ / ("err" + std::to_string(slot));
        const auto inFile = folder_ / ("in" + std::to_string(slot));
        std::ofstream(inFile) << input;
        const char* binDir = std::getenv("NESTORA_BIN_DIR");
        const std::string tool = std::string(binDir ? binDir : "bin") + "/nestora-win";
        std::vector<std::string> argv = {tool, "reg"};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t child = fork();
        if (child != 0)
            return child;
        setenv("NESTORA_ROOT", root_.c_str(), 1);
        const int in = open(inFile.c_str(), O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0)
            _exit(127);
        dup2(in, 0), dup2(out, 1), dup2(err, 2);
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        execv(tool.c_str(), pointers.data());
        _exit(127);
    }

    Result Finish(pid_t child, int slot) {
        Result result;
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
        result.out = ReadFile(folder_ / ("out" + std::to_string(slot)));
        result.err = ReadFile(folder_ / ("err" + std::to_string(slot)));
        return result;
    }

    Result Reg(const Args& args, const std::string& input = "") {
        return Finish(Start(args, input, 0), 0);
    }

    // The sandbox's own registry, as the program sees it on 64-bit Windows.
    std::unique_ptr<platform::Registry> OpenRegistry() {
        return platform::MakeSqliteRegistry(root_ / "registry.db", true);
    }

    std::filesystem::path folder_;
    std::filesystem::path root_;
};

TEST_F(RegCommandTest, AddThenQueryShowsTheValue) {
    const Result added =
        Reg({"add", "HKCU\\Software\\T", "/v", "X", "/t", "REG_DWORD", "/d", "5", "/f"});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "The operation completed successfully.\n");
    const Result shown = Reg({"query", "HKCU\\Software\\T", "/v", "X"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, "\nHKEY_CURRENT_USER\\Software\\T\n    X    REG_DWORD    0x5\n\n");
}

TEST_F(RegCommandTest, EachTypeIsStoredAndShownAsReg) {
    struct Case {
        const char* type;
        const char* data;
        const char* shown;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"REG_SZ", "C:\\a b", "C:\\a b", platform::RegSzBytes("C:\\a b")},
        {"reg_expand_sz", "%SystemRoot%", "%SystemRoot%", platform::RegSzBytes("%SystemRoot%")},
        {"REG_DWORD", "0x10", "0x10", {0x10, 0, 0, 0}},
        {"REG_DWORD", "4294967295", "0xffffffff", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"REG_QWORD", "4294967296", "0x100000000", {0, 0, 0, 0, 1, 0, 0, 0}},
        {"REG_BINARY", "00ff1A", "00FF1A", {0x00, 0xFF, 0x1A}},
        {"REG_MULTI_SZ", "a\\0bc", "a\\0bc", {'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "V" + std::to_string(index++);
        SCOPED_TRACE(name);
        ASSERT_EQ(
            Reg({"add", "HKCU\\Software\\Types", "/v", name, "/t", c.type, "/d", c.data, "/f"})
                .exitCode,
            0);
        const Result shown = Reg({"query", "hkcu\\software\\types", "/v", name});
        EXPECT_NE(shown.out.find("    " + name + "    "), std::string::npos) << shown.out;
        EXPECT_NE(shown.out.find(std::string("    ") + c.shown + "\n"), std::string::npos)
            << shown.out;
    }
    auto registry = OpenRegistry();
    ASSERT_TRUE(registry);
    platform::RegKey key;
    ASSERT_EQ(registry->OpenKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                                "Software\\Types", platform::KEY_READ, key),
              win::ERROR_SUCCESS);
    index = 0;
    for (const Case& c : cases) {
        const std::string name = "V" + std::to_string(index++);
        win::DWORD size = 64;
        std::vector<std::uint8_t> data(size);
        ASSERT_EQ(registry->QueryValue(key, name, nullptr, data.data(), &size), win::ERROR_SUCCESS);
        data.resize(size);
        EXPECT_EQ(data, c.bytes) << name;
    }
}

TEST_F(RegCommandTest, QueryOfAKeyListsValuesThenSubkeys) {
    ASSERT_EQ(Reg({"add", "HKEY_CURRENT_USER\\Software\\Q\\Child", "/f"}).exitCode, 0);
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Q", "/ve", "/d", "top", "/f"}).exitCode, 0);
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Q", "/v", "N", "/f"}).exitCode, 0);
    const Result shown = Reg({"query", "HKCU\\Software\\Q\\"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out,
              "\nHKEY_CURRENT_USER\\Software\\Q\n"
              "    (Default)    REG_SZ    top\n"
              "    N    REG_SZ    \n"
              "\nHKEY_CURRENT_USER\\Software\\Q\\Child\n");
    const Result unset = Reg({"query", "HKCU\\Software\\Q\\Child", "/ve"});
    EXPECT_EQ(unset.exitCode, 0);
    EXPECT_NE(unset.out.find("(Default)    REG_SZ    (value not set)"), std::string::npos);
}

TEST_F(RegCommandTest, ErrorsAndBadArgumentsExitNonZero) {
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\E", "/v", "A", "/f"}).exitCode, 0);
    const std::string notFound = "unable to find the specified registry key or value";
    struct Case {
        Args args;
        const char* message;
    };
    const Case cases[] = {
        {{"query", "HKCU\\Software\\Missing"}, notFound.c_str()},
        {{"query", "HKCU\\Software\\E", "/v", "B"}, notFound.c_str()},
        {{"delete", "HKCU\\Software\\E", "/v", "B", "/f"}, notFound.c_str()},
        {{"delete", "HKCU\\Software\\Missing", "/f"}, notFound.c_str()},
        {{"protect", "HKCU\\Software\\Missing", "on"}, notFound.c_str()},
        {{}, "Invalid syntax"},
        {{"frob", "HKCU\\Software\\E"}, "Invalid syntax"},
        {{"add"}, "Invalid syntax"},
        {{"add", "HKCU\\Software\\E", "/v"}, "Invalid syntax"},
        {{"add", "HKCU\\Software\\E", "/v", "A", "/ve"}, "Invalid syntax"},
        {{"add", "HKCU\\Software\\E", "/x"}, "Invalid syntax"},
        {{"add", "HKCU\\Software\\E", "HKCU\\Other"}, "Invalid syntax"},
        {{"add", "HKCU\\Software\\E", "/f", "/f"}, "Invalid syntax"},
        {{"query", "HKCU\\Software\\E", "/reg:32", "/reg:64"}, "Invalid syntax"},
        {{"protect", "HKCU\\Software\\E", "maybe"}, "Invalid syntax"},
        {{"add", "HKXY\\Software\\E", "/f"}, "Invalid key name"},
        {{"delete", "HKCU", "/f"}, "Invalid key name"},
        {{"add", "HKCU\\Software\\E", "/v", "D", "/t", "REG_DWORD", "/d", "12ab", "/f"},
         "Invalid data"},
        {{"add", "HKCU\\Software\\E", "/v", "D", "/t", "REG_DWORD", "/d", "0x100000000", "/f"},
         "Invalid data"},
        {{"add", "HKCU\\Software\\E", "/v", "D", "/t", "REG_BINARY", "/d", "abc", "/f"},
         "Invalid data"},
        {{"add", "HKCU\\Software\\E", "/v", "D", "/t", "REG_WORD", "/f"}, "Invalid value type"},
    };
    for (const Case& c : cases) {
        const Result result = Reg(c.args);
        SCOPED_TRACE(testing::Message() << "args: " << ::testing::PrintToString(c.args));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\E", "/v", "D"}).exitCode, 1);  // nothing written
}

TEST_F(RegCommandTest, DeleteRemovesTheWholeSubtreeOrOneValue) {
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Del\\A\\B", "/v", "X", "/d", "1", "/f"}).exitCode, 0);
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Del\\C", "/f"}).exitCode, 0);
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Del", "/v", "Keep", "/f"}).exitCode, 0);
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Del", "/v", "Drop", "/f"}).exitCode, 0);

    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\Del", "/v", "drop", "/f"}).exitCode, 0);
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\Del", "/v", "Drop"}).exitCode, 1);
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\Del", "/v", "Keep"}).exitCode, 0);

    // The switch may come first, as in the command lines the program runs.
    const Result deleted = Reg({"delete", "/f", "HKEY_CURRENT_USER\\Software\\Del"});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
    for (const char* key : {"HKCU\\Software\\Del", "HKCU\\Software\\Del\\A\\B"}) {
        EXPECT_EQ(Reg({"query", key}).exitCode, 1) << key;
    }
    EXPECT_EQ(Reg({"query", "HKCU\\Software"}).exitCode, 0);
}

TEST_F(RegCommandTest, WithoutForceItAsksFirst) {
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Ask", "/v", "V", "/d", "old", "/f"}).exitCode, 0);
    EXPECT_EQ(Reg({"add", "HKCU\\Software\\Ask", "/v", "V", "/d", "new"}, "no\n").exitCode, 1);
    EXPECT_NE(Reg({"query", "HKCU\\Software\\Ask", "/v", "V"}).out.find("old"), std::string::npos);
    EXPECT_EQ(Reg({"add", "HKCU\\Software\\Ask", "/v", "V", "/d", "new"}, "yes\n").exitCode, 0);
    EXPECT_NE(Reg({"query", "HKCU\\Software\\Ask", "/v", "V"}).out.find("new"), std::string::npos);

    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\Ask"}).exitCode, 1);  // no answer at all
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\Ask"}).exitCode, 0);
    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\Ask"}, "y\n").exitCode, 0);
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\Ask"}).exitCode, 1);
}

TEST_F(RegCommandTest, ViewSwitchesChooseTheRegistryView) {
    struct Case {
        Args add;
        Args query;
        int exitCode;
    };
    const Case cases[] = {
        {{"HKLM\\SOFTWARE\\View1"}, {"HKLM\\SOFTWARE\\View1"}, 0},
        {{"HKLM\\SOFTWARE\\View2"}, {"HKLM\\SOFTWARE\\View2", "/reg:64"}, 1},
        {{"HKLM\\SOFTWARE\\View3"}, {"HKLM\\SOFTWARE\\Wow6432Node\\View3", "/reg:64"}, 0},
        {{"HKLM\\SOFTWARE\\View4", "/reg:64"}, {"HKLM\\SOFTWARE\\View4"}, 1},
        {{"HKLM\\SOFTWARE\\View5", "/reg:64"}, {"HKLM\\SOFTWARE\\View5", "/reg:64"}, 0},
        {{"HKLM\\SOFTWARE\\View6", "/reg:32"}, {"HKLM\\SOFTWARE\\View6"}, 0},
        {{"HKCR\\CLSID\\{V7}"}, {"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{V7}", "/reg:64"}, 0},
        {{"HKCR\\CLSID\\{V8}"}, {"HKCR\\CLSID\\{V8}", "/reg:64"}, 1},
        {{"HKCR\\CLSID\\{V9}", "/reg:64"}, {"HKLM\\SOFTWARE\\Classes\\CLSID\\{V9}", "/reg:64"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query[0]);
        Args add = {"add"};
        add.insert(add.end(), c.add.begin(), c.add.end());
        add.push_back("/f");
        ASSERT_EQ(Reg(add).exitCode, 0);
        Args query = {"query"};
        query.insert(query.end(), c.query.begin(), c.query.end());
        EXPECT_EQ(Reg(query).exitCode, c.exitCode);
    }
}

TEST_F(RegCommandTest, ProtectedKeyRefusesChangesUntilReleased) {
    ASSERT_EQ(Reg({"add", "HKLM\\SYSTEM\\Locked", "/v", "V", "/d", "1", "/f"}).exitCode, 0);
    ASSERT_EQ(Reg({"protect", "HKLM\\SYSTEM\\Locked", "on"}).exitCode, 0);
    for (const Args& args : {Args{"add", "HKLM\\SYSTEM\\Locked", "/v", "V", "/d", "2", "/f"},
                             Args{"add", "HKLM\\SYSTEM\\Locked\\Sub", "/f"},
                             Args{"delete", "HKLM\\SYSTEM\\Locked", "/v", "V", "/f"},
                             Args{"delete", "HKLM\\SYSTEM\\Locked", "/f"}}) {
        const Result result = Reg(args);
        EXPECT_EQ(result.exitCode, 1) << args[0];
        EXPECT_NE(result.err.find("Access is denied"), std::string::npos) << result.err;
    }
    EXPECT_EQ(Reg({"query", "HKLM\\SYSTEM\\Locked", "/v", "V"}).exitCode, 0);

    auto registry = OpenRegistry();
    ASSERT_TRUE(registry);
    platform::RegKey key;
    EXPECT_EQ(registry->OpenKey(platform::RegKey::Root(platform::Hive::LocalMachine),
                                "SYSTEM\\Locked", platform::KEY_READ | platform::KEY_WRITE, key),
              win::ERROR_ACCESS_DENIED);

    ASSERT_EQ(Reg({"protect", "HKLM\\SYSTEM\\Locked", "off"}).exitCode, 0);
    EXPECT_EQ(Reg({"add", "HKLM\\SYSTEM\\Locked", "/v", "V", "/d", "2", "/f"}).exitCode, 0);
}

// Many reg processes writing into one key at the same time: every value arrives.
TEST_F(RegCommandTest, ParallelAddsLoseNoValue) {
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\Parallel", "/f"}).exitCode, 0);
    constexpr int kProcesses = 24;
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        children.push_back(Start({"add", "HKCU\\Software\\Parallel", "/v", "V" + std::to_string(i),
                                  "/t", "REG_DWORD", "/d", std::to_string(i), "/f"},
                                 "", i + 1));
    }
    for (int i = 0; i < kProcesses; ++i) {
        const Result result = Finish(children[i], i + 1);
        EXPECT_EQ(result.exitCode, 0) << result.err;
    }
    auto registry = OpenRegistry();
    ASSERT_TRUE(registry);
    platform::RegKey key;
    ASSERT_EQ(registry->OpenKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                                "Software\\Parallel", platform::KEY_READ, key),
              win::ERROR_SUCCESS);
    std::vector<std::string> names;
    ASSERT_EQ(registry->EnumValueNames(key, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names.size(), static_cast<size_t>(kProcesses));
}

}  // namespace
