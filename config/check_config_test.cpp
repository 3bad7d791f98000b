#include "config/check_config.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/download_path.h"
#include "platform/context.h"
#include "platform/files.h"
#include "tests/support/temp_sandbox.h"

namespace config {
namespace {

std::unique_ptr<CheckConfig> Load(nestora_test::TempSandbox& sandbox, const std::string& xml) {
    auto config = std::make_unique<CheckConfig>();
    EXPECT_TRUE(config->LoadFromXml(xml, sandbox.Context())) << xml;
    return config;
}

std::string DownTmp(nestora_test::TempSandbox& sandbox, const std::string& name) {
    return sandbox.Context().files->GetTempPath() + "DownTmp\\" + name;
}

TEST(LoadFromXml, RejectsDocumentsWithoutOneCheckitemsRoot) {
    nestora_test::TempSandbox sandbox;
    const std::vector<std::string> documents = {
        "",
        "plain text",
        "<checkitems><config type='dns'></checkitems>",
        "<items base='x'><item name='a'/></items>",
        "<checkitems base='x'/><checkitems base='y'/>",
        "<CheckItems base='x'><item name='a'/></CheckItems>",
    };
    for (const std::string& document : documents) {
        CheckConfig config;
        EXPECT_FALSE(config.LoadFromXml(document, sandbox.Context())) << document;
        EXPECT_FALSE(config.loaded.load()) << document;
        EXPECT_TRUE(config.base.empty() && config.sections.empty() && config.items.empty() &&
                    config.components.empty() && config.appInfo.version.empty())
            << document;
    }
}

TEST(LoadFromXml, AcceptsDeclarationCommentsAndByteOrderMarkAroundTheRoot) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox,
                       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"gbk\"?>\n<!-- demo -->\n"
                       "<checkitems base=\"https://bank/\"><item name=\"a\"/></checkitems>\n");
    EXPECT_TRUE(config->loaded.load());
    EXPECT_EQ(config->base, "https://bank/");
    ASSERT_EQ(config->items.size(), 1u);
    EXPECT_EQ(config->items[0].status, kStatusNotDetected);
}

TEST(LoadFromXml, MergesSectionsOfTheSameTypeInOrderOfFirstAppearance) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox, R"(<checkitems>
        <config type="dns"><entry ip="1.1.1.1">a</entry></config>
        <config type="host"><entry>h</entry></config>
        <config type="trust"></config>
        <config><entry>untyped</entry></config>
        <item name="between"/>
        <config type="dns"><entry ip="2.2.2.2">b</entry><entry ip="3.3.3.3">c</entry></config>
        <config type="DNS"><entry ip="4.4.4.4">d</entry></config>
    </checkitems>)");
    std::vector<std::string> types;
    for (const ConfigSection& section : config->sections) {
        types.push_back(section.type);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"dns", "host", "trust", "", "DNS"}));

    const ConfigSection* dns = config->FindSection("dns");
    ASSERT_NE(dns, nullptr);
    std::vector<std::string> texts;
    for (const ConfigEntry& entry : dns->entries) {
        texts.push_back(entry.text + "=" + entry.value);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"a=1.1.1.1", "b=2.2.2.2", "c=3.3.3.3"}));
    EXPECT_TRUE(config->FindSection("trust")->entries.empty());
    EXPECT_EQ(config->FindSection("")->entries.at(0).text, "untyped");
    EXPECT_EQ(config->FindSection("DNS")->entries.size(), 1u);
    EXPECT_EQ(config->FindSection("Trust"), nullptr);
    EXPECT_EQ(config->FindSection("dn"), nullptr);
}

TEST(LoadFromXml, StoresOnlyTheAttributesThatTheSectionTypeUses) {
    struct Case {
        std::string type;
        ConfigEntry expected;
    };
    const std::vector<Case> cases = {
        {"registry", {"HKCU\\K", "N", "reg_dword", "V", "M"}},
        {"dns", {"HKCU\\K", "N", "", "IP", ""}},
        {"service", {"HKCU\\K", "", "", "", ""}},
        {"Registry", {"HKCU\\K", "", "", "", ""}},
        {"", {"HKCU\\K", "", "", "", ""}},
    };
    nestora_test::TempSandbox sandbox;
    for (const Case& c : cases) {
        auto config = Load(sandbox, "<checkitems><config type=\"" + c.type +
                                        "\"><entry name=\"N\" type=\"reg_dword\" value=\"V\" "
                                        "mask=\"M\" ip=\"IP\">HKCU\\K</entry></config>"
                                        "</checkitems>");
        const ConfigEntry& entry = config->FindSection(c.type)->entries.at(0);
        EXPECT_EQ(entry.text, c.expected.text) << c.type;
        EXPECT_EQ(entry.name, c.expected.name) << c.type;
        EXPECT_EQ(entry.type, c.expected.type) << c.type;
        EXPECT_EQ(entry.value, c.expected.value) << c.type;
        EXPECT_EQ(entry.mask, c.expected.mask) << c.type;
    }
}

