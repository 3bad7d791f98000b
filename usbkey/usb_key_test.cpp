#include "usbkey/usb_key.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "usbkey/feitian_usb_key.h"
#include "usbkey/haitai_usb_key.h"
#include "usbkey/jianshi_usb_key.h"
#include "usbkey/testlibs/key_library_fixture.h"

namespace usbkey {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Names = std::vector<std::string>;

class UsbKeyAdapterTest : public usbkey_test::KeyLibraryFixture {
protected:
    template <typename Adapter>
    KeyInfo Collect(const std::string& variant = "full") {
        Adapter adapter(Files(), ProgramPath(variant));
        adapter.CollectKeyInfo();
        return adapter.Info();
    }
};

TEST(LibraryPathTest, TakesTheLibraryFromTheProgramsFolder) {
    EXPECT_EQ(LibraryPathBesideProgram("C:\\Bank\\Nestora.exe", "FtBank.dll"),
              "C:\\Bank\\FtBank.dll");
    EXPECT_EQ(LibraryPathBesideProgram("Z:\\a b\\c/Nestora.exe", "x.dll"), "Z:\\a b\\c/x.dll");
    EXPECT_EQ(LibraryPathBesideProgram("Nestora.exe", "x.dll"), "x.dll");
}

TEST_F(UsbKeyAdapterTest, HaitaiReadsEveryKeyAndCountsReadAttemptsAsComplete) {
    WriteSettings(
        {{"haitai",
          {{"version", "2.0.1"},
           {"initPin", 0},
           {"keys",
            {{{"serial", "HT1"}, {"certificates", {"Alice", "Alice Sign"}}, {"pinRetry", 6}},
             {{"serial", "HT2"}, {"pinRetry", 0}},
             {{"serial", "HT3"}, {"certificates", json::array()}}}}}}});
    const KeyInfo info = Collect<CHaitaiUSBKey>();
    EXPECT_EQ(info.driverVersion, "2.0.1");
    EXPECT_THAT(info.serials, ElementsAre("HT1", "HT2", "HT3"));
    EXPECT_THAT(info.certificates, ElementsAre(Names{"Alice", "Alice Sign"}, Names{}, Names{}));
    EXPECT_THAT(info.pinRetries, ElementsAre(6, 0));
    EXPECT_THAT(info.integrity, ElementsAre(1, 1));
    EXPECT_THAT(info.defaultPin, ElementsAre(1));
    EXPECT_THAT(LoggedCalls(), ElementsAre("CheckKeyEnv", "GetSoftwareVersion zeroed",
                                           "GetKeyCount", "GetKeySN zeroed", "GetCertCN HT1",
                                           "GetCertCN HT2", "GetCertCN HT3", "GetPINRetry HT1",
                                           "GetPINRetry HT2", "GetPINRetry HT3", "CheckInitPin"));
}

TEST_F(UsbKeyAdapterTest, JianshiRunsOnePassPerEntryPointInOrder) {
    WriteSettings({{"jianshi",
                    {{"version", "5.5"},
                     {"keys",
                      {{{"serial", "JS1"},
                        {"certificates", {"Bob"}},
                        {"pinRetry", 3},
                        {"keyFile", 0},
                        {"defaultPin", 1}},
                       {{"serial", "JS2"}, {"keyFile", 1}}}}}}});
    const KeyInfo info = Collect<CJianshiUSBKey>();
    EXPECT_EQ(info.driverVersion, "5.5");
    EXPECT_THAT(info.serials, ElementsAre("JS1", "JS2"));
    EXPECT_THAT(info.certificates, ElementsAre(Names{"Bob"}, Names{}));
    EXPECT_THAT(info.pinRetries, ElementsAre(3));
    EXPECT_THAT(info.integrity, ElementsAre(0, 1));
    EXPECT_THAT(info.defaultPin, ElementsAre(1));
    EXPECT_THAT(LoggedCalls(),
                ElementsAre("CheckKeyEnv", "GetSoftwareVersion zeroed", "GetKeyCount",
                            "GetKeySN zeroed", "GetCertCN JS1", "GetCertCN JS2", "GetWebURL JS1",
                            "GetWebURL JS2", "GetPINRetry JS1", "GetPINRetry JS2", "GetKeyFile JS1",
                            "GetKeyFile JS2", "GetKeyDefaultPIN JS1", "GetKeyDefaultPIN JS2"));
}

TEST_F(UsbKeyAdapterTest, FeitianSplitsSerialsAtSemicolonsAndHasOneCertificateEntryPerKey) {
    WriteSettings({{"feitian",
                    {{"version", "1.2"},
                     {"keyCount", 2},
                     {"snBuffer", "FT1;FT2;"},
                     {"keys",
                      {{{"serial", "FT1"}, {"certCount", 3}, {"pinRetry", 5}, {"changePin", true}},
                       {{"serial", "FT2"}, {"pinRetry", 0}}}}}}});
    const KeyInfo info = Collect<CFeitianUSBKey>();
    EXPECT_EQ(info.driverVersion, "1.2");
    EXPECT_THAT(info.serials, ElementsAre("FT1", "FT2"));
    EXPECT_THAT(info.certificates, ElementsAre(Names{"count"}, Names{"false"}));
    EXPECT_THAT(info.pinRetries, ElementsAre(5, 0));
    EXPECT_THAT(info.integrity, ElementsAre(1, 1));
    EXPECT_THAT(info.defaultPin, ElementsAre(1, 0));
    EXPECT_THAT(
        LoggedCalls(),
        ElementsAre("load", "CheckKeyEnv", "GetSoftwareVersion zeroed", "GetKeyCount",
                    "GetKeySN zeroed", "GetCertCount preset 0", "GetCertCount FT1",
                    "GetCertCount preset 0", "GetCertCount FT2", "GetWebURL FT1", "GetWebURL FT2",
                    "GetPINRetry FT1", "GetPINRetry FT2", "ChangePin FT1", "ChangePin FT2"));
}

TEST_F(UsbKeyAdapterTest, FeitianSerialsMayEndWithNulOrSemicolon) {
    WriteSettings({{"feitian", {{"keyCount", 3}, {"snBuffer", std::string("A1\0B2;C3", 8)}}}});
    EXPECT_THAT(Collect<CFeitianUSBKey>().serials, ElementsAre("A1", "B2", "C3"));
}

// Haitai and Jianshi read the whole 32-bit result (except GetKeyFile), Feitian its low byte.
TEST_F(UsbKeyAdapterTest, SuccessIsTheFullResultOrItsLowByte) {
    const json highByteOnly = {{"GetKeyCount", 0x100}, {"GetKeyFile", 0x100}};
    const json keys = {{{"serial", "K1"}, {"pinRetry", 4}, {"keyFile", 1}}};
    WriteSettings({{"haitai", {{"results", highByteOnly}, {"keys", keys}}},
                   {"jianshi", {{"results", highByteOnly}, {"keys", keys}}},
                   {"feitian", {{"results", highByteOnly}, {"keys", keys}}}});

    EXPECT_THAT(Collect<CHaitaiUSBKey>().serials, ElementsAre("K1"));
    const KeyInfo jianshi = Collect<CJianshiUSBKey>();
    EXPECT_THAT(jianshi.serials, ElementsAre("K1"));
    EXPECT_THAT(jianshi.pinRetries, ElementsAre(4));
    EXPECT_THAT(jianshi.integrity, IsEmpty());
    EXPECT_THAT(Collect<CFeitianUSBKey>().serials, IsEmpty());

    // 0x201 is a success for everyone: its low byte is 1.
    WriteSettings({{"feitian", {{"results", {{"GetKeyCount", 0x201}}}, {"keys", keys}}}});
    EXPECT_THAT(Collect<CFeitianUSBKey>().serials, ElementsAre("K1"));
}

TEST_F(UsbKeyAdapterTest, WithoutKeysOnlyTheDriverVersionIsKnown) {
    const json noKeys = {{"version", "9"}, {"keyCount", 0}, {"initPin", 0}};
    WriteSettings({{"haitai", noKeys}, {"jianshi", noKeys}, {"feitian", noKeys}});
    for (const KeyInfo& info :
         {Collect<CHaitaiUSBKey>(), Collect<CJianshiUSBKey>(), Collect<CFeitianUSBKey>()}) {
        EXPECT_EQ(info.driverVersion, "9");
        EXPECT_THAT(info.serials, IsEmpty());
        EXPECT_THAT(info.defaultPin, IsEmpty());
    }
}

TEST_F(UsbKeyAdapterTest, MissingEntryPointsSkipTheirSteps) {
    const json settings = {{"version", "7.0"}, {"keys", {{{"serial", "K1"}, {"pinRetry", 2}}}}};
    WriteSettings({{"haitai", settings}, {"jianshi", settings}, {"feitian", settings}});
    for (const KeyInfo& info :
         {Collect<CHaitaiUSBKey>("version-only"), Collect<CJianshiUSBKey>("version-only"),
          Collect<CFeitianUSBKey>("version-only")}) {
        EXPECT_EQ(info.driverVersion, "7.0");
        EXPECT_THAT(info.serials, IsEmpty());
        EXPECT_THAT(info.pinRetries, IsEmpty());
    }
}

TEST_F(UsbKeyAdapterTest, WithoutItsLibraryAnAdapterCollectsNothing) {
    WriteSettings({{"haitai", {{"version", "1"}}}});
    CHaitaiUSBKey adapter(Files(), ProgramPath("none"));
    EXPECT_FALSE(adapter.LibraryLoaded());
    adapter.CollectKeyInfo();
    EXPECT_TRUE(adapter.Info().driverVersion.empty());
    EXPECT_THAT(LoggedCalls(), IsEmpty());
}

TEST_F(UsbKeyAdapterTest, HaitaiAsksForTheDefaultPinEvenWhenNoSerialCouldBeRead) {
    WriteSettings({{"haitai", {{"keyCount", 1}, {"fail", {"GetKeySN"}}, {"initPin", 0}}}});
    const KeyInfo info = Collect<CHaitaiUSBKey>();
    EXPECT_THAT(info.serials, IsEmpty());
    EXPECT_THAT(info.integrity, IsEmpty());
    EXPECT_THAT(info.defaultPin, ElementsAre(1));
}

}  // namespace
}  // namespace usbkey
