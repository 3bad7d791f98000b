#include "platform/linux/files_linux.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "platform/context.h"
#include "platform/sandbox.h"
#include "platform/windows_profile.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
protected:
    FileSystem& Files() { return *sandbox_.Context().files; }
    fs::path DriveC() const { return sandbox_.Root() / "drive_c"; }
    void Touch(const fs::path& path, std::string_view text = "x") {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::string Read(std::string_view windowsPath) {
        std::string bytes;
        EXPECT_TRUE(Files().ReadFile(windowsPath, bytes)) << windowsPath;
        return bytes;
    }
    void UseProfile(const char* preset) {
        ASSERT_TRUE(ChangeProfile(sandbox_.Context(), *FindProfilePreset(preset)));
    }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(FilesTest, MapsWindowsPathsToTheDrives) {
    Touch(DriveC() / "Program Files (x86)" / "Bank" / "App.exe");
    struct Case {
        std::string windowsPath;
        fs::path expected;  // relative to drive_c, or absolute for Z:
    };
    const Case cases[] = {
        {"C:\\", DriveC()},
        {"c:", DriveC()},
        {"C:\\PROGRAM FILES (X86)\\bank\\app.EXE", DriveC() / "Program Files (x86)/Bank/App.exe"},
        {"c:/program files (x86)/Bank/App.exe", DriveC() / "Program Files (x86)/Bank/App.exe"},
        {"C:\\Program Files (x86)\\.\\Bank\\..\\Bank\\\\App.exe",
         DriveC() / "Program Files (x86)/Bank/App.exe"},
        {"\\\\?\\C:\\Program Files (x86)\\Bank", DriveC() / "Program Files (x86)/Bank"},
        {"C:\\Program Files (x86)\\BANK\\New Folder\\New.txt",
         DriveC() / "Program Files (x86)/Bank/New Folder/New.txt"},
        {"C:\\..\\..\\Windows", DriveC() / "Windows"},
        {"C:\\Program Files (x86). \\Bank\\App.exe. .",
         DriveC() / "Program Files (x86)/Bank/App.exe"},
        {"Z:\\", "/"},
        {"z:\\ETC\\hostname", "/etc/hostname"},
        {"Z:\\usr\\BIN", "/usr/bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Files().ToLinuxPath(c.windowsPath), c.expected) << c.windowsPath;
    }
}

TEST_F(FilesTest, RejectsPathsOfUnmappedDrives) {
    for (const char* path : {"", "D:\\file.txt", "\\\\server\\share\\file", "C:relative"}) {
        EXPECT_TRUE(Files().ToLinuxPath(path).empty()) << path;
        EXPECT_FALSE(Files().PathFileExists(path)) << path;
        EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_PATH_NOT_FOUND)) << path;
    }
}

TEST_F(FilesTest, MapsLinuxPathsBackToDrives) {
    EXPECT_EQ(Files().ToWindowsPath(DriveC() / "Windows" / "System32"), "C:\\Windows\\System32");
    EXPECT_EQ(Files().ToWindowsPath(DriveC()), "C:\\");
    EXPECT_EQ(Files().ToWindowsPath("/usr/bin/env"), "Z:\\usr\\bin\\env");
    EXPECT_EQ(Files().ToWindowsPath("/"), "Z:\\");
    // A sibling of drive_c whose name starts the same way is not on C:.
    EXPECT_EQ(Files().ToWindowsPath(sandbox_.Root() / "drive_cx"),
              Files().ToWindowsPath(sandbox_.Root()) + "\\drive_cx");
    EXPECT_TRUE(Files().ToWindowsPath(sandbox_.Root()).starts_with("Z:\\"));
}

TEST_F(FilesTest, ModuleFileNameIsTheRunningExecutableOnZ) {
    const std::string module = Files().GetModuleFileName();
    ASSERT_TRUE(module.starts_with("Z:\\")) << module;
    EXPECT_EQ(Files().ToLinuxPath(module), fs::read_symlink("/proc/self/exe"));
    EXPECT_TRUE(Files().PathFileExists(module));
}