TEST(LoadFromXml, KeepsTextAsWrittenWithReferencesDecoded) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox,
                       "<checkitems><config type=\"registry\">"
                       "<entry name=\"a&amp;b\">\n  x &amp; y\t\n</entry>"
                       "<entry>&#27712;&#x5C9A;<![CDATA[<raw&amp;>]]></entry>"
                       "</config></checkitems>");
    const auto& entries = config->FindSection("registry")->entries;
    EXPECT_EQ(entries.at(0).text, "\n  x & y\t\n");
    EXPECT_EQ(entries.at(0).name, "a&b");
    EXPECT_EQ(entries.at(1).text, "\xE6\xB1\x80\xE5\xB2\x9A<raw&amp;>");
}

TEST(LoadFromXml, ReadsItemAndComponentAttributesIntoSeparateLists) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox, R"(<checkitems>
        <component name="runtime" type="runtime"><detect type="reg">HKLM,K,V</detect></component>
        <item name="key" type="driver" tips="t" image="i.gif" class="CHaitaiUSBKey" extra="x">
          <detect type="file">%ProgramFiles%\a.dll</detect>
          <detect type="usbkey">0x1,0x2</detect>
        </item>
        <item name="second"/>
    </checkitems>)");
    ASSERT_EQ(config->items.size(), 2u);
    ASSERT_EQ(config->components.size(), 1u);
    const ComponentItem& item = config->items[0];
    EXPECT_EQ(item.name, "key");
    EXPECT_EQ(item.type, "driver");
    EXPECT_EQ(item.tips, "t");
    EXPECT_EQ(item.image, "i.gif");
    EXPECT_EQ(item.className, "CHaitaiUSBKey");
    ASSERT_EQ(item.detects.size(), 2u);
    EXPECT_EQ(item.detects[0].type, "file");
    EXPECT_EQ(item.detects[0].value, "%ProgramFiles%\\a.dll");
    EXPECT_EQ(item.detects[1].value, "0x1,0x2");
    EXPECT_EQ(config->items[1].name, "second");
    EXPECT_EQ(config->components[0].detects.at(0).value, "HKLM,K,V");
}

TEST(LoadFromXml, ReadsSelectedIdAsTheLeadingDecimalNumber) {
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"", 0},
        {"2", 2},
        {"  \t17", 17},
        {"-3", -3},
        {"+4", 4},
        {"12abc", 12},
        {"abc", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999", -2147483647 - 1},
    };
    nestora_test::TempSandbox sandbox;
    for (const auto& [text, expected] : cases) {
        auto config = Load(sandbox, "<checkitems><item selectedid=\"" + text + "\"/></checkitems>");
        EXPECT_EQ(config->items.at(0).selectedId, expected) << "'" << text << "'";
    }
    auto missing = Load(sandbox, "<checkitems><item/></checkitems>");
    EXPECT_EQ(missing->items.at(0).selectedId, 0);
}

TEST(LoadFromXml, JoinsRelativeAddressesToTheBaseAsWritten) {
    struct Case {
        std::string base;
        std::string remote;  // attribute text, or "-" for no attribute
        std::string expectedUrl;
    };
    const std::vector<Case> cases = {
        {"https://bank/download/", "a.ocx", "https://bank/download/a.ocx"},
        {"https://bank/download", "a.ocx", "https://bank/downloada.ocx"},
        {"https://bank/download/", "http://other/b.ocx", "http://other/b.ocx"},
        {"https://bank/", "x://y", "x://y"},
        {"https://bank/", "", "https://bank/"},
        {"https://bank/", "-", "https://bank/"},
        {"", "c.ocx", "c.ocx"},
    };
    nestora_test::TempSandbox sandbox;
    for (const Case& c : cases) {
        const std::string remote = c.remote == "-" ? "" : " remote=\"" + c.remote + "\"";
        auto config =
            Load(sandbox, "<checkitems base=\"" + c.base + "\"><item><file" + remote +
                              "/><installer>" + c.remote + "</installer></item></checkitems>");
        EXPECT_EQ(config->items[0].files.at(0).url, c.expectedUrl) << c.base << " " << c.remote;
        if (c.remote != "-") {
            EXPECT_EQ(config->items[0].installers.at(0).url, c.expectedUrl);
        }
    }
}

