#include "checks/root_certificates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/certificate_store.h"
#include "platform/context.h"
#include "tests/support/temp_sandbox.h"
#include "tests/support/test_certificate.h"

namespace checks {
namespace {

using platform::EncodedCertificate;

constexpr std::string_view kOrganizationOid = "2.5.4.10";

struct Expected {
    const char* resource;
    const char* store;
    const char* subject;
    const char* issuer;
    const char* serial;
    const char* validFrom;
    const char* validTo;
};

const Expected kExpected[] = {
    {"Root_CA", "ROOT", "C=CN, O=CFCA Root CA", "C=CN, O=CFCA Root CA", "39446898",
     "2000-06-12 04:07:06", "2020-06-12 04:37:06"},
    {"Policy_CA", "CA", "C=CN, O=CFCA Policy CA", "C=CN, O=CFCA Root CA", "394468AB",
     "2000-06-12 06:36:55", "2020-06-12 04:37:06"},
    {"Operation_CA", "CA", "C=CN, O=CFCA Operation CA", "C=CN, O=CFCA Policy CA", "39448BB9",
     "2000-06-12 07:49:52", "2020-06-12 04:37:06"},
    {"Operation_CA1", "CA", "C=CN, O=CFCA Operation CA1", "C=CN, O=CFCA Root CA", "39448A6D",
     "2003-08-28 09:42:46", "2020-06-12 04:37:06"},
    {"Operation_CA2", "CA", "C=CN, O=CFCA Operation CA2", "C=CN, O=CFCA Root CA", "39449877",
     "2004-12-06 06:29:37", "2019-11-20 16:00:00"},
};

TEST(CertificateResources, CarryTheFiveCfcaAuthorities) {
    for (const Expected& expected : kExpected) {
        const auto bytes = LoadCertificateResource(expected.resource);
        const auto summary = platform::SummarizeCertificate(bytes);
        ASSERT_TRUE(summary) << expected.resource;
        EXPECT_EQ(summary->subject, expected.subject);
        EXPECT_EQ(summary->issuer, expected.issuer);
        EXPECT_EQ(summary->serialNumber, expected.serial);
        EXPECT_EQ(summary->validFrom, expected.validFrom);
        EXPECT_EQ(summary->validTo, expected.validTo);
        EXPECT_EQ(platform::GetSubjectAttribute(bytes, "2.5.4.3"), "") << "no common name";
    }
    EXPECT_EQ(LoadCertificateResource("root_ca"), LoadCertificateResource("Root_CA"));
    EXPECT_TRUE(LoadCertificateResource("Operation_CA3").empty());
}

class RootCertificatesTest : public ::testing::Test {
protected:
    platform::Context& context() { return sandbox_.Context(); }
    std::unique_ptr<platform::CertificateStore> Store(std::string_view name) {
        return context().certificates->OpenSystemStore(name);
    }
    std::size_t CountIn(std::string_view store) { return Store(store)->Certificates().size(); }
    void AddToStore(std::string_view store, const EncodedCertificate& certificate) {
        ASSERT_EQ(Store(store)->AddEncodedCertificate(certificate), win::ERROR_SUCCESS);
    }
    void AddResource(const Expected& expected) {
        AddToStore(expected.store, LoadCertificateResource(expected.resource));
    }
    // Counts the questions asked before a root is added, answering `answer`.
    void AnswerRootPrompts(bool answer) {
        context().certificates->SetRootAdditionPrompt([this, answer](const auto&) {
            ++rootPrompts_;
            return answer;
        });
    }

