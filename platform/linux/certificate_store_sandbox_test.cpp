#include "platform/linux/certificate_store_sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/sandbox.h"
#include "tests/support/test_certificate.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// A self-signed certificate whose subject is O=`organization`, with serial number 01.
EncodedCertificate MakeCertificate(const std::string& organization) {
    return nestora_test::MakeSelfSignedCertificate({{"O", organization}}, 1);
}

class CertificateStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "nestora-certs-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        stores_ = MakeSandboxCertificateStores(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
    std::unique_ptr<CertificateStores> stores_;
};

TEST_F(CertificateStoreTest, OpensOnlyTheUsersRootAndCaStores) {
    for (const char* name : {"ROOT", "Root", "root", "CA", "ca"}) {
        EXPECT_NE(stores_->OpenSystemStore(name), nullptr) << name;
    }
    for (const char* name : {"MY", "", "ROOTS", "Disallowed"}) {
        EXPECT_EQ(stores_->OpenSystemStore(name), nullptr) << name;
    }
}

TEST_F(CertificateStoreTest, AddedCertificatesAreKeptPerStoreAndReplacedWhenAddedAgain) {
    const EncodedCertificate first = MakeCertificate("Demo Root");
    const EncodedCertificate second = MakeCertificate("Demo Intermediate");
    auto root = stores_->OpenSystemStore("ROOT");
    ASSERT_EQ(root->AddEncodedCertificate(first), win::ERROR_SUCCESS);
    ASSERT_EQ(root->AddEncodedCertificate(first), win::ERROR_SUCCESS);
    ASSERT_EQ(stores_->OpenSystemStore("CA")->AddEncodedCertificate(second), win::ERROR_SUCCESS);

    // Seen again through a new object, as another process would see them.
    auto reopened = MakeSandboxCertificateStores(root_);
    EXPECT_EQ(reopened->OpenSystemStore("root")->Certificates(),
              std::vector<EncodedCertificate>{first});
    EXPECT_EQ(reopened->OpenSystemStore("CA")->Certificates(),
              std::vector<EncodedCertificate>{second});
    EXPECT_TRUE(fs::is_directory(SandboxLayout{root_}.CertificateStores() / "ROOT"));
}

TEST_F(CertificateStoreTest, BytesThatAreNotOneCertificateAreRefused) {
    EncodedCertificate trailing = MakeCertificate("Demo");
    trailing.push_back(0);
    EncodedCertificate cut = MakeCertificate("Demo");
    cut.resize(cut.size() / 2);
    const EncodedCertificate cases[] = {{}, {0x30, 0x03, 0x02, 0x01, 0x01}, trailing, cut};
    auto root = stores_->OpenSystemStore("ROOT");
    for (const auto& bytes : cases) {
        EXPECT_EQ(root->AddEncodedCertificate(bytes), win::ERROR_BAD_FORMAT);
    }
    EXPECT_TRUE(root->Certificates().empty());
}

TEST_F(CertificateStoreTest, PemBundleAndFileDecodingRoundTrip) {
    const EncodedCertificate first = MakeCertificate("One");
    const EncodedCertificate second = MakeCertificate("Two");
    const std::string pem = EncodePemBundle({first, second});
    EXPECT_EQ(pem.starts_with("-----BEGIN CERTIFICATE-----\n"), true);

    const auto asBytes = [](const std::string& text) {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    EXPECT_EQ(DecodeCertificateFile(first), first);
    EXPECT_EQ(DecodeCertificateFile(asBytes(pem)), first);  // the first of a bundle
    EXPECT_EQ(DecodeCertificateFile(asBytes(EncodePemBundle({second}))), second);
    EXPECT_EQ(DecodeCertificateFile(asBytes("not a certificate")), std::nullopt);
    EXPECT_EQ(DecodeCertificateFile({}), std::nullopt);
}

TEST_F(CertificateStoreTest, NewRootAuthoritiesAreAddedOnlyWhenTheUserAccepts) {
    const EncodedCertificate accepted = MakeCertificate("Accepted Root");
    const EncodedCertificate refused = MakeCertificate("Refused Root");
    auto root = stores_->OpenSystemStore("ROOT");  // opened before the prompt is set
    std::vector<std::string> asked;
    stores_->SetRootAdditionPrompt([&](const CertificateSummary& summary) {
        asked.push_back(summary.subject);
        return summary.subject == "O=Accepted Root";
    });

    EXPECT_EQ(root->AddEncodedCertificate(refused), win::ERROR_CANCELLED);
    EXPECT_EQ(root->AddEncodedCertificate(accepted), win::ERROR_SUCCESS);
    EXPECT_EQ(root->AddEncodedCertificate(accepted), win::ERROR_SUCCESS);  // present: not asked
    EXPECT_EQ(stores_->OpenSystemStore("CA")->AddEncodedCertificate(refused), win::ERROR_SUCCESS);
    EXPECT_EQ(asked, (std::vector<std::string>{"O=Refused Root", "O=Accepted Root"}));
    EXPECT_EQ(root->Certificates(), std::vector<EncodedCertificate>{accepted});

    stores_->SetRootAdditionPrompt(nullptr);  // no host to ask: accepted
    EXPECT_EQ(root->AddEncodedCertificate(refused), win::ERROR_SUCCESS);
}

TEST_F(CertificateStoreTest, SubjectSearchIgnoresCaseAndTheOrganisationIsReadExactly) {
    const EncodedCertificate exact = MakeCertificate("CFCA Root CA");
    const EncodedCertificate longer = MakeCertificate("CFCA Root CA1");
    const EncodedCertificate otherCase = MakeCertificate("cfca root ca");
    const EncodedCertificate unrelated = MakeCertificate("Demo Root");
    auto root = stores_->OpenSystemStore("ROOT");
    for (const auto& certificate : {exact, longer, otherCase, unrelated})
        ASSERT_EQ(root->AddEncodedCertificate(certificate), win::ERROR_SUCCESS);

    const auto found = FindCertificatesBySubject(*root, "CFCA ROOT CA");
    ASSERT_EQ(found.size(), 3u);
    std::vector<std::string> organisations;
    for (const auto& certificate : found)
        organisations.push_back(GetSubjectAttribute(certificate, "2.5.4.10"));
    std::sort(organisations.begin(), organisations.end());
    EXPECT_EQ(organisations,
              (std::vector<std::string>{"CFCA Root CA", "CFCA Root CA1", "cfca root ca"}));
    EXPECT_TRUE(FindCertificatesBySubject(*root, "CFCA Policy CA").empty());
    EXPECT_EQ(GetSubjectAttribute(exact, "2.5.4.3"), "");  // no common name
    EXPECT_EQ(GetSubjectAttribute(EncodedCertificate{1, 2, 3}, "2.5.4.10"), "");
}

TEST_F(CertificateStoreTest, SummaryNamesSubjectIssuerSerialAndValidity) {
    const EncodedCertificate certificate = MakeCertificate("Demo Root");
    const auto summary = SummarizeCertificate(certificate);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->subject, "O=Demo Root");
    EXPECT_EQ(summary->issuer, "O=Demo Root");
    EXPECT_EQ(summary->serialNumber, "01");
    EXPECT_EQ(summary->thumbprint.size(), 40u);
    EXPECT_EQ(summary->validFrom.size(), 19u);
    EXPECT_FALSE(SummarizeCertificate(EncodedCertificate{0x30, 0x00}));
}

}  // namespace
}  // namespace platform