TEST(LoadFromXml, GivesFilesAnExpandedLocalPathOrADownloadPath) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox, R"(<checkitems base="https://bank/dl/"><item>
        <file local="%windir%\Downloaded Program Files\a.ocx" remote="a.ocx" version="1.0.0.1"
              md5="0123" install="regserver">control A</file>
        <file remote="sub/b.exe?v=2"/>
        <file/>
    </item></checkitems>)");
    const auto& files = config->items[0].files;
    ASSERT_EQ(files.size(), 3u);
    const std::string windir = *sandbox.Context().files->GetEnvironmentVariable("windir");
    EXPECT_EQ(files[0].localPath, windir + "\\Downloaded Program Files\\a.ocx");
    EXPECT_EQ(files[0].url, "https://bank/dl/a.ocx");
    EXPECT_EQ(files[0].version, "1.0.0.1");
    EXPECT_EQ(files[0].md5, "0123");
    EXPECT_EQ(files[0].install, "regserver");
    EXPECT_EQ(files[0].text, "control A");
    EXPECT_EQ(files[1].localPath, DownTmp(sandbox, "b.exe"));
    EXPECT_EQ(files[2].url, "https://bank/dl/");
    EXPECT_EQ(files[2].localPath, DownTmp(sandbox, std::string(kDefaultDownloadName)));
    EXPECT_TRUE(
        sandbox.Context().files->IsDirectory(sandbox.Context().files->GetTempPath() + "DownTmp"));

    auto nothing = Load(sandbox, "<checkitems><item><file/></item></checkitems>");
    EXPECT_EQ(nothing->items[0].files.at(0).localPath, "");
}

TEST(LoadFromXml, LeavesALocalPathThatDoesNotFitEmptyInsteadOfLookingElsewhere) {
    nestora_test::TempSandbox sandbox;
    const std::string longName(250, 'n');
    auto config = Load(sandbox,
                       "<checkitems base=\"https://bank/\"><item>"
                       "<file local=\"%windir%\\" +
                           longName +
                           "\" remote=\"a.ocx\"/>"
                           "<file remote=\"" +
                           longName +
                           ".exe\"/>"
                           "<installer>" +
                           longName +
                           ".exe</installer>"
                           "</item></checkitems>");
    const ComponentItem& item = config->items[0];
    EXPECT_EQ(item.files.at(0).localPath, "");
    EXPECT_EQ(item.files.at(1).localPath, "");
    EXPECT_EQ(item.installers.at(0).localPath, "");
    EXPECT_EQ(item.installers.at(0).url, "https://bank/" + longName + ".exe");
}

TEST(LoadFromXml, ChoosesInstallersAndUninstallersByWindowsVersion) {
    const std::string xml = R"(<checkitems base="https://bank/"><item>
        <installer command="any">any.exe</installer>
        <installer command="nt6" condition="NT6" md5="66">nt6.exe</installer>
        <installer command="nt5" condition="NT5">nt5.exe</installer>
        <installer command="lower" condition="nt6">lower.exe</installer>
        <installer command="other" condition="XP">xp.exe</installer>
        <uninstaller type="exe" bit="32">any /u</uninstaller>
        <uninstaller condition="NT6" type="msi" bit="64">nt6 /u</uninstaller>
        <uninstaller condition="NT5">nt5 /u</uninstaller>
        <uninstaller condition=" NT5">spaced /u</uninstaller>
    </item></checkitems>)";
    struct Case {
        std::string preset;
        std::vector<std::string> installers;
        std::vector<std::string> uninstallers;
    };
    const std::vector<Case> cases = {
        {"", {"any", "nt6"}, {"any /u", "nt6 /u"}},
        {"vista", {"any", "nt6"}, {"any /u", "nt6 /u"}},
        {"10", {"any", "nt6"}, {"any /u", "nt6 /u"}},
        {"xp-sp3-32", {"any", "nt5"}, {"any /u", "nt5 /u"}},
        {"2003", {"any", "nt5"}, {"any /u", "nt5 /u"}},
    };
    for (const Case& c : cases) {
        nestora_test::TempSandbox sandbox(c.preset);
        auto config = Load(sandbox, xml);
        std::vector<std::string> installers;
        for (const InstallerRule& installer : config->items[0].installers) {
            installers.push_back(installer.command);
        }
        std::vector<std::string> uninstallers;
        for (const UninstallerRule& uninstaller : config->items[0].uninstallers) {
            uninstallers.push_back(uninstaller.command);
        }
        EXPECT_EQ(installers, c.installers) << c.preset;
        EXPECT_EQ(uninstallers, c.uninstallers) << c.preset;
    }
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox, xml);
    const InstallerRule& nt6 = config->items[0].installers.at(1);
    EXPECT_EQ(nt6.url, "https://bank/nt6.exe");
    EXPECT_EQ(nt6.md5, "66");
    EXPECT_EQ(nt6.localPath, DownTmp(sandbox, "nt6.exe"));
    const UninstallerRule& uninstaller = config->items[0].uninstallers.at(1);
    EXPECT_EQ(uninstaller.type, "msi");
    EXPECT_EQ(uninstaller.bit, "64");
}