    nestora_test::TempSandbox sandbox_;
    int rootPrompts_ = 0;
};

TEST_F(RootCertificatesTest, InstallAddsEveryMissingCertificateToItsStore) {
    AnswerRootPrompts(true);
    EXPECT_EQ(CheckRootCertificates(context()), win::E_FAIL);
    EXPECT_EQ(InstallRootCertificates(context()), win::S_OK);
    EXPECT_EQ(rootPrompts_, 1);
    EXPECT_EQ(CountIn("ROOT"), 1u);
    EXPECT_EQ(CountIn("CA"), 4u);
    // Every one of them expired in 2019 or 2020: presence is all that counts.
    EXPECT_EQ(CheckRootCertificates(context()), win::S_OK);
    EXPECT_EQ(InstallRootCertificates(context()), win::S_OK);
    EXPECT_EQ(rootPrompts_, 1);
}

TEST_F(RootCertificatesTest, InstallAddsOnlyTheMissingIntermediate) {
    for (const Expected& expected : kExpected) {
        if (std::string_view(expected.resource) != "Operation_CA1")
            AddResource(expected);
    }
    AnswerRootPrompts(true);
    EXPECT_EQ(CheckRootCertificates(context()), win::E_FAIL);
    EXPECT_EQ(InstallRootCertificates(context()), win::S_OK);
    EXPECT_EQ(rootPrompts_, 0);
    EXPECT_EQ(CountIn("CA"), 4u);
    EXPECT_EQ(FindCertificateByOrganization("CFCA Operation CA1", Store("CA")), win::S_OK);
}

TEST_F(RootCertificatesTest, RefusedRootEndsTheInstallationWithAbort) {
    AnswerRootPrompts(false);
    EXPECT_EQ(InstallRootCertificates(context()), win::E_ABORT);
    EXPECT_EQ(rootPrompts_, 1);
    EXPECT_EQ(CountIn("ROOT"), 0u);
    EXPECT_EQ(CountIn("CA"), 0u);
    EXPECT_EQ(CheckRootCertificates(context()), win::E_FAIL);
}

TEST_F(RootCertificatesTest, OnlyTheExactOrganisationNamesTheCertificate) {
    const struct {
        const char* name;
        std::vector<std::string> organisations;
        win::HRESULT found;
    } cases[] = {
        {"exact", {"CFCA Root CA"}, win::S_OK},
        {"longer only", {"CFCA Root CA1"}, win::E_FAIL},
        {"other case only", {"cfca root ca"}, win::E_FAIL},
        {"longer and other case before the exact one",
         {"CFCA Root CA1", "CFCA ROOT CA", "CFCA Root CA"},
         win::S_OK},
        {"a different name", {"CFCA Policy CA"}, win::E_FAIL},
    };
    for (const auto& c : cases) {
        nestora_test::TempSandbox sandbox;
        auto& stores = *sandbox.Context().certificates;
        for (const auto& organisation : c.organisations) {
            const auto certificate =
                nestora_test::MakeSelfSignedCertificate({{"C", "CN"}, {"O", organisation}}, 7);
            ASSERT_EQ(platform::GetSubjectAttribute(certificate, kOrganizationOid), organisation);
            ASSERT_EQ(stores.OpenSystemStore("ROOT")->AddEncodedCertificate(certificate), 0);
        }
        EXPECT_EQ(FindCertificateByOrganization("CFCA Root CA", stores.OpenSystemStore("ROOT")),
                  c.found)
            << c.name;
    }
}

TEST_F(RootCertificatesTest, CheckFailsOnTheFirstMissingCertificate) {
    for (const Expected& expected : kExpected)
        AddResource(expected);
    ASSERT_EQ(CheckRootCertificates(context()), win::S_OK);

    nestora_test::TempSandbox other;
    for (const Expected& expected : kExpected) {
        if (std::string_view(expected.resource) != "Operation_CA2") {
            ASSERT_EQ(other.Context()
                          .certificates->OpenSystemStore(expected.store)
                          ->AddEncodedCertificate(LoadCertificateResource(expected.resource)),
                      0);
        }
    }
    EXPECT_EQ(CheckRootCertificates(other.Context()), win::E_FAIL);
}

TEST_F(RootCertificatesTest, StoresThatCannotBeOpenedOrMissingResourcesFail) {
    EXPECT_EQ(FindCertificateByOrganization("CFCA Root CA", nullptr), win::E_FAIL);
    EXPECT_EQ(AddResourceCertificate(nullptr, "Root_CA"), win::E_FAIL);
    EXPECT_EQ(AddResourceCertificate(Store("CA"), "No_Such_CA"), win::E_FAIL);
    EXPECT_EQ(CountIn("CA"), 0u);

    context().certificates = nullptr;
    EXPECT_EQ(CheckRootCertificates(context()), win::E_FAIL);
    EXPECT_EQ(InstallRootCertificates(context()), win::E_FAIL);
}

}  // namespace
}  // namespace checks