TEST_F(FilesTest, ExpandsTheWindowsEnvironment) {
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"%SystemRoot%\\system32\\drivers\\etc\\hosts",
         "C:\\Windows\\system32\\drivers\\etc\\hosts"},
        {"%WINDIR%|%windir%|%WinDir%", "C:\\Windows|C:\\Windows|C:\\Windows"},
        {"%ProgramFiles%", "C:\\Program Files (x86)"},
        {"%ProgramW6432%\\Bank", "C:\\Program Files\\Bank"},
        {"%ProgramFiles(x86)%", "C:\\Program Files (x86)"},
        {"%TEMP%", "C:\\Users\\User\\AppData\\Local\\Temp"},
        {"%tmp%", "C:\\Users\\User\\AppData\\Local\\Temp"},
        {"%COMSPEC%", "C:\\Windows\\system32\\cmd.exe"},
        {"%SystemDrive%%HOMEPATH%", "C:\\Users\\User"},
        {"%APPDATA%", "C:\\Users\\User\\AppData\\Roaming"},
        {"%ALLUSERSPROFILE%", "C:\\ProgramData"},
        {"%NoSuchVariable%\\x", "%NoSuchVariable%\\x"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"50% of %windir%", "50% of C:\\Windows"},  // "% of " is unknown; its closing % opens
        {"%unknown%windir%", "%unknownC:\\Windows"},
        {"no references", "no references"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Files().ExpandEnvironment(c.source), c.expected) << c.source;
    }
}

TEST_F(FilesTest, ExpansionReturnsTheSizeWithTerminatorAndWritesNothingWhenTooLong) {
    std::string out = "previous";
    EXPECT_EQ(Files().ExpandEnvironmentStringsW("%windir%", out), 11u);
    EXPECT_EQ(out, "C:\\Windows");

    const std::string folder(260 - 11, 'a');  // "C:\Windows\" + folder is 260 characters
    EXPECT_EQ(Files().ExpandEnvironmentStringsW("%windir%\\" + folder, out), 261u);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(Files().ExpandEnvironmentStringsW("%windir%\\" + folder.substr(1), out), 260u);
    EXPECT_EQ(out, "C:\\Windows\\" + folder.substr(1));

    // The wide call counts UTF-16 units, the 8-bit call bytes of the UTF-8 text.
    const std::string chinese = "%windir%\\汉字";  // 2 characters, 6 bytes
    EXPECT_EQ(Files().ExpandEnvironmentStringsW(chinese, out), 14u);
    EXPECT_EQ(Files().ExpandEnvironmentStringsA(chinese, out), 18u);
    EXPECT_EQ(Files().ExpandEnvironmentStringsA(chinese, out, 17), 18u);
    EXPECT_TRUE(out.empty());
}

TEST_F(FilesTest, ThirtyTwoBitWindowsHasOneProgramFolderAndNoRedirection) {
    UseProfile("7-sp1-32");
    EXPECT_EQ(Files().ExpandEnvironment("%ProgramFiles%|%ProgramW6432%|%ProgramFiles(x86)%"),
              "C:\\Program Files|%ProgramW6432%|%ProgramFiles(x86)%");
    EXPECT_EQ(Files().ToLinuxPath("C:\\Windows\\System32\\x.dll"),
              DriveC() / "Windows/System32/x.dll");
    bool old = false;
    EXPECT_FALSE(Files().Wow64DisableWow64FsRedirection(old));
}

TEST_F(FilesTest, WindowsXpKeepsUsersInDocumentsAndSettings) {
    UseProfile("xp-sp3-32");
    EXPECT_EQ(Files().GetTempPath(), "C:\\Documents and Settings\\User\\Local Settings\\Temp\\");
    EXPECT_TRUE(Files().IsDirectory(Files().GetTempPath()));
}

TEST_F(FilesTest, TempPathIsAnExistingFolderWithTrailingBackslash) {
    EXPECT_EQ(Files().GetTempPath(), "C:\\Users\\User\\AppData\\Local\\Temp\\");
    EXPECT_TRUE(fs::is_directory(DriveC() / "Users/User/AppData/Local/Temp"));
}