TEST(LoadFromXml, SeesUninstallersOnlyAfterTheLastInstaller) {
    struct Case {
        std::string children;
        std::vector<std::string> uninstallers;
    };
    const std::vector<Case> cases = {
        {"<installer>a</installer><uninstaller>u1</uninstaller><uninstaller>u2</uninstaller>",
         {"u1", "u2"}},
        {"<uninstaller>u1</uninstaller><installer>a</installer>", {}},
        {"<uninstaller>u1</uninstaller><installer>a</installer><uninstaller>u2</uninstaller>",
         {"u2"}},
        {"<uninstaller>u1</uninstaller><detect>d</detect><uninstaller>u2</uninstaller>",
         {"u1", "u2"}},
        {"<installer>a</installer><uninstaller>u1</uninstaller><installer condition='x'>b"
         "</installer><uninstaller>u2</uninstaller>",
         {"u2"}},
    };
    nestora_test::TempSandbox sandbox;
    for (const Case& c : cases) {
        auto config = Load(sandbox, "<checkitems><item>" + c.children + "</item></checkitems>");
        std::vector<std::string> uninstallers;
        for (const UninstallerRule& uninstaller : config->items[0].uninstallers) {
            uninstallers.push_back(uninstaller.command);
        }
        EXPECT_EQ(uninstallers, c.uninstallers) << c.children;
    }
}

TEST(LoadFromXml, TakesTheLastAppInfoWhole) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox, R"(<checkitems base="https://bank/dl/">
        <appinfo imperative="1" version="1.0.0.3" remote="https://bank/old.exe" md5="aa"
                 installer="https://bank/setup.exe"/>
        <item name="between"/>
        <appinfo version="1.0.0.5" remote="new.exe?x=1"/>
    </checkitems>)");
    const AppInfo& appInfo = config->appInfo;
    EXPECT_EQ(appInfo.imperative, "");
    EXPECT_EQ(appInfo.version, "1.0.0.5");
    EXPECT_EQ(appInfo.remote, "new.exe?x=1");
    EXPECT_EQ(appInfo.md5, "");
    EXPECT_EQ(appInfo.installer, "");
    EXPECT_EQ(appInfo.localPath, DownTmp(sandbox, "new.exe"));

    auto withInstaller = Load(sandbox, R"(<checkitems><appinfo imperative="1"
        remote="https://bank/nestora.exe" installer="https://bank/nestora_setup.exe"/></checkitems>)");
    EXPECT_EQ(withInstaller->appInfo.imperative, "1");
    EXPECT_EQ(withInstaller->appInfo.localPath, DownTmp(sandbox, "nestora_setup.exe"));
}

TEST(LoadFromXml, IgnoresUnknownElementsAndTheOrderOfKinds) {
    nestora_test::TempSandbox sandbox;
    auto config = Load(sandbox, R"(<checkitems>
        <appinfo version="2"/>
        <item name="a"><note>n</note><file remote="f"/><detect>d</detect></item>
        <unknown><item name="nested"/><config type="deep"/></unknown>
        <config type="host"><entry>h</entry><other>o</other></config>
    </checkitems>)");
    ASSERT_EQ(config->items.size(), 1u);
    EXPECT_EQ(config->items[0].detects.size(), 1u);
    EXPECT_EQ(config->items[0].files.size(), 1u);
    ASSERT_EQ(config->sections.size(), 1u);
    EXPECT_EQ(config->sections[0].entries.size(), 1u);
    EXPECT_EQ(config->appInfo.version, "2");
}

}  // namespace
}  // namespace config
