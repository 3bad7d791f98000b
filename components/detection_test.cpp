#include "components/detection.h"

#include <gtest/gtest.h>

#include "components/file_checks.h"
#include "components/test_files.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

using config::ComponentFile;
using config::ComponentItem;
using config::DetectRule;
using namespace components::testing;

constexpr const char* kClsid = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";
constexpr const char* kControlPath = "C:\\Windows\\System32\\Bank\\Control.dll";
constexpr std::uint32_t kKey = 0x096E0201;
constexpr std::int32_t kDisabled = config::kStatusAddOnDisabled;
constexpr std::int32_t kAbsent = config::kStatusUsbKeyAbsent;

class Detection : public ::testing::Test {
protected:
    Detection() {
        WriteSandboxFile(context(), kControlPath, ControlText(kClsid, {1, 5, 2, 9}));
        RegisterClass(context(), kClsid, kControlPath);
    }

    platform::Context& context() { return sandbox_.Context(); }

    std::int32_t Detect(ComponentItem item) {
        item.status = 0x7FFFFFFF;  // nothing survives from an earlier pass
        std::vector<ComponentItem> items{item};
        DetectComponents(items, context(), [this] {
            ++listings_;
            return attached_;
        });
        return items[0].status;
    }

    nestora_test::TempSandbox sandbox_;
    std::vector<std::uint32_t> attached_{0x11110001, kKey};
    int listings_ = 0;
};

ComponentItem Item(std::vector<DetectRule> rules, std::vector<ComponentFile> files = {},
                   bool withInstaller = false) {
    ComponentItem item;
    item.detects = std::move(rules);
    item.files = std::move(files);
    if (withInstaller) {
        item.installers.push_back({"https://bank/setup.exe", "\"%1\" /S", "C:\\t\\setup.exe", ""});
    }
    return item;
}

ComponentFile File(std::string version, std::string md5 = {}, std::string url = {}) {
    ComponentFile file;
    file.localPath = kControlPath;
    file.version = std::move(version);
    file.md5 = std::move(md5);
    file.url = std::move(url);
    return file;
}

TEST_F(Detection, StatesFromRulesFilesAndWhatCanBeInstalled) {
    const std::string md5 = FileMd5Hex(*context().files, kControlPath);
    std::string upperMd5 = md5;
    for (char& c : upperMd5)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const DetectRule registered{kClsid, "clsid"};
    const DetectRule unregistered{"{00000000-0000-0000-0000-000000000001}", "clsid"};
    const struct {
        const char* name;
        ComponentItem item;
        std::int32_t status;
    } cases[] = {
        {"no rules, no files", Item({}), kStateInstalled},
        {"service only", Item({{"KeyService", "service"}}), kStateInstalled},
        {"missing control, installer", Item({unregistered}, {}, true), kStateInstallable},
        {"missing control, file url", Item({unregistered}, {File("", "", "https://b/c.dll")}),
         kStateInstallable},
        {"missing control, nothing", Item({unregistered}, {File("")}), kStateMissing},
        {"file 1.5.2.9 meets 1.5", Item({registered}, {File("1.5")}), kStateInstalled},
        {"file 1.5.2.9 meets 1.5.2.9", Item({registered}, {File("1.5.2.9")}), kStateInstalled},
        {"file 1.5.2.9 misses 1.5.3", Item({registered}, {File("1.5.3")}), kStateOutdated},
        {"file 1.5.2.9 misses 1.5.3, upgradable",
         Item({registered}, {File("1.5.3", "", "https://b/c.dll")}), kStateUpgradable},
        {"lower-case md5", Item({registered}, {File("", md5)}), kStateInstalled},
        {"upper-case md5", Item({registered}, {File("", upperMd5)}, true), kStateUpgradable},
        {"file rule present", Item({{"%SystemRoot%\\System32\\Bank\\Control.dll", "file"}}),
         kStateInstalled},
        {"file rule missing", Item({{"%SystemRoot%\\nothing.dll", "file"}}), kStateMissing},
        {"file rule too long", Item({{"C:\\" + std::string(300, 'a'), "file"}}), kStateMissing},
        {"reg rule missing", Item({{"HKLM,SOFTWARE\\Nobody,Version", "reg"}}), kStateMissing},
        {"CLSID spelled otherwise", Item({{"{00000000-0000-0000-0000-000000000001}", "CLSID"}}),
         kStateInstalled},
        {"File spelled otherwise", Item({{"C:\\nothing", "File"}}), kStateInstalled},
        {"missing file stops before version", Item({registered}, {File("9"), File("1")}),
         kStateOutdated},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect(c.item), c.status) << c.name;
    }
}

