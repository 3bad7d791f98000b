#include "usbkey/report_usb_keys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <variant>

#include "config/check_config.h"
#include "dialog/ui_bridge.h"
#include "usbkey/testlibs/key_library_fixture.h"

namespace usbkey {
namespace {

using nlohmann::json;
using ::testing::ElementsAreArray;

// Records page calls as "function arg arg ...".
class RecordingHost : public nestora::DialogHost {
public:
    void SetTimer(int, unsigned) override {}
    void KillTimer(int) override {}
    void PostToUi(std::function<void()>) override {}
    win::HRESULT CallPageFunction(std::string_view name,
                                  const std::vector<nestora::PageArg>& arguments) override {
        std::string call(name);
        for (const nestora::PageArg& argument : arguments) {
            call += ' ';
            call += std::holds_alternative<std::int32_t>(argument)
                        ? std::to_string(std::get<std::int32_t>(argument))
                        : std::get<std::string>(argument);
        }
        calls.push_back(call);
        return win::S_OK;
    }
    int ShowTaskDialog(const nestora::TaskDialogRequest&) override { return -1; }
    int ShowMessageBox(const nestora::MessageBoxRequest&) override { return 0; }
    void PostClose() override {}
    void PostQuitMessage(int) override {}

    std::vector<std::string> calls;
};

struct ItemSpec {
    std::string className;
    std::int32_t status = 0;
};

class ReportUsbKeysTest : public usbkey_test::KeyLibraryFixture {
protected:
    // The page calls of one report, without the clearing that always comes first.
    std::vector<std::string> Report(const std::vector<ItemSpec>& items,
                                    const std::string& variant = "full") {
        config::CheckConfig config;
        for (const ItemSpec& spec : items) {
            config::ComponentItem item;
            item.className = spec.className;
            item.status = spec.status;
            config.items.push_back(item);
        }
        RecordingHost host;
        nestora::UiBridge ui(host);
        ReportUsbKeys(Files(), ProgramPath(variant), config, ui);
        const std::vector<std::string> clearing = Clearing();
        EXPECT_TRUE(host.calls.size() >= clearing.size() &&
                    std::equal(clearing.begin(), clearing.end(), host.calls.begin()))
            << "the report does not start with the clearing";
        return {host.calls.begin() + std::min(clearing.size(), host.calls.size()),
                host.calls.end()};
    }

