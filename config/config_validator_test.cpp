// Runs the real `nestora --validate-config` on small fixtures and on the demo server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/bank_server.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

using nestora_test::ShellQuote;

class ValidateConfigCommand : public ::testing::Test {
protected:
    // Runs nestora with `arguments` on this test's own sandbox.
    RunResult Run(const std::vector<std::string>& arguments) {
        const std::filesystem::path program = NESTORA_PROGRAM;
        const std::filesystem::path out = sandbox_.Root() / "validator.out";
        const std::filesystem::path err = sandbox_.Root() / "validator.err";
        const std::filesystem::path code = sandbox_.Root() / "validator.code";
        std::string command = "NESTORA_ROOT=" + ShellQuote(sandbox_.Root().string()) + " " +
                              ShellQuote(program.string());
        for (const std::string& argument : arguments) {
            command += " " + ShellQuote(argument);
        }
        command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string()) +
                   "; echo $? >" + ShellQuote(code.string());
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return RunResult{std::stoi(ReadAll(code)), ReadAll(out), ReadAll(err)};
    }

    std::string WriteFixture(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = sandbox_.Root() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    nestora_test::TempSandbox sandbox_;
};

constexpr char kFixture[] = R"(<?xml version="1.0" encoding="utf-8"?>
<checkitems base="https://bank.example/dl/">
  <config type="registry"><entry name="N" type="reg_dword" value="1" mask="3">HKCU\K</entry></config>
  <config type="dns"><entry ip="127.0.0.1" name="demo">localhost</entry></config>
  <item name="control" type="control" tips="t" image="c.gif" selectedid="4">
    <detect type="clsid">{00000000-0000-0000-0000-000000000001}</detect>
    <file local="%windir%\c.ocx" remote="c.ocx" version="1.0.0.1" md5="ab" install="regserver">C</file>
    <installer command="/S" md5="cd">c_setup.exe</installer>
    <uninstaller type="exe" bit="32">c_uninstall.exe</uninstaller>
  </item>
  <component name="runtime" type="runtime"/>
  <appinfo imperative="1" version="1.0.0.5" remote="https://bank.example/dl/nestora.exe" md5="ef"/>
</checkitems>
)";

std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) {
        keys.push_back(key);
    }
    return keys;
}

