#include "checks/hosts_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/files.h"
#include "platform/resolver.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

namespace fs = std::filesystem;

constexpr char kBank[] = "ebank.example.com";

// The verdict as the original line pattern gives it, run with an ECMAScript engine over the
// text with CR LF turned into LF and a LF added before and after: true when no name is pinned.
bool ReferenceVerdict(const std::string& hosts, const std::vector<std::string>& names) {
    const std::string text = "\n" + std::regex_replace(hosts, std::regex("\r\n"), "\n") + "\n";
    for (const std::string& name : names) {
        const std::string escaped = std::regex_replace(name, std::regex("\\."), "\\.");
        const std::regex pattern("\n[\\s\\d\\.]+" + escaped + "\\s*(\n|#.+\n)",
                                 std::regex::ECMAScript | std::regex::icase);
        if (std::regex_search(text, pattern))
            return false;
    }
    return true;
}

// The lines of a text, each with its line feed.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t from = 0; from < text.size();) {
        const size_t lineFeed = text.find('\n', from);
        const size_t end = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
        lines.push_back(text.substr(from, end - from));
        from = end;
    }
    return lines;
}

// A line without its line end (LF or CR LF).
std::string LineContent(std::string line) {
    if (!line.empty() && line.back() == '\n') {
        line.pop_back();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    }
    return line;
}

class FixedResolver : public platform::Resolver {
public:
    std::optional<platform::HostEntry> GetHostByName(std::string_view) override {
        return platform::HostEntry{
            "bank", {}, platform::kAddressFamilyInet, {platform::InetAddr("10.0.0.1")}};
    }
    std::optional<platform::HostEntry> GetHostByAddr(std::uint32_t) override {
        return std::nullopt;
    }
};

class HostsCheckTest : public ::testing::Test {
protected:
    HostsCheckTest() { sandbox_.Context().resolver = std::make_unique<FixedResolver>(); }

    platform::Context& Context() { return sandbox_.Context(); }
    std::string Path() { return HostsFilePath(Context()); }
    fs::path LinuxPath(const std::string& windowsPath) {
        return Context().files->ToLinuxPath(windowsPath);
    }

    void SetNames(const std::vector<std::string>& names) {
        config_.sections.clear();
        config::ConfigSection section{"host", {}};
        for (const std::string& name : names)
            section.entries.push_back({name, "", "", "", ""});
        config_.sections.push_back(section);
    }

    void WriteHosts(const std::string& text) {
        ASSERT_TRUE(Context().files->WriteFile(Path(), text));
    }

    std::string ReadHosts() {
        std::string text;
        EXPECT_TRUE(Context().files->ReadFile(Path(), text));
        return text;
    }

    bool Check(bool fix) { return CheckHosts(Context(), config_, fix); }

    nestora_test::TempSandbox sandbox_;
    config::CheckConfig config_;
};

TEST_F(HostsCheckTest, TheFileIsTheSystemHostsFile) {
    EXPECT_EQ(LinuxPath(Path()), sandbox_.Root() / "drive_c/Windows/System32/drivers/etc/hosts");
}

struct HostsCase {
    const char* label;
    std::string before;
    bool clean;
    std::string after;  // the file after a repair
};

// Each case: the hosts text, whether the check finds it clean for ebank.example.com, and the
// text a repair leaves.
const std::vector<HostsCase>& HostsCases() {
    static const std::vector<HostsCase> cases = {
        {"pinned in other capitals", "127.0.0.1 localhost\r\n1.2.3.4 EBank.Example.COM\r\n", false,
         "127.0.0.1 localhost\r\n"},
        {"commented out", "# 1.2.3.4 ebank.example.com\r\n", true,
         "# 1.2.3.4 ebank.example.com\r\n"},
        {"followed by a comment", "a\r\n1.2.3.4 ebank.example.com # pinned\r\nb\r\n", false,
         "a\r\nb\r\n"},
        {"comment without a blank", "1.2.3.4 ebank.example.com#x\r\nb\r\n", false, "b\r\n"},
        {"empty comment does not count", "1.2.3.4 ebank.example.com #\r\n", true,
         "1.2.3.4 ebank.example.com #\r\n"},
        {"longer name", "1.2.3.4 ebank.example.com.evil.net\r\n", true,
         "1.2.3.4 ebank.example.com.evil.net\r\n"},
        {"another name first", "1.2.3.4 other.example ebank.example.com\r\n", true,
         "1.2.3.4 other.example ebank.example.com\r\n"},
        {"another name after", "1.2.3.4 ebank.example.com other.example\r\n", true,
         "1.2.3.4 ebank.example.com other.example\r\n"},
        {"dots match only dots", "1.2.3.4 ebankxexample.com\r\n", true,
         "1.2.3.4 ebankxexample.com\r\n"},
        {"first line", "1.2.3.4 ebank.example.com\r\nrest\r\n", false, "rest\r\n"},
        {"last line without line end", "a\r\n1.2.3.4 ebank.example.com", false, "a\r\n"},
        {"tabs and trailing blanks", "x\n\t1.2.3.4\tebank.example.com \t\ny\n", false, "x\ny\n"},
        {"line feeds only, kept as they are", "a\n1.2.3.4 ebank.example.com\nb\n", false, "a\nb\n"},
        {"adjacent lines go in one repair",
         "1.2.3.4 ebank.example.com\r\n5.6.7.8 ebank.example.com\r\nkeep\r\n", false, "keep\r\n"},
        {"neighbours stay",
         "# above\r\n\r\n10.0.0.1\r\n1.2.3.4 ebank.example.com\r\n\r\n# below\r\nkeep\r\n", false,
         "# above\r\n\r\n10.0.0.1\r\n\r\n# below\r\nkeep\r\n"},
        {"bare name under a blank line", "a\r\n\r\nebank.example.com\r\nb", false, "a\r\n\r\nb"},
        {"bare name on the first line", "ebank.example.com\r\n", true, "ebank.example.com\r\n"},
        {"bare name under another line", "a\r\nebank.example.com\r\n", true,
         "a\r\nebank.example.com\r\n"},
        {"bare name exposed by the repair",
         "\r\n1.2.3.4 ebank.example.com\r\nebank.example.com\r\nz", false, "\r\nz"},
        {"clean file", "127.0.0.1 localhost\r\n", true, "127.0.0.1 localhost\r\n"},
        {"empty file", "", true, ""},
    };
    return cases;
}

