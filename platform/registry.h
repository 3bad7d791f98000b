// The Windows registry as the program sees it: hives, keys opened with an access mask, typed
// values held as the raw bytes Windows stores, and the 32-bit view of a 32-bit program on
// 64-bit Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform {

enum class Hive { LocalMachine, CurrentUser, ClassesRoot, Users };

// Value types.
constexpr win::DWORD REG_NONE = 0;
constexpr win::DWORD REG_SZ = 1;
constexpr win::DWORD REG_EXPAND_SZ = 2;
constexpr win::DWORD REG_BINARY = 3;
constexpr win::DWORD REG_DWORD = 4;
constexpr win::DWORD REG_MULTI_SZ = 7;
constexpr win::DWORD REG_QWORD = 11;

// Access rights.
constexpr win::DWORD KEY_QUERY_VALUE = 0x0001;
constexpr win::DWORD KEY_SET_VALUE = 0x0002;
constexpr win::DWORD KEY_CREATE_SUB_KEY = 0x0004;
constexpr win::DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr win::DWORD KEY_WOW64_64KEY = 0x0100;
constexpr win::DWORD KEY_WOW64_32KEY = 0x0200;
constexpr win::DWORD KEY_READ = 0x20019;
constexpr win::DWORD KEY_WRITE = 0x20006;
constexpr win::DWORD KEY_ALL_ACCESS = 0xF003F;

// An open key: which hive, the key's path inside it as stored (after the 32-bit view was
// applied) and the rights it was opened with. Keys hold no system resource, so copying one is
// cheap and closing is nothing more than letting it go.
struct RegKey {
    Hive hive = Hive::LocalMachine;
    std::string path;  // backslash-separated, no leading or trailing backslash; "" is the hive
    win::DWORD access = KEY_READ;

    static RegKey Root(Hive hive) { return RegKey{hive, "", KEY_ALL_ACCESS}; }
};

class Registry {
public:
    virtual ~Registry() = default;

    // RegOpenKeyExW: ERROR_FILE_NOT_FOUND when the key does not exist; ERROR_ACCESS_DENIED
    // when write rights are asked for on a write-protected key. Without KEY_WOW64_64KEY or
    // KEY_WOW64_32KEY in `access`, the key is seen through the view `parent` was opened with.
    virtual win::LONG OpenKey(const RegKey& parent, std::string_view subKey, win::DWORD access,
                              RegKey& out) = 0;
    // RegCreateKeyExW: opens the key, creating it and any missing parents. `created` tells
    // whether it was new. Creating needs KEY_CREATE_SUB_KEY on `parent` and fails with
    // ERROR_ACCESS_DENIED below a write-protected key.
    virtual win::LONG CreateKey(const RegKey& parent, std::string_view subKey, win::DWORD access,
                                RegKey& out, bool* created = nullptr) = 0;
    // RegQueryValueExW: `type` and `data` may be null. With `data` null, `size` receives the
    // needed size; with a buffer shorter than the value, ERROR_MORE_DATA and the needed size.
    // "" names the key's default value.
    virtual win::LONG QueryValue(const RegKey& key, std::string_view name, win::DWORD* type,
                                 std::uint8_t* data, win::DWORD* size) = 0;
    // RegSetValueExW: the bytes are stored exactly as given.
    virtual win::LONG SetValue(const RegKey& key, std::string_view name, win::DWORD type,
                               const void* data, win::DWORD size) = 0;
    virtual win::LONG DeleteValue(const RegKey& key, std::string_view name) = 0;
    // RegDeleteKeyW: ERROR_ACCESS_DENIED while the key has subkeys, for a write-protected key
    // and for the keys every system has (hive roots, HKLM\SOFTWARE, ...).
    virtual win::LONG DeleteKey(const RegKey& parent, std::string_view subKey) = 0;

    // Names of the values and subkeys of a key, in the order they were created.
    virtual win::LONG EnumValueNames(const RegKey& key, std::vector<std::string>& names) = 0;
    virtual win::LONG EnumSubKeyNames(const RegKey& key, std::vector<std::string>& names) = 0;

    // Sandbox administration: a write-protected key refuses to be opened for writing, as a
    // key whose permissions deny the user would.
    virtual win::LONG SetWriteProtected(const RegKey& parent, std::string_view subKey,
                                        bool isProtected) = 0;
};

// Byte layouts of typed values as Windows stores them.
std::vector<std::uint8_t> RegSzBytes(std::string_view utf8);  // UTF-16LE with terminator
std::vector<std::uint8_t> RegDwordBytes(win::DWORD value);    // little-endian
// Reads REG_SZ / REG_EXPAND_SZ bytes back to UTF-8, stopping at the first terminator.
std::string RegSzToUtf8(const std::uint8_t* data, size_t size);

}  // namespace platform