TEST_F(FilesTest, RedirectsSystem32ToSysWow64ExceptExemptFolders) {
    struct Case {
        const char* windowsPath;
        const char* redirected;  // relative to drive_c, with redirection on
        const char* native;      // with redirection off
    };
    const Case cases[] = {
        {"C:\\Windows\\System32", "Windows/SysWOW64", "Windows/System32"},
        {"c:\\windows\\system32\\Bank\\ctl.dll", "Windows/SysWOW64/Bank/ctl.dll",
         "Windows/System32/Bank/ctl.dll"},
        {"%SystemRoot%\\System32\\drivers\\etc\\hosts", "Windows/System32/drivers/etc/hosts",
         "Windows/System32/drivers/etc/hosts"},
        {"C:\\Windows\\System32\\drivers\\x.sys", "Windows/SysWOW64/drivers/x.sys",
         "Windows/System32/drivers/x.sys"},
        {"C:\\Windows\\System32\\catroot\\a", "Windows/System32/catroot/a",
         "Windows/System32/catroot/a"},
        {"C:\\Windows\\System32\\CatRoot2", "Windows/System32/CatRoot2",
         "Windows/System32/CatRoot2"},
        {"C:\\Windows\\System32\\DriverStore\\a", "Windows/System32/DriverStore/a",
         "Windows/System32/DriverStore/a"},
        {"C:\\Windows\\System32\\LogFiles", "Windows/System32/LogFiles",
         "Windows/System32/LogFiles"},
        {"C:\\Windows\\System32\\spool\\x", "Windows/System32/spool/x", "Windows/System32/spool/x"},
        {"C:\\Windows\\Sysnative\\x.dll", "Windows/System32/x.dll", "Windows/Sysnative/x.dll"},
        {"C:\\Windows\\SysWOW64\\x.dll", "Windows/SysWOW64/x.dll", "Windows/SysWOW64/x.dll"},
        {"C:\\Other\\System32", "Other/System32", "Other/System32"},
    };
    for (const Case& c : cases) {
        const std::string path = Files().ExpandEnvironment(c.windowsPath);
        EXPECT_EQ(Files().ToLinuxPath(path), DriveC() / c.redirected) << c.windowsPath;
        bool old = true;
        ASSERT_TRUE(Files().Wow64DisableWow64FsRedirection(old));
        EXPECT_FALSE(old);
        EXPECT_EQ(Files().ToLinuxPath(path), DriveC() / c.native) << c.windowsPath;
        ASSERT_TRUE(Files().Wow64RevertWow64FsRedirection(old));
        EXPECT_TRUE(Files().IsWow64FsRedirectionEnabled());
    }
}

TEST_F(FilesTest, RedirectionSwitchIsPerThread) {
    bool old = false;
    ASSERT_TRUE(Files().Wow64DisableWow64FsRedirection(old));
    fs::path seenByOtherThread;
    std::thread([&] {
        seenByOtherThread = Files().ToLinuxPath("C:\\Windows\\System32\\a");
    }).join();
    EXPECT_EQ(seenByOtherThread, DriveC() / "Windows/SysWOW64/a");
    EXPECT_EQ(Files().ToLinuxPath("C:\\Windows\\System32\\a"), DriveC() / "Windows/System32/a");

    // Nested switches restore the state each one found.
    bool inner = false;
    ASSERT_TRUE(Files().Wow64DisableWow64FsRedirection(inner));
    EXPECT_TRUE(inner);
    Files().Wow64RevertWow64FsRedirection(inner);
    EXPECT_FALSE(Files().IsWow64FsRedirectionEnabled());
    Files().Wow64RevertWow64FsRedirection(old);
    EXPECT_TRUE(Files().IsWow64FsRedirectionEnabled());
}

TEST_F(FilesTest, CopyFileHonoursFailIfExists) {
    ASSERT_TRUE(Files().WriteFile("C:\\new.txt", "new"));
    ASSERT_TRUE(Files().WriteFile("C:\\old.txt", "old"));

    EXPECT_FALSE(Files().CopyFile("C:\\new.txt", "C:\\old.txt", true));
    EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_FILE_EXISTS));
    EXPECT_EQ(Read("C:\\old.txt"), "old");

    EXPECT_TRUE(Files().CopyFile("C:\\NEW.TXT", "C:\\old.txt", false));
    EXPECT_EQ(Read("C:\\old.txt"), "new");
    EXPECT_TRUE(Files().CopyFile("C:\\new.txt", "C:\\third.txt", true));
    EXPECT_EQ(Read("C:\\third.txt"), "new");
    EXPECT_EQ(Read("C:\\new.txt"), "new");
}

TEST_F(FilesTest, CopyFileKeepsTheExecutableBit) {
    ASSERT_TRUE(Files().WriteFile("C:\\setup.sh", "#!/bin/sh\n"));
    fs::permissions(DriveC() / "setup.sh", fs::perms::owner_exec, fs::perm_options::add);
    ASSERT_TRUE(Files().CopyFile("C:\\setup.sh", "C:\\copy.sh", false));
    EXPECT_NE(fs::status(DriveC() / "copy.sh").permissions() & fs::perms::owner_exec,
              fs::perms::none);
}