TEST_F(HostsCheckTest, ChecksAndRepairsLines) {
    SetNames({kBank});
    for (const HostsCase& c : HostsCases()) {
        SCOPED_TRACE(c.label);
        WriteHosts(c.before);
        config_.results.hostsOk = !c.clean;
        EXPECT_EQ(Check(false), c.clean);
        EXPECT_EQ(config_.results.hostsOk, c.clean);
        EXPECT_EQ(ReferenceVerdict(c.before, {kBank}), c.clean);

        EXPECT_TRUE(Check(true));
        EXPECT_EQ(ReadHosts(), c.after);
        EXPECT_TRUE(Check(false));
    }
}

TEST_F(HostsCheckTest, EveryConfiguredNameCountsInAnyCase) {
    SetNames({"a.example", "B.EXAMPLE"});
    WriteHosts("1.1.1.1 a.example\r\nx\r\n2.2.2.2 b.example\r\n3.3.3.3 c.example\r\n");
    EXPECT_FALSE(Check(false));
    EXPECT_TRUE(Check(true));
    EXPECT_EQ(ReadHosts(), "x\r\n3.3.3.3 c.example\r\n");
}

TEST_F(HostsCheckTest, WhiteSpaceAroundAConfiguredNameIsNotPartOfIt) {
    SetNames({"\n    ebank.example.com\n  ", " \t "});
    WriteHosts("x\r\n1.2.3.4 ebank.example.com\r\n");
    EXPECT_FALSE(Check(false));
    EXPECT_TRUE(Check(true));
    EXPECT_EQ(ReadHosts(), "x\r\n");
}

// Random texts made of the pieces that matter to the line pattern: the verdict must be the
// original pattern's, a repair must leave a text it finds clean, and only whole lines that
// hold the name may go.
TEST_F(HostsCheckTest, AgreesWithTheOriginalPatternOnRandomTexts) {
    SetNames({"ba.nk"});
    const std::vector<std::string> pieces = {" ", "\t", "\r", "\n",    "\r\n",  "\r\n",     "1",
                                             ".", "#",  "x",  "ba.nk", "BA.NK", "ba.nk.cn", "#c"};
    std::mt19937 random(12345);
    const std::regex removable("[\\s\\d.]*ba\\.nk\\s*(#.+)?", std::regex::icase);
    for (int round = 0; round < 1500; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 16);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % pieces.size()];
        SCOPED_TRACE(::testing::PrintToString(text));
        WriteHosts(text);
        ASSERT_EQ(Check(false), ReferenceVerdict(text, {"ba.nk"}));
        ASSERT_TRUE(Check(true));
        const std::string repaired = ReadHosts();
        ASSERT_TRUE(ReferenceVerdict(repaired, {"ba.nk"}));

        // The repaired text is the original without some of its lines.
        const std::vector<std::string> original = Lines(text);
        const std::vector<std::string> left = Lines(repaired);
        size_t next = 0;
        for (const std::string& line : original) {
            if (next < left.size() && line == left[next]) {
                ++next;
            } else {
                ASSERT_TRUE(std::regex_match(LineContent(line), removable)) << "removed " << line;
            }
        }
        ASSERT_EQ(next, left.size());
    }
}