TEST_F(ValidateConfigCommand, PrintsTheModelOfAUsableFileAndExitsZero) {
    const RunResult result = Run({"--validate-config", WriteFixture("item.xml", kFixture)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto json = nlohmann::ordered_json::parse(result.out);

    EXPECT_EQ(Keys(json), (std::vector<std::string>{"usable", "base", "sections", "items",
                                                    "components", "appInfo", "problems"}));
    EXPECT_EQ(json["usable"], true);
    EXPECT_EQ(json["base"], "https://bank.example/dl/");
    EXPECT_EQ(json["problems"], "");
    EXPECT_EQ(json["sections"][0]["type"], "registry");
    EXPECT_EQ(Keys(json["sections"][0]["entries"][0]),
              (std::vector<std::string>{"text", "name", "type", "value", "mask"}));
    EXPECT_EQ(json["sections"][0]["entries"][0]["mask"], "3");
    EXPECT_EQ(json["sections"][1]["entries"][0]["value"], "127.0.0.1");

    const auto& item = json["items"][0];
    EXPECT_EQ(Keys(item), (std::vector<std::string>{"name", "type", "tips", "image", "class",
                                                    "selectedId", "status", "detects", "installers",
                                                    "uninstallers", "files"}));
    EXPECT_EQ(item["selectedId"], 4);
    EXPECT_EQ(item["status"], 7);
    EXPECT_EQ(item["detects"][0]["type"], "clsid");
    EXPECT_EQ(Keys(item["installers"][0]),
              (std::vector<std::string>{"url", "command", "localPath", "md5"}));
    EXPECT_EQ(item["installers"][0]["url"], "https://bank.example/dl/c_setup.exe");
    EXPECT_TRUE(
        item["installers"][0]["localPath"].get<std::string>().ends_with("\\DownTmp\\c_setup.exe"));
    EXPECT_EQ(Keys(item["uninstallers"][0]), (std::vector<std::string>{"command", "type", "bit"}));
    EXPECT_EQ(Keys(item["files"][0]),
              (std::vector<std::string>{"text", "localPath", "url", "version", "md5", "install"}));
    EXPECT_TRUE(item["files"][0]["localPath"].get<std::string>().ends_with("\\c.ocx"));
    EXPECT_EQ(json["components"][0]["name"], "runtime");
    EXPECT_EQ(Keys(json["appInfo"]), (std::vector<std::string>{"imperative", "version", "remote",
                                                               "localPath", "md5", "installer"}));
    EXPECT_TRUE(json["appInfo"]["localPath"].get<std::string>().ends_with("\\nestora.exe"));
}

TEST_F(ValidateConfigCommand, ExitsOneWithTheReasonWhenTheProgramCouldNotUseIt) {
    struct Case {
        const char* what;
        std::string document;  // "-" for a file that does not exist
        bool printsModel;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"wrong root", "<items><item name='a'/></items>", true, "checkitems"},
        {"two roots", "<checkitems/><checkitems/>", true, "not well-formed"},
        {"unclosed element", "<checkitems><item></checkitems>", true, "not well-formed"},
        {"empty file", "", false, "empty"},
        {"missing file", "-", false, "cannot read"},
    };
    for (const Case& c : cases) {
        const std::string path = c.document == "-" ? (sandbox_.Root() / "absent.xml").string()
                                                   : WriteFixture("bad.xml", c.document);
        const RunResult result = Run({"--validate-config", path});
        EXPECT_EQ(result.exitCode, 1) << c.what;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.what << ": " << result.err;
        if (c.printsModel) {
            const auto json = nlohmann::ordered_json::parse(result.out);
            EXPECT_EQ(json["usable"], false) << c.what;
            EXPECT_TRUE(json["items"].empty()) << c.what;
        } else {
            EXPECT_EQ(result.out, "") << c.what;
        }
    }
    const auto unclosed = nlohmann::ordered_json::parse(
        Run({"--validate-config", WriteFixture("bad.xml", "<checkitems><item></checkitems>")}).out);
    EXPECT_NE(unclosed["problems"].get<std::string>().find("unended_start_tag"), std::string::npos);
}

TEST_F(ValidateConfigCommand, KeepsInvalidUtf8PrintableAsJson) {
    const RunResult result =
        Run({"--validate-config", WriteFixture("latin1.xml",
                                               "<checkitems><item name=\"caf\xE9\"/>"
                                               "</checkitems>")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(nlohmann::json::parse(result.out)["items"][0]["name"], "caf\xEF\xBF\xBD");
}

TEST_F(ValidateConfigCommand, RefusesAMissingArgument) {
    EXPECT_EQ(Run({"--validate-config"}).exitCode, 2);
    EXPECT_EQ(Run({}).exitCode, 2);
}

TEST_F(ValidateConfigCommand, FetchesAnAddressWithTheProgramsOwnRequest) {
    nestora_test::BankServer server;
    ASSERT_TRUE(server.Started()) << server.Error();

    const RunResult served = Run({"--validate-config", server.HttpUrl("/cfg/item.xml")});
    EXPECT_EQ(served.exitCode, 0) << served.err;
    EXPECT_EQ(nlohmann::json::parse(served.out)["usable"], true);

    for (const char* path : {"/test/404", "/test/short", "/cfg/absent.xml"}) {
        const RunResult failed = Run({"--validate-config", server.HttpUrl(path)});
        EXPECT_EQ(failed.exitCode, 1) << path;
        EXPECT_EQ(failed.out, "") << path;
        EXPECT_NE(failed.err.find("nothing could be fetched"), std::string::npos) << failed.err;
    }
}

// The demo server's item.xml exercises every part of the format.
TEST_F(ValidateConfigCommand, AcceptsTheDemoConfiguration) {
    const std::string demo =
        std::string(NESTORA_SOURCE_DIR) + "/tools/bank-server/site/cfg/item.xml";
    const RunResult result = Run({"--validate-config", demo});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["problems"], "");

    std::set<std::string> sectionTypes;
    for (const auto& section : json["sections"]) {
        EXPECT_FALSE(section["entries"].empty()) << section["type"];
        sectionTypes.insert(section["type"].get<std::string>());
    }
    EXPECT_EQ(sectionTypes, (std::set<std::string>{"registry", "compatibility", "host", "dns",
                                                   "service", "trust"}));
    int controls = 0;
    int drivers = 0;
    for (const auto& item : json["items"]) {
        controls += item["type"] == "control";
        drivers += item["type"] == "driver";
        EXPECT_FALSE(item["detects"].empty()) << item["name"];
    }
    EXPECT_EQ(controls, 2);
    EXPECT_EQ(drivers, 3);
    EXPECT_FALSE(json["appInfo"]["version"].get<std::string>().empty());
}

}  // namespace
