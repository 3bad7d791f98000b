#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/linux/registry_sqlite.h"

namespace platform {
namespace {

using win::DWORD;
using win::LONG;
using Bytes = std::vector<std::uint8_t>;

constexpr DWORD kReadWrite = KEY_READ | KEY_WRITE;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "registry-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class RegistryTest : public ::testing::Test {
protected:
    std::unique_ptr<Registry> Open(bool is64BitWindows = true) {
        return MakeSqliteRegistry(folder_.path() / "registry.db", is64BitWindows);
    }

    static RegKey Create(Registry& registry, Hive hive, std::string_view path,
                         DWORD access = kReadWrite) {
        RegKey key;
        EXPECT_EQ(registry.CreateKey(RegKey::Root(hive), path, access, key), win::ERROR_SUCCESS)
            << path;
        return key;
    }

    static Bytes Query(Registry& registry, const RegKey& key, std::string_view name,
                       DWORD* type = nullptr) {
        DWORD size = 0;
        if (registry.QueryValue(key, name, type, nullptr, &size) != win::ERROR_SUCCESS)
            return {};
        Bytes data(size);
        EXPECT_EQ(registry.QueryValue(key, name, type, data.data(), &size), win::ERROR_SUCCESS);
        return data;
    }

    TempFolder folder_;
};

TEST(RegistryBytes, LayoutsAsWindowsStoresThem) {
    EXPECT_EQ(RegSzBytes("A\xC3\xA9"), (Bytes{'A', 0, 0xE9, 0, 0, 0}));
    EXPECT_EQ(RegSzBytes(""), (Bytes{0, 0}));
    EXPECT_EQ(RegDwordBytes(0x12345678), (Bytes{0x78, 0x56, 0x34, 0x12}));
    const Bytes stored = {'o', 0, 'k', 0, 0, 0, 'x', 0};
    EXPECT_EQ(RegSzToUtf8(stored.data(), stored.size()), "ok");
    EXPECT_EQ(RegSzToUtf8(stored.data(), 3), "o");  // a lone trailing byte is no character
    const Bytes unterminated = RegSzBytes("\xE4\xB8\xAD");
    EXPECT_EQ(RegSzToUtf8(unterminated.data(), unterminated.size() - 2), "\xE4\xB8\xAD");
    EXPECT_EQ(RegSzToUtf8(nullptr, 4), "");
}

TEST_F(RegistryTest, ValuesKeepTypeAndExactBytes) {
    struct Case {
        const char* name;
        DWORD type;
        Bytes data;
    };
    const Case cases[] = {
        {"Text", REG_SZ, RegSzBytes("C:\\Program Files")},
        {"Unterminated", REG_SZ, {'a', 0, 'b', 0}},
        {"Expand", REG_EXPAND_SZ, RegSzBytes("%SystemRoot%")},
        {"Number", REG_DWORD, RegDwordBytes(0xFFFFFFFF)},
        {"Short", REG_DWORD, {1, 2}},
        {"Big", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Blob", REG_BINARY, {0x00, 0xFF, 0x00, 0x10}},
        {"Empty", REG_BINARY, {}},
        {"List", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {"Nothing", REG_NONE, {}},
    };
    auto registry = Open();
    const RegKey key = Create(*registry, Hive::CurrentUser, "Software\\Types");
    for (const Case& c : cases) {
        ASSERT_EQ(registry->SetValue(key, c.name, c.type, c.data.data(), c.data.size()),
                  win::ERROR_SUCCESS);
    }
    for (const Case& c : cases) {
        DWORD type = 99;
        EXPECT_EQ(Query(*registry, key, c.name, &type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    const Bytes replaced = RegDwordBytes(7);
    ASSERT_EQ(registry->SetValue(key, "Text", REG_DWORD, replaced.data(), 4), win::ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Query(*registry, key, "Text", &type), replaced);
    EXPECT_EQ(type, REG_DWORD);
}

TEST_F(RegistryTest, QueryValueFollowsTheBufferProtocol) {
    auto registry = Open();
    const RegKey key = Create(*registry, Hive::CurrentUser, "Software\\Buffers");
    const Bytes value = RegSzBytes("hello");  // 12 bytes
    ASSERT_EQ(registry->SetValue(key, "V", REG_SZ, value.data(), value.size()), win::ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(registry->QueryValue(key, "V", &type, nullptr, &size), win::ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(type, REG_SZ);

    Bytes buffer(16, 0xAA);
    size = 4;
    type = 0;
    EXPECT_EQ(registry->QueryValue(key, "V", &type, buffer.data(), &size), win::ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(type, REG_SZ);
    size = 12;
    EXPECT_EQ(registry->QueryValue(key, "V", nullptr, buffer.data(), &size), win::ERROR_SUCCESS);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 12), value);
    EXPECT_EQ(buffer[12], 0xAA);  // nothing written past the value
    size = 16;
    EXPECT_EQ(registry->QueryValue(key, "V", nullptr, buffer.data(), &size), win::ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);

    EXPECT_EQ(registry->QueryValue(key, "V", nullptr, nullptr, nullptr), win::ERROR_SUCCESS);
    EXPECT_EQ(registry->QueryValue(key, "V", nullptr, buffer.data(), nullptr),
              win::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(registry->QueryValue(key, "Missing", nullptr, nullptr, &size),
              win::ERROR_FILE_NOT_FOUND);
    const RegKey gone{Hive::CurrentUser, "Software\\Nowhere", KEY_READ};
    EXPECT_EQ(registry->QueryValue(gone, "V", nullptr, nullptr, &size), win::ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, AccessMaskDecidesWhatAnOpenKeyMayDo) {
    auto registry = Open();
    const RegKey full = Create(*registry, Hive::CurrentUser, "Software\\Rights");
    Create(*registry, Hive::CurrentUser, "Software\\Rights\\Child");
    const Bytes data = RegDwordBytes(1);
    ASSERT_EQ(registry->SetValue(full, "Preset", REG_DWORD, data.data(), 4), win::ERROR_SUCCESS);
    struct Case {
        DWORD access;
        LONG set, query, createNew, enumKeys;
    };
    const Case cases[] = {
        {KEY_READ, win::ERROR_ACCESS_DENIED, win::ERROR_SUCCESS, win::ERROR_ACCESS_DENIED,
         win::ERROR_SUCCESS},
        {KEY_WRITE, win::ERROR_SUCCESS, win::ERROR_ACCESS_DENIED, win::ERROR_SUCCESS,
         win::ERROR_ACCESS_DENIED},
        {kReadWrite, win::ERROR_SUCCESS, win::ERROR_SUCCESS, win::ERROR_SUCCESS,
         win::ERROR_SUCCESS},
        {KEY_QUERY_VALUE, win::ERROR_ACCESS_DENIED, win::ERROR_SUCCESS, win::ERROR_ACCESS_DENIED,
         win::ERROR_ACCESS_DENIED},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "access 0x" << std::hex << c.access);
        RegKey key;
        ASSERT_EQ(
            registry->OpenKey(RegKey::Root(Hive::CurrentUser), "Software\\Rights", c.access, key),
            win::ERROR_SUCCESS);
        EXPECT_EQ(registry->SetValue(key, "V", REG_DWORD, data.data(), 4), c.set);
        DWORD size = 0;
        EXPECT_EQ(registry->QueryValue(key, "Preset", nullptr, nullptr, &size), c.query);
        RegKey child;
        const std::string name = "New" + std::to_string(round++);
        EXPECT_EQ(registry->CreateKey(key, name, KEY_READ, child), c.createNew);
        // An existing subkey opens through CreateKey whatever the parent's rights.
        EXPECT_EQ(registry->CreateKey(key, "Child", KEY_READ, child), win::ERROR_SUCCESS);
        std::vector<std::string> names;
        EXPECT_EQ(registry->EnumSubKeyNames(key, names), c.enumKeys);
    }
}

TEST_F(RegistryTest, WriteProtectedKeyRefusesWriteRightsAndPersists) {
    auto registry = Open();
    Create(*registry, Hive::LocalMachine, "SYSTEM\\Locked\\Inner");
    Create(*registry, Hive::LocalMachine, "SYSTEM\\Free");
    ASSERT_EQ(registry->SetWriteProtected(RegKey::Root(Hive::LocalMachine), "SYSTEM\\Locked", true),
              win::ERROR_SUCCESS);
    EXPECT_EQ(registry->SetWriteProtected(RegKey::Root(Hive::LocalMachine), "SYSTEM\\Nope", true),
              win::ERROR_FILE_NOT_FOUND);

    registry = Open();  // protection lives in the database
    const RegKey root = RegKey::Root(Hive::LocalMachine);
    struct Case {
        const char* path;
        DWORD access;
        LONG open;
    };
    const Case cases[] = {
        {"SYSTEM\\Locked", KEY_READ, win::ERROR_SUCCESS},
        {"system\\locked", kReadWrite, win::ERROR_ACCESS_DENIED},
        {"SYSTEM\\Locked", KEY_SET_VALUE, win::ERROR_ACCESS_DENIED},
        {"SYSTEM\\Locked", KEY_CREATE_SUB_KEY, win::ERROR_ACCESS_DENIED},
        {"SYSTEM\\Locked", KEY_ALL_ACCESS, win::ERROR_ACCESS_DENIED},
        {"SYSTEM\\Locked\\Inner", kReadWrite, win::ERROR_SUCCESS},  // protection is per key
        {"SYSTEM\\Free", kReadWrite, win::ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        RegKey opened;
        EXPECT_EQ(registry->OpenKey(root, c.path, c.access, opened), c.open) << c.path;
        EXPECT_EQ(registry->CreateKey(root, c.path, c.access, opened), c.open) << c.path;
    }
    RegKey created;
    EXPECT_EQ(registry->CreateKey(root, "SYSTEM\\Locked\\New\\Deeper", KEY_READ, created),
              win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry->DeleteKey(root, "SYSTEM\\Locked\\Inner"), win::ERROR_SUCCESS);
    EXPECT_EQ(registry->DeleteKey(root, "SYSTEM\\Locked"), win::ERROR_ACCESS_DENIED);

    ASSERT_EQ(registry->SetWriteProtected(root, "SYSTEM\\Locked", false), win::ERROR_SUCCESS);
    EXPECT_EQ(registry->OpenKey(root, "SYSTEM\\Locked", kReadWrite, created), win::ERROR_SUCCESS);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    auto registry = Open();
    const RegKey first = Create(*registry, Hive::CurrentUser, "Software\\MyApp\\Sub");
    const RegKey again = Create(*registry, Hive::CurrentUser, "SOFTWARE\\MYAPP\\sub\\Leaf");
    const Bytes one = RegDwordBytes(1);
    const Bytes two = RegDwordBytes(2);
    ASSERT_EQ(registry->SetValue(first, "Mixed", REG_DWORD, one.data(), 4), win::ERROR_SUCCESS);
    ASSERT_EQ(registry->SetValue(again, "x", REG_DWORD, one.data(), 4), win::ERROR_SUCCESS);

    RegKey key;
    ASSERT_EQ(
        registry->OpenKey(RegKey::Root(Hive::CurrentUser), "software\\myapp\\SUB", kReadWrite, key),
        win::ERROR_SUCCESS);
    ASSERT_EQ(registry->SetValue(key, "MIXED", REG_DWORD, two.data(), 4), win::ERROR_SUCCESS);
    EXPECT_EQ(Query(*registry, first, "mixed"), two);

    std::vector<std::string> names;
    ASSERT_EQ(registry->EnumValueNames(key, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names, std::vector<std::string>{"Mixed"});
    ASSERT_EQ(registry->EnumSubKeyNames(key, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names, std::vector<std::string>{"Leaf"});
    RegKey app;
    ASSERT_EQ(registry->OpenKey(RegKey::Root(Hive::CurrentUser), "Software", KEY_READ, app),
              win::ERROR_SUCCESS);
    ASSERT_EQ(registry->EnumSubKeyNames(app, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names, std::vector<std::string>{"MyApp"});
    bool created = true;
    EXPECT_EQ(registry->CreateKey(RegKey::Root(Hive::CurrentUser), "software\\MYAPP", KEY_READ, key,
                                  &created),
              win::ERROR_SUCCESS);
    EXPECT_FALSE(created);
}

TEST_F(RegistryTest, DefaultValueIsTheEmptyName) {
    auto registry = Open();
    const RegKey key = Create(*registry, Hive::ClassesRoot, ".nst");
    DWORD size = 0;
    EXPECT_EQ(registry->QueryValue(key, "", nullptr, nullptr, &size), win::ERROR_FILE_NOT_FOUND);
    const Bytes text = RegSzBytes("NstFile");
    ASSERT_EQ(registry->SetValue(key, "", REG_SZ, text.data(), text.size()), win::ERROR_SUCCESS);
    EXPECT_EQ(Query(*registry, key, ""), text);
    EXPECT_EQ(registry->QueryValue(key, "Default", nullptr, nullptr, &size),
              win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry->DeleteValue(key, ""), win::ERROR_SUCCESS);
    EXPECT_EQ(registry->DeleteValue(key, ""), win::ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EnumerationsFollowCreationOrder) {
    auto registry = Open();
    const RegKey key = Create(*registry, Hive::Users, ".DEFAULT\\Order");
    for (const char* name : {"zeta", "Alpha", "mid"}) {
        RegKey child;
        ASSERT_EQ(registry->CreateKey(key, name, KEY_READ, child), win::ERROR_SUCCESS);
        ASSERT_EQ(registry->SetValue(key, name, REG_NONE, nullptr, 0), win::ERROR_SUCCESS);
    }
    const Bytes data = RegDwordBytes(3);
    ASSERT_EQ(registry->SetValue(key, "ZETA", REG_DWORD, data.data(), 4), win::ERROR_SUCCESS);
    const std::vector<std::string> expected = {"zeta", "Alpha", "mid"};
    std::vector<std::string> names;
    ASSERT_EQ(registry->EnumSubKeyNames(key, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names, expected);
    ASSERT_EQ(registry->EnumValueNames(key, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names, expected);
    const RegKey missing{Hive::Users, "Nothing", KEY_READ};
    EXPECT_EQ(registry->EnumValueNames(missing, names), win::ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DeleteKeyRefusesWhileSubkeysExist) {
    auto registry = Open();
    const RegKey root = RegKey::Root(Hive::CurrentUser);
    const RegKey parent = Create(*registry, Hive::CurrentUser, "Software\\Tree\\Branch");
    const Bytes data = RegDwordBytes(1);
    ASSERT_EQ(registry->SetValue(parent, "V", REG_DWORD, data.data(), 4), win::ERROR_SUCCESS);

    EXPECT_EQ(registry->DeleteKey(root, "Software\\Tree"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry->DeleteKey(root, "Software\\TREE\\branch"), win::ERROR_SUCCESS);
    EXPECT_EQ(registry->DeleteKey(root, "Software\\Tree\\Branch"), win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry->SetValue(parent, "V", REG_DWORD, data.data(), 4),
              win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry->DeleteKey(root, "Software\\Tree"), win::ERROR_SUCCESS);

    // A key made again under the same name starts without the old values.
    const RegKey again = Create(*registry, Hive::CurrentUser, "Software\\Tree\\Branch");
    DWORD size = 0;
    EXPECT_EQ(registry->QueryValue(again, "V", nullptr, nullptr, &size), win::ERROR_FILE_NOT_FOUND);

    for (const Hive hive : {Hive::CurrentUser, Hive::ClassesRoot, Hive::LocalMachine}) {
        EXPECT_EQ(registry->DeleteKey(RegKey::Root(hive), ""), win::ERROR_ACCESS_DENIED);
    }
}

// Where a key written through one view can be found through another.
TEST_F(RegistryTest, ThirtyTwoBitViewRedirectsSoftwareAndClassIds) {
    constexpr DWORD k64 = KEY_READ | KEY_WOW64_64KEY;
    constexpr DWORD k32 = KEY_READ | KEY_WOW64_32KEY;
    struct Place {
        Hive hive;
        const char* path;
        DWORD access;
    };
    struct Case {
        bool is64BitWindows;
        Place written;
        Place read;
        bool found;
    };
    const Hive HKLM = Hive::LocalMachine;
    const Hive HKCR = Hive::ClassesRoot;
    const Hive HKCU = Hive::CurrentUser;
    const Case cases[] = {
        {true, {HKLM, "SOFTWARE\\Acme", KEY_READ}, {HKLM, "SOFTWARE\\Acme", KEY_READ}, true},
        {true, {HKLM, "SOFTWARE\\Acme", KEY_READ}, {HKLM, "SOFTWARE\\Acme", k64}, false},
        {true,
         {HKLM, "SOFTWARE\\Acme", KEY_READ},
         {HKLM, "software\\wow6432node\\acme", k64},
         true},
        {true,
         {HKLM, "SOFTWARE\\Acme", KEY_READ},
         {HKLM, "SOFTWARE\\Wow6432Node\\Acme", KEY_READ},
         true},
        {true, {HKLM, "SOFTWARE\\Acme", KEY_READ}, {HKLM, "SOFTWARE\\Acme", k32}, true},
        {true, {HKLM, "SOFTWARE\\Acme", k64}, {HKLM, "SOFTWARE\\Acme", KEY_READ}, false},
        {true, {HKLM, "SOFTWARE\\Acme", k64}, {HKLM, "SOFTWARE\\Acme", k64}, true},
        {true, {HKLM, "SYSTEM\\Acme", KEY_READ}, {HKLM, "SYSTEM\\Acme", k64}, true},
        {true, {HKCU, "Software\\Acme", KEY_READ}, {HKCU, "Software\\Acme", k64}, true},
        {true, {HKCR, "CLSID\\{1}", KEY_READ}, {HKCR, "CLSID\\{1}", KEY_READ}, true},
        {true, {HKCR, "CLSID\\{1}", KEY_READ}, {HKCR, "CLSID\\{1}", k64}, false},
        {true, {HKCR, "CLSID\\{1}", KEY_READ}, {HKCR, "Wow6432Node\\CLSID\\{1}", k64}, true},
        {true, {HKCR, "CLSID\\{1}", KEY_READ}, {HKCR, "Wow6432Node\\CLSID\\{1}", KEY_READ}, true},
        {true,
         {HKCR, "CLSID\\{1}", KEY_READ},
         {HKLM, "SOFTWARE\\Classes\\CLSID\\{1}", KEY_READ},
         true},
        {true,
         {HKCR, "CLSID\\{1}", KEY_READ},
         {HKLM, "SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}", k64},
         true},
        {true, {HKCR, "CLSID\\{1}", k64}, {HKLM, "SOFTWARE\\Classes\\CLSID\\{1}", k64}, true},
        {true, {HKCR, "CLSID\\{1}", k64}, {HKCR, "CLSID\\{1}", KEY_READ}, false},
        {true, {HKCR, ".nst", KEY_READ}, {HKCR, ".nst", k64}, true},
        {true, {HKCR, ".nst", KEY_READ}, {HKLM, "SOFTWARE\\Classes\\.nst", KEY_READ}, true},
        {true, {HKCR, "Shared\\CLSID", KEY_READ}, {HKCR, "Shared\\CLSID", k64}, true},
        {false, {HKLM, "SOFTWARE\\Acme", KEY_READ}, {HKLM, "SOFTWARE\\Acme", k64}, true},
        {false, {HKLM, "SOFTWARE\\Acme", k32}, {HKLM, "SOFTWARE\\Acme", k64}, true},
        {false, {HKCR, "CLSID\\{1}", KEY_READ}, {HKCR, "CLSID\\{1}", k64}, true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++);
        TempFolder folder;
        auto registry = MakeSqliteRegistry(folder.path() / "r.db", c.is64BitWindows);
        ASSERT_TRUE(registry);
        RegKey key;
        ASSERT_EQ(registry->CreateKey(RegKey::Root(c.written.hive), c.written.path,
                                      c.written.access | KEY_WRITE, key),
                  win::ERROR_SUCCESS);
        const LONG expected = c.found ? win::ERROR_SUCCESS : win::ERROR_FILE_NOT_FOUND;
        EXPECT_EQ(registry->OpenKey(RegKey::Root(c.read.hive), c.read.path, c.read.access, key),
                  expected);
    }
}

TEST_F(RegistryTest, ViewOfAnOpenedKeyCarriesToItsSubkeys) {
    auto registry = Open(true);
    RegKey software;
    ASSERT_EQ(registry->OpenKey(RegKey::Root(Hive::LocalMachine), "SOFTWARE",
                                kReadWrite | KEY_WOW64_64KEY, software),
              win::ERROR_SUCCESS);
    RegKey native;
    ASSERT_EQ(registry->CreateKey(software, "Native", kReadWrite, native), win::ERROR_SUCCESS);
    EXPECT_EQ(native.path, "SOFTWARE\\Native");

    RegKey redirected;
    ASSERT_EQ(registry->CreateKey(RegKey::Root(Hive::LocalMachine), "SOFTWARE\\Acme", kReadWrite,
                                  redirected),
              win::ERROR_SUCCESS);
    EXPECT_EQ(redirected.path, "SOFTWARE\\Wow6432Node\\Acme");
    RegKey child;
    ASSERT_EQ(registry->CreateKey(redirected, "Child", kReadWrite, child), win::ERROR_SUCCESS);
    EXPECT_EQ(child.path, "SOFTWARE\\Wow6432Node\\Acme\\Child");

    RegKey both;
    EXPECT_EQ(registry->OpenKey(RegKey::Root(Hive::LocalMachine), "SOFTWARE",
                                KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, both),
              win::ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, TwoRegistryObjectsShareOneDatabase) {
    auto writer = Open();
    auto reader = Open();
    ASSERT_TRUE(writer && reader);
    const RegKey key = Create(*writer, Hive::CurrentUser, "Software\\Shared");
    const Bytes data = RegSzBytes("seen");
    ASSERT_EQ(writer->SetValue(key, "V", REG_SZ, data.data(), data.size()), win::ERROR_SUCCESS);
    EXPECT_EQ(Query(*reader, key, "V"), data);
    writer.reset();
    reader.reset();
    auto later = Open();
    EXPECT_EQ(Query(*later, key, "V"), data);
}

TEST_F(RegistryTest, UnusableDatabaseGivesNoRegistry) {
    EXPECT_EQ(MakeSqliteRegistry(folder_.path() / "missing" / "r.db", true), nullptr);
    const auto garbage = folder_.path() / "garbage.db";
    std::ofstream(garbage) << std::string(4096, 'x');
    EXPECT_EQ(MakeSqliteRegistry(garbage, true), nullptr);
}

// Writers in other processes and threads at once: every value arrives.
TEST_F(RegistryTest, ConcurrentWritersLoseNoWrite) {
    constexpr int kProcesses = 2;
    constexpr int kThreads = 3;
    constexpr int kValuesEach = 150;
    auto writeValues = [this](const std::string& prefix) {
        auto registry = Open();
        if (!registry)
            return false;
        RegKey key;
        if (registry->CreateKey(RegKey::Root(Hive::CurrentUser), "Software\\Race", kReadWrite,
                                key) != win::ERROR_SUCCESS) {
            return false;
        }
        for (int i = 0; i < kValuesEach; ++i) {
            const Bytes data = RegDwordBytes(static_cast<DWORD>(i));
            if (registry->SetValue(key, prefix + std::to_string(i), REG_DWORD, data.data(), 4) !=
                win::ERROR_SUCCESS) {
                return false;
            }
        }
        return true;
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            _exit(writeValues("p" + std::to_string(p) + "_") ? 0 : 1);
        children.push_back(child);
    }
    auto shared = Open();
    ASSERT_TRUE(shared);
    RegKey key;
    ASSERT_EQ(shared->CreateKey(RegKey::Root(Hive::CurrentUser), "Software\\Race", kReadWrite, key),
              win::ERROR_SUCCESS);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kValuesEach; ++i) {
                const Bytes data = RegDwordBytes(static_cast<DWORD>(i));
                const std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
                if (shared->SetValue(key, name, REG_DWORD, data.data(), 4) != win::ERROR_SUCCESS) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(failures.load(), 0);
    std::vector<std::string> names;
    ASSERT_EQ(shared->EnumValueNames(key, names), win::ERROR_SUCCESS);
    EXPECT_EQ(names.size(), static_cast<size_t>((kProcesses + kThreads) * kValuesEach));
    EXPECT_EQ(Query(*shared, key, "p1_149"), RegDwordBytes(149));
}

}  // namespace
}  // namespace platform