TEST_F(HostsCheckTest, ARepairKeepsABackupAndRenamesANewFileIntoPlace) {
    SetNames({kBank});
    const std::string original = "127.0.0.1 localhost\r\n1.2.3.4 ebank.example.com\r\n";
    WriteHosts(original);
    const fs::path hosts = LinuxPath(Path());
    const fs::path link = hosts.parent_path() / "hosts-link";
    fs::create_hard_link(hosts, link);

    EXPECT_TRUE(Check(true));
    EXPECT_EQ(ReadHosts(), "127.0.0.1 localhost\r\n");
    std::string backup;
    EXPECT_TRUE(Context().files->ReadFile(Path() + ".bak", backup));
    EXPECT_EQ(backup, original);
    // The old file was replaced, not rewritten in place.
    EXPECT_FALSE(fs::equivalent(hosts, link));
    std::vector<std::string> names;
    ASSERT_TRUE(
        Context().files->ListDirectory(Context().files->ToWindowsPath(hosts.parent_path()), names));
    EXPECT_EQ(names, (std::vector<std::string>{"hosts", "hosts-link", "hosts.bak"}));
}

TEST_F(HostsCheckTest, ARepairOfACleanFileWritesNothing) {
    SetNames({kBank});
    WriteHosts("127.0.0.1 localhost\r\n");
    const fs::path hosts = LinuxPath(Path());
    const fs::path link = hosts.parent_path() / "hosts-link";
    fs::create_hard_link(hosts, link);
    EXPECT_TRUE(Check(true));
    EXPECT_TRUE(fs::equivalent(hosts, link));
    EXPECT_FALSE(Context().files->PathFileExists(Path() + ".bak"));
}

TEST_F(HostsCheckTest, AMissingFileIsCleanAndIsNotCreated) {
    SetNames({kBank});
    ASSERT_TRUE(Context().files->DeleteFile(Path()));
    EXPECT_TRUE(Check(false));
    EXPECT_TRUE(Check(true));
    EXPECT_FALSE(Context().files->PathFileExists(Path()));
}

TEST_F(HostsCheckTest, AnUnreadableFileFailsTheRepairWhichWritesNothing) {
    SetNames({kBank});
    const fs::path hosts = LinuxPath(Path());
    fs::remove(hosts);
    fs::create_directory(hosts);  // there, but not readable as a file
    EXPECT_TRUE(Check(false));
    EXPECT_FALSE(Check(true));
    EXPECT_FALSE(config_.results.hostsOk);
    EXPECT_TRUE(fs::is_directory(hosts));
    EXPECT_TRUE(fs::is_empty(hosts));
    EXPECT_FALSE(Context().files->PathFileExists(Path() + ".bak"));
}

TEST_F(HostsCheckTest, AFailedWriteLeavesTheFileAsItWas) {
    SetNames({kBank});
    const std::string original = "1.2.3.4 ebank.example.com\r\n";
    WriteHosts(original);
    fs::create_directory(LinuxPath(Path()).string() + ".nestora-new");  // blocks the new file
    EXPECT_FALSE(Check(true));
    EXPECT_FALSE(config_.results.hostsOk);
    EXPECT_EQ(ReadHosts(), original);
}

TEST_F(HostsCheckTest, WithoutAHostSectionTheFileIsNotRead) {
    const fs::path hosts = LinuxPath(Path());
    fs::remove(hosts);
    fs::create_directory(hosts);
    EXPECT_TRUE(Check(false));
    EXPECT_TRUE(Check(true));
    EXPECT_TRUE(config_.results.hostsOk);
}

TEST_F(HostsCheckTest, ARepairRunsTheDnsCheck) {
    SetNames({kBank});
    config_.sections.push_back({"dns", {{kBank, "Bank", "", "10.0.0.1", ""}}});
    WriteHosts("1.2.3.4 ebank.example.com\r\n");
    EXPECT_TRUE(Check(true));
    EXPECT_TRUE(config_.results.dnsOk);
    EXPECT_EQ(config_.results.dnsDisplayName, "Bank");
}

TEST_F(HostsCheckTest, HandlesAFiftyMegabyteFile) {
    SetNames({kBank, "pay.example.com"});
    std::string clean;
    std::string pinned;
    for (int i = 0; clean.size() < 50'000'000; ++i) {
        const std::string line = "10." + std::to_string(i / 65536 % 256) + "." +
                                 std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) +
                                 " host" + std::to_string(i) + ".example.net\r\n";
        clean += line;
        pinned += line;
        if (i % 500000 == 250000)
            pinned += "1.2.3.4 ebank.example.com\r\n5.6.7.8 PAY.example.com # x\r\n";
    }
    WriteHosts(pinned);
    EXPECT_FALSE(Check(false));
    EXPECT_TRUE(Check(true));
    EXPECT_TRUE(ReadHosts() == clean);
    EXPECT_TRUE(Check(false));
}

}  // namespace
}  // namespace checks