TEST_F(Detection, AddOnSwitchedOffIsFlaggedEvenWhenTheControlIsMissing) {
    DisableAddOn(context(), kClsid, 1);
    DisableAddOn(context(), "{00000000-0000-0000-0000-000000000001}", 1);
    EXPECT_EQ(Detect(Item({{kClsid, "clsid"}})), kDisabled | kStateInstalled);
    EXPECT_EQ(Detect(Item({{"{00000000-0000-0000-0000-000000000001}", "clsid"}})),
              kDisabled | kStateMissing);

    DisableAddOn(context(), kClsid, 3);
    EXPECT_EQ(Detect(Item({{kClsid, "clsid"}})), kStateInstalled) << "Flags other than 1";
}

TEST_F(Detection, UsbKeyRulesSetOnlyTheAbsentFlag) {
    const struct {
        const char* list;
        std::int32_t status;
    } cases[] = {
        {"0x096E0201, 7", 0}, {"7,158204417", 0},  // the key's id in decimal
        {" +0x096E0201", 0},  {"0x096E0202", kAbsent}, {"HaitaiKey", kAbsent},
        {"", kAbsent},        {"0,,x", kAbsent},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect(Item({{c.list, "usbkey"}})), c.status) << c.list;
    }
    attached_ = {0};
    EXPECT_EQ(Detect(Item({{"0", "usbkey"}})), kAbsent) << "a failed device matches nothing";
}

TEST_F(Detection, RulesAfterAFailingPresenceRuleAreNotEvaluated) {
    EXPECT_EQ(Detect(Item({{"C:\\nothing", "file"}, {"0x5448A001", "usbkey"}}, {}, true)),
              kStateInstallable);
    EXPECT_EQ(listings_, 0);
    EXPECT_EQ(Detect(Item({{"0x5448A001", "usbkey"}, {"C:\\nothing", "file"}}, {}, true)),
              kAbsent | kStateInstallable);
    EXPECT_EQ(listings_, 1);
}

TEST(ParseUsbKeyList, ReadsEachPartLikeStrtolInBaseZero) {
    const struct {
        const char* text;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {"0x5448A001,0x5448A002", {0x5448A001, 0x5448A002}},
        {"0x096E0305, 158204417", {0x096E0305, 158204417}},
        {"010", {8}},
        {"12abc, -1", {12, 0xFFFFFFFF}},
        {"0xFFFFFFFF", {0x7FFFFFFF}},
        {"letters", {}},
        {",,", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseUsbKeyList(c.text), c.ids) << c.text;
    }
}

TEST(IsControlRegistered, NeedsATerminatedPathThatExists) {
    nestora_test::TempSandbox sandbox;
    platform::Context& context = sandbox.Context();
    WriteSandboxFile(context, kControlPath, "x");
    RegisterClass(context, "{A}", kControlPath);
    RegisterClass(context, "{B}", "C:\\Windows\\System32\\gone.dll");
    RegisterClass(context, "{C}", "%SystemRoot%\\System32\\Bank\\Control.dll");
    platform::RegKey key;
    context.registry->CreateKey(platform::RegKey::Root(platform::Hive::ClassesRoot),
                                "CLSID\\{D}\\InprocServer32", platform::KEY_ALL_ACCESS, key);
    const std::string unterminated = "C:\\Windows\\System32\\Bank\\Control.dll";
    const auto bytes = platform::RegSzBytes(unterminated);
    context.registry->SetValue(key, "", platform::REG_SZ, bytes.data(),
                               static_cast<win::DWORD>(bytes.size() - 2));

    EXPECT_TRUE(IsControlRegistered(context, "{A}"));
    EXPECT_FALSE(IsControlRegistered(context, "{B}"));
    EXPECT_FALSE(IsControlRegistered(context, "{C}")) << "used as stored, not expanded";
    EXPECT_FALSE(IsControlRegistered(context, "{D}"));
    EXPECT_FALSE(IsControlRegistered(context, "{E}"));
}

TEST(IsAddonDisabled, ReenablingDeletesTheSettingsKey) {
    nestora_test::TempSandbox sandbox;
    platform::Context& context = sandbox.Context();
    DisableAddOn(context, kClsid, 1);
    EXPECT_TRUE(IsAddonDisabled(*context.registry, kClsid, false));
    EXPECT_TRUE(IsAddonDisabled(*context.registry, kClsid, false));
    EXPECT_FALSE(IsAddonDisabled(*context.registry, kClsid, true));
    EXPECT_FALSE(IsAddonDisabled(*context.registry, kClsid, false));
    platform::RegKey key;
    EXPECT_EQ(
        context.registry->OpenKey(
            platform::RegKey::Root(platform::Hive::CurrentUser),
            std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\") + kClsid,
            platform::KEY_READ, key),
        win::ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace components
