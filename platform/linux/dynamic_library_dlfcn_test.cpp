#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/context.h"
#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The system's maths library: a real shared object every Debian machine has.
fs::path SystemMathLibrary() {
    for (const char* candidate :
         {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6",
          "/lib/aarch64-linux-gnu/libm.so.6", "/lib64/libm.so.6"}) {
        if (fs::exists(candidate))
            return candidate;
    }
    return {};
}

class DynamicLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path library = SystemMathLibrary();
        if (library.empty())
            GTEST_SKIP() << "no system maths library found";
        const fs::path folder = sandbox_.Root() / "drive_c" / "Program Files" / "Bank";
        fs::create_directories(folder);
        fs::copy_file(library, folder / "Maths.dll");
    }
    const FileSystem& Files() { return *sandbox_.Context().files; }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(DynamicLibraryTest, LoadsByWindowsPathAndFindsEntryPoints) {
    DynamicLibrary library =
        DynamicLibrary::LoadLibraryW(Files(), "c:\\PROGRAM FILES\\bank\\..\\Bank\\maths.DLL");
    ASSERT_TRUE(library);
    using Cosine = double (*)(double);
    const Cosine cosine = library.GetProcAddressAs<Cosine>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);

    EXPECT_EQ(library.GetProcAddress("NoSuchEntryPoint"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_PROC_NOT_FOUND));
}

TEST_F(DynamicLibraryTest, MissingOrUnloadableFilesLeaveTheHandleEmpty) {
    std::ofstream(sandbox_.Root() / "drive_c" / "Program Files" / "Bank" / "Text.dll")
        << "not a library";
    for (const char* path : {"C:\\Program Files\\Bank\\Missing.dll",
                             "C:\\Program Files\\Bank\\Text.dll", "C:\\Program Files\\Bank"}) {
        SetLastError(0);
        const DynamicLibrary library = DynamicLibrary::LoadLibraryW(Files(), path);
        EXPECT_FALSE(library) << path;
        EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_MOD_NOT_FOUND)) << path;
        EXPECT_EQ(library.GetProcAddress("cos"), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_INVALID_HANDLE)) << path;
    }
}

TEST_F(DynamicLibraryTest, HandleMovesAndIsFreedOnce) {
    DynamicLibrary first =
        DynamicLibrary::LoadLibraryW(Files(), "C:\\Program Files\\Bank\\Maths.dll");
    ASSERT_TRUE(first);
    DynamicLibrary second = std::move(first);
    EXPECT_FALSE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(second.GetProcAddress("sqrt"), nullptr);
    second.FreeLibrary();
    EXPECT_FALSE(second);
    second.FreeLibrary();
}

}  // namespace
}  // namespace platform