    static std::vector<std::string> Clearing() {
        std::vector<std::string> calls;
        for (int category = 800; category <= 803; ++category) {
            for (int item = 2; item <= 7; ++item)
                calls.push_back("clearState " + std::to_string(category) + " " +
                                std::to_string(item));
        }
        return calls;
    }
};

constexpr std::int32_t kKeyAbsent = config::kStatusUsbKeyAbsent;

TEST_F(ReportUsbKeysTest, ReportsEveryBrandIntoItsCategory) {
    WriteSettings(
        {{"haitai",
          {{"version", "HT 2.0"},
           {"initPin", 0},
           {"keys",
            {{{"serial", "HT1"}, {"certificates", {"Alice", "Alice Sign"}}, {"pinRetry", 6}}}}}},
         {"jianshi",
          {{"version", "JS 5"},
           {"keys",
            {{{"serial", "JS1"},
              {"certificates", {"Bob"}},
              {"pinRetry", 3},
              {"keyFile", 1},
              {"defaultPin", 0}}}}}},
         {"feitian",
          {{"version", "FT 1"},
           {"keys", {{{"serial", "FT1"}, {"pinRetry", 2}, {"changePin", true}}}}}}});
    const std::vector<std::string> expected = {
        "setState 800 2 HT1", "setState 800 3 0", "setState 800 4 0", "setState 800 5 1",
        "setState 800 6 2", "setState 800 7 0", "setState 800 8 HT 2.0", "setState 801 2 JS1",
        "setState 801 3 0", "setState 801 4 0", "setState 801 5 0", "setState 801 6 1",
        "setState 801 7 0", "setState 801 8 JS 5",
        // GetCertCount failed, yet the key shows one certificate and "registered".
        "setState 802 2 FT1", "setState 802 3 0", "setState 802 4 0", "setState 802 5 1",
        "setState 802 6 1", "setState 802 7 0", "setState 802 8 FT 1"};
    EXPECT_THAT(Report({{"CHaitaiUSBKey"}, {"CJianshiUSBKey"}, {"CFeitianUSBKey", 2}}),
                ElementsAreArray(expected));
}

struct EdgeCase {
    const char* name;
    json settings;
    std::vector<ItemSpec> items;
    std::vector<std::string> expected;  // after the clearing
};

TEST_F(ReportUsbKeysTest, EdgeCases) {
    const json oneHaitaiKey = {{"version", "2.0"},
                               {"keys", {{{"serial", "HT1"}, {"pinRetry", 5}}}}};
    const EdgeCase cases[] = {
        {"an installable item is skipped, driver version included",
         {{"haitai", oneHaitaiKey}},
         {{"CHaitaiUSBKey", 5}, {"CHaitaiUSBKey", 5 | kKeyAbsent}},
         {}},
        {"no key plugged in: only the driver version",
         {{"jianshi", {{"version", "5.1"}, {"keyCount", 0}}}},
         {{"CJianshiUSBKey"}},
         {"setState 801 8 5.1"}},
        {"key absent although the library reports one: only the driver version",
         {{"haitai", oneHaitaiKey}},
         {{"CHaitaiUSBKey", 4 | kKeyAbsent}},
         {"setState 800 8 2.0"}},
        {"two Haitai keys, the second without attempts left",
         {{"haitai",
           {{"keys",
             {{{"serial", "HT1"}, {"pinRetry", 5}, {"certificates", {"A"}}},
              {{"serial", "HT2"}, {"pinRetry", 0}, {"certificates", {"B", "C"}}}}}}}},
         {{"CHaitaiUSBKey"}},
         {"setState 800 2 HT1", "setState 800 3 0", "setState 800 4 1", "setState 800 5 0",
          "setState 800 6 1", "setState 800 7 0"}},
        {"a Jianshi key file of 0 is incomplete",
         {{"jianshi", {{"keys", {{{"serial", "JS1"}, {"keyFile", 0}}}}}}},
         {{"CJianshiUSBKey"}},
         {"setState 801 2 JS1", "setState 801 3 1", "setState 801 5 0", "setState 801 6 0",
          "setState 801 7 1"}},
        {"two Feitian serials separated by a semicolon",
         {{"feitian",
           {{"keyCount", 2},
            {"snBuffer", "FT1;FT2"},
            {"keys",
             {{{"serial", "FT1"}, {"pinRetry", 3}}, {{"serial", "FT2"}, {"pinRetry", 0}}}}}}},
         {{"CFeitianUSBKey"}},
         {"setState 802 2 FT1", "setState 802 3 0", "setState 802 4 1", "setState 802 5 0",
          "setState 802 6 1", "setState 802 7 0"}},
        {"classes outside the table are skipped",
         {{"haitai", oneHaitaiKey}},
         {{"CUSBKey"}, {""}, {"chaitaiusbkey"}, {"CHaitaiUSBKey "}},
         {}},
        {"two items of one class report twice",
         {{"haitai", {{"version", "2.0"}}}},
         {{"CHaitaiUSBKey"}, {"CHaitaiUSBKey", 1 | kKeyAbsent}},
         {"setState 800 8 2.0", "setState 800 8 2.0"}},
        {"no serial read: the default-PIN answer alone is not shown",
         {{"haitai", {{"keyCount", 1}, {"fail", {"GetKeySN"}}, {"initPin", 0}}}},
         {{"CHaitaiUSBKey"}},
         {}},
    };
    for (const EdgeCase& edge : cases) {
        WriteSettings(edge.settings);
        EXPECT_THAT(Report(edge.items), ElementsAreArray(edge.expected)) << edge.name;
    }
}

TEST_F(ReportUsbKeysTest, WithoutTheLibrariesOnlyTheClearingReachesThePage) {
    WriteSettings({{"haitai", {{"version", "2.0"}}}});
    EXPECT_THAT(Report({{"CHaitaiUSBKey"}, {"CJianshiUSBKey"}, {"CFeitianUSBKey"}}, "none"),
                ElementsAreArray(std::vector<std::string>{}));
}

TEST_F(ReportUsbKeysTest, WithoutKeyEntryPointsTheDriverVersionIsStillShown) {
    WriteSettings({{"feitian", {{"version", "1.0"}, {"keys", {{{"serial", "FT1"}}}}}}});
    EXPECT_THAT(Report({{"CFeitianUSBKey"}}, "version-only"),
                ElementsAreArray(std::vector<std::string>{"setState 802 8 1.0"}));
}

}  // namespace
}  // namespace usbkey