TEST_F(FilesTest, CopiedProgramsCanRunAndOtherFilesStayAsTheyWere) {
    const struct {
        const char* name;
        std::string_view content;
        bool runnable;
    } cases[] = {
        {"program",
         std::string_view("\x7f"
                          "ELF\x02\x01",
                          6),
         true},
        {"script.sh", "#!/bin/sh\nexit 0\n", true},
        {"notes.txt", "#not a script\n", false},
    };
    for (const auto& c : cases) {
        const std::string from = std::string("C:\\") + c.name;
        ASSERT_TRUE(Files().WriteFile(from, std::string(c.content)));
        fs::permissions(DriveC() / c.name, fs::perms(0644));
        ASSERT_TRUE(Files().CopyFile(from, from + ".copy", false));
        const fs::perms copied =
            fs::status(DriveC() / (std::string(c.name) + ".copy")).permissions();
        EXPECT_EQ((copied & fs::perms::owner_exec) != fs::perms::none, c.runnable) << c.name;
    }
}

TEST_F(FilesTest, FailuresCarryWindowsErrorCodes) {
    ASSERT_TRUE(Files().CreateDirectory("C:\\Folder"));
    ASSERT_TRUE(Files().WriteFile("C:\\Folder\\a.txt", "a"));
    FileSystem& files = Files();
    std::string bytes;
    struct Case {
        const char* what;
        std::function<bool()> call;
        win::LONG error;
    };
    const Case cases[] = {
        {"delete missing file", [&] { return files.DeleteFile("C:\\Folder\\missing.txt"); },
         win::ERROR_FILE_NOT_FOUND},
        {"delete in missing folder", [&] { return files.DeleteFile("C:\\No\\missing.txt"); },
         win::ERROR_PATH_NOT_FOUND},
        {"delete a folder", [&] { return files.DeleteFile("C:\\Folder"); },
         win::ERROR_ACCESS_DENIED},
        {"copy missing", [&] { return files.CopyFile("C:\\missing", "C:\\b", false); },
         win::ERROR_FILE_NOT_FOUND},
        {"copy into missing folder",
         [&] { return files.CopyFile("C:\\Folder\\a.txt", "C:\\No\\b", false); },
         win::ERROR_PATH_NOT_FOUND},
        {"copy onto a folder",
         [&] { return files.CopyFile("C:\\Folder\\a.txt", "C:\\Folder", false); },
         win::ERROR_ACCESS_DENIED},
        {"create existing folder", [&] { return files.CreateDirectory("C:\\folder"); },
         win::ERROR_ALREADY_EXISTS},
        {"create in missing folder", [&] { return files.CreateDirectory("C:\\No\\Sub"); },
         win::ERROR_PATH_NOT_FOUND},
        {"move missing", [&] { return files.MoveFile("C:\\missing", "C:\\b"); },
         win::ERROR_FILE_NOT_FOUND},
        {"move onto existing",
         [&] { return files.MoveFile("C:\\Folder\\a.txt", "C:\\FOLDER\\A.TXT"); },
         win::ERROR_ALREADY_EXISTS},
        {"read missing", [&] { return files.ReadFile("C:\\missing", bytes); },
         win::ERROR_FILE_NOT_FOUND},
        {"write into missing folder", [&] { return files.WriteFile("C:\\No\\x", "x"); },
         win::ERROR_PATH_NOT_FOUND},
        {"remove a file as folder", [&] { return files.RemoveDirectory("C:\\Folder\\a.txt"); },
         267},  // ERROR_DIRECTORY
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(c.error)) << c.what;
    }
    EXPECT_EQ(Read("C:\\Folder\\a.txt"), "a");
}

TEST_F(FilesTest, ReadFileReturnsEveryByteWhateverTheLengthTheFileStatesBeforehand) {
    std::string binary(1 << 20, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7);
    binary += "tail beyond a round size";
    ASSERT_TRUE(Files().WriteFile("C:\\binary.bin", binary));
    EXPECT_EQ(Read("C:\\binary.bin"), binary);
    ASSERT_TRUE(Files().WriteFile("C:\\empty.txt", ""));
    EXPECT_EQ(Read("C:\\empty.txt"), "");

    // A file under /proc states a length of 0 and still has content.
    ASSERT_EQ(fs::file_size("/proc/self/cmdline"), 0u);
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(cmdline), {}};
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(Read("Z:\\proc\\self\\cmdline"), expected);
}

TEST_F(FilesTest, ReadFileFailsOnAReadErrorAndReturnsNoBytes) {
    // Reading this process's memory from address 0 fails with an I/O error.
    std::string bytes = "left from before";
    SetLastError(0);
    EXPECT_FALSE(Files().ReadFile("Z:\\proc\\self\\mem", bytes));
    EXPECT_EQ(GetLastError(), 31u);  // ERROR_GEN_FAILURE
    EXPECT_EQ(bytes, "");
}

