// Runs the real nestora-win binary's certutil on a temporary sandbox.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/linux/certificate_store_sandbox.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

std::vector<std::uint8_t> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class CertutilCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "certutil-cmd-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        root_ = folder_ / "sandbox";
        const std::string make =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
            " -subj /O=Demo\\ Authority -days 1 -keyout '" +
            (folder_ / "key.pem").string() + "' -out '" + Pem().string() +
            "' 2>/dev/null && openssl x509 -in '" + Pem().string() + "' -outform DER -out '" +
            Der().string() + "'";
        ASSERT_EQ(std::system(make.c_str()), 0);
        std::ofstream(folder_ / "garbage.cer") << "not a certificate";
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path Pem() const { return folder_ / "authority.pem"; }
    fs::path Der() const { return folder_ / "authority.der"; }

    // Exit code of `nestora-win certutil ARGS...` on the sandbox; output goes to a file.
    int Run(const Args& args) {
        const char* binDir = std::getenv("NESTORA_BIN_DIR");
        const std::string tool = std::string(binDir ? binDir : "bin") + "/nestora-win";
        std::vector<std::string> argv = {tool, "certutil"};
        argv.insert(argv.end(), args.begin(), args.end());
        const fs::path output = folder_ / "output.txt";
        const pid_t child = fork();
        if (child == 0) {
            setenv("NESTORA_ROOT", root_.c_str(), 1);
            const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            std::vector<char*> pointers;
            for (auto& arg : argv)
                pointers.push_back(arg.data());
            pointers.push_back(nullptr);
            execv(tool.c_str(), pointers.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        std::ifstream in(output);
        output_.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<platform::EncodedCertificate> StoreContents(const char* store) {
        return platform::MakeSandboxCertificateStores(root_)
            ->OpenSystemStore(store)
            ->Certificates();
    }

    fs::path folder_;
    fs::path root_;
    std::string output_;
};

TEST_F(CertutilCommandTest, AddsDerAndPemFilesToTheNamedStore) {
    ASSERT_EQ(Run({"-user", "-addstore", "Root", Der().string()}), 0) << output_;
    EXPECT_NE(output_.find("completed successfully"), std::string::npos);
    ASSERT_EQ(Run({"/USER", "-f", "-AddStore", "ca", Pem().string()}), 0) << output_;
    // Adding the same certificate again replaces it.
    ASSERT_EQ(Run({"-user", "-addstore", "ROOT", Pem().string()}), 0) << output_;

    const std::vector<platform::EncodedCertificate> expected = {ReadBytes(Der())};
    EXPECT_EQ(StoreContents("ROOT"), expected);
    EXPECT_EQ(StoreContents("CA"), expected);
}

TEST_F(CertutilCommandTest, ReadsWindowsPathsOnTheSandboxDrives) {
    ASSERT_EQ(Run({"-user", "-addstore", "Root", Der().string()}), 0) << output_;
    fs::copy_file(Pem(), root_ / "drive_c" / "authority.pem");
    ASSERT_EQ(Run({"-user", "-addstore", "CA", "C:\\AUTHORITY.PEM"}), 0) << output_;
    EXPECT_EQ(StoreContents("CA").size(), 1u);
}

TEST_F(CertutilCommandTest, RefusesBadArgumentsAndBadFilesWithoutChangingTheStores) {
    const std::string der = Der().string();
    const std::string garbage = (folder_ / "garbage.cer").string();
    struct Case {
        Args args;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 2},
        {{"-user"}, 2},
        {{"-user", "-addstore", "Root"}, 2},
        {{"-addstore", "Root", der}, 2},
        {{"-user", "-bogus", "-addstore", "Root", der}, 2},
        {{"-user", "-addstore", "Root", der, "extra"}, 2},
        {{"-user", "-addstore", "MY", der}, 1},
        {{"-user", "-addstore", "Root", (folder_ / "missing.cer").string()}, 1},
        {{"-user", "-addstore", "Root", garbage}, 1},
        {{"-user", "-addstore", "CA", folder_.string()}, 1},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& arg : c.args)
            joined += arg + ' ';
        SCOPED_TRACE(joined);
        EXPECT_EQ(Run(c.args), c.exitCode);
        EXPECT_FALSE(output_.empty());
    }
    EXPECT_TRUE(StoreContents("ROOT").empty());
    EXPECT_TRUE(StoreContents("CA").empty());
}

}  // namespace