TEST_F(FilesTest, MovesFilesAndFolders) {
    ASSERT_TRUE(Files().WriteFile("C:\\a.txt", "a"));
    ASSERT_TRUE(Files().WriteFile("C:\\b.txt", "b"));
    EXPECT_FALSE(Files().MoveFileEx("C:\\a.txt", "C:\\b.txt", 0));
    EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(Files().MoveFileEx("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(Files().PathFileExists("C:\\a.txt"));
    EXPECT_EQ(Read("C:\\b.txt"), "a");

    ASSERT_TRUE(Files().CreateDirectory("C:\\Dir"));
    ASSERT_TRUE(Files().WriteFile("C:\\Dir\\in.txt", "in"));
    EXPECT_TRUE(Files().MoveFile("C:\\dir", "C:\\Moved"));
    EXPECT_EQ(Read("C:\\Moved\\in.txt"), "in");
    EXPECT_TRUE(Files().MoveFile("C:\\b.txt", "C:\\Moved\\b.txt"));
    EXPECT_EQ(Read("C:\\moved\\B.TXT"), "a");
}

TEST_F(FilesTest, RemovesFoldersAndListsThem) {
    ASSERT_TRUE(Files().CreateDirectory("C:\\Tree"));
    ASSERT_TRUE(Files().CreateDirectory("C:\\Tree\\Sub"));
    ASSERT_TRUE(Files().WriteFile("C:\\Tree\\b.txt", "b"));
    std::vector<std::string> names;
    ASSERT_TRUE(Files().ListDirectory("C:\\tree", names));
    EXPECT_EQ(names, (std::vector<std::string>{"Sub", "b.txt"}));

    EXPECT_FALSE(Files().RemoveDirectory("C:\\Tree"));
    EXPECT_EQ(GetLastError(), 145u);  // ERROR_DIR_NOT_EMPTY
    EXPECT_TRUE(Files().RemoveDirectory("C:\\Tree", true));
    EXPECT_FALSE(Files().PathFileExists("C:\\Tree"));
}

TEST_F(FilesTest, DelayedMovesAreRecordedInOrderAndAppliedOnce) {
    ASSERT_TRUE(Files().WriteFile("C:\\new.exe", "new"));
    ASSERT_TRUE(Files().WriteFile("C:\\app.exe", "old"));
    ASSERT_TRUE(Files().WriteFile("C:\\app.exe.old", "older"));
    ASSERT_TRUE(Files().MoveFileEx("C:\\app.exe.old", "", MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(Files().MoveFileEx("C:\\new.exe", "C:\\app.exe", MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(Files().MoveFileEx("c:\\NEW.exe", "C:\\app.exe",
                                   MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(Files().MoveFileEx("C:\\new.exe", "C:\\x",
                                    MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), static_cast<win::DWORD>(win::ERROR_INVALID_PARAMETER));

    // Nothing moves before the next start.
    EXPECT_EQ(Read("C:\\app.exe"), "old");
    const std::vector<PendingMove> expected = {
        {"C:\\app.exe.old", "", false},
        {"C:\\new.exe", "C:\\app.exe", false},
        {"C:\\new.exe", "C:\\app.exe", true},
    };
    EXPECT_EQ(Files().GetPendingMoves(), expected);

    const auto results = Files().ApplyPendingMoves();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].error, win::ERROR_SUCCESS);
    EXPECT_EQ(results[1].error, win::ERROR_ALREADY_EXISTS);  // the target was not free
    EXPECT_EQ(results[2].error, win::ERROR_SUCCESS);
    EXPECT_FALSE(Files().PathFileExists("C:\\app.exe.old"));
    EXPECT_FALSE(Files().PathFileExists("C:\\new.exe"));
    EXPECT_EQ(Read("C:\\app.exe"), "new");
    EXPECT_TRUE(Files().GetPendingMoves().empty());
    EXPECT_TRUE(Files().ApplyPendingMoves().empty());
}

TEST_F(FilesTest, DelayedMovesKeepTheRedirectionOfTheCallingThread) {
    ASSERT_TRUE(Files().WriteFile("C:\\Windows\\System32\\ctl.dll", "32-bit"));
    EXPECT_TRUE(fs::exists(DriveC() / "Windows/SysWOW64/ctl.dll"));
    ASSERT_TRUE(
        Files().MoveFileEx("C:\\Windows\\System32\\ctl.dll", "", MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(Files().GetPendingMoves().at(0).from, "C:\\Windows\\SysWOW64\\ctl.dll");
    Files().ApplyPendingMoves();
    EXPECT_FALSE(fs::exists(DriveC() / "Windows/SysWOW64/ctl.dll"));
}

}  // namespace
}  // namespace platform
