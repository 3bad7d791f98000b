// nestora-win reg: the add, query and delete operations of the Windows "reg" command on the
// sandbox registry, with its syntax, output layout and messages, plus "protect", which makes a
// key refuse write access so that tests can set up a key the user may not change.
//
// Without /reg:32 or /reg:64 the command sees the registry as the 32-bit tools the program
// starts do: through Wow6432Node on 64-bit Windows.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tools/nestora-win/command.h"

namespace nestora_win {
namespace {

using platform::Hive;
using platform::Registry;
using platform::RegKey;
using win::DWORD;
using win::LONG;
using Bytes = std::vector<std::uint8_t>;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

constexpr char kUsage[] =
    "usage:\n"
    "  nestora-win reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]"
    " [/reg:32 | /reg:64]\n"
    "  nestora-win reg query KEY [/v NAME | /ve] [/s] [/reg:32 | /reg:64]\n"
    "  nestora-win reg delete KEY [/v NAME | /ve | /va] [/f] [/reg:32 | /reg:64]\n"
    "  nestora-win reg protect KEY on|off [/reg:32 | /reg:64]\n"
    "KEY   HKLM, HKCU, HKCR or HKU (or HKEY_LOCAL_MACHINE, ...), then \\SUBKEY\n"
    "TYPE  REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY,"
    " REG_NONE\n"
    "DATA  REG_DWORD and REG_QWORD in decimal or 0x hex; REG_BINARY and REG_NONE as hex digits;\n"
    "      REG_MULTI_SZ items separated by \\0 (or by SEPARATOR)\n"
    "protect (sandbox only) makes KEY refuse to be opened for writing, or allows it again\n";

constexpr char kNotFound[] =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr char kDone[] = "The operation completed successfully.";

// ---- Arguments -------------------------------------------------------------------------------

struct SwitchSpec {
    const char* name;  // lower case, without the leading slash
    bool takesArgument;
};

constexpr SwitchSpec kAddSwitches[] = {{"v", true},       {"ve", false},    {"t", true},
                                       {"s", true},       {"d", true},      {"f", false},
                                       {"reg:32", false}, {"reg:64", false}};
constexpr SwitchSpec kQuerySwitches[] = {
    {"v", true}, {"ve", false}, {"s", false}, {"reg:32", false}, {"reg:64", false}};
constexpr SwitchSpec kDeleteSwitches[] = {{"v", true},  {"ve", false},     {"va", false},
                                          {"f", false}, {"reg:32", false}, {"reg:64", false}};
constexpr SwitchSpec kProtectSwitches[] = {{"reg:32", false}, {"reg:64", false}};

struct Arguments {
    std::vector<std::string> positionals;
    std::map<std::string, std::string> switches;

    bool Has(const char* name) const { return switches.contains(name); }
    std::string Get(const char* name) const {
        const auto found = switches.find(name);
        return found == switches.end() ? std::string() : found->second;
    }
};

const SwitchSpec* FindSwitch(std::span<const SwitchSpec> specs, std::string_view argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-'))
        return nullptr;
    const std::string name = platform::AsciiLower(argument.substr(1));
    for (const SwitchSpec& spec : specs) {
        if (name == spec.name)
            return &spec;
    }
    return nullptr;
}

// Switches may come in any order, before or after KEY; each at most once.
bool ParseArguments(std::span<const std::string> args, std::span<const SwitchSpec> specs,
                    Arguments& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const SwitchSpec* spec = FindSwitch(specs, args[i]);
        if (spec == nullptr) {
            if (args[i].starts_with('/'))
                return false;
            out.positionals.push_back(args[i]);
            continue;
        }
        std::string value;
        if (spec->takesArgument) {
            if (++i == args.size())
                return false;
            value = args[i];
        }
        if (!out.switches.emplace(spec->name, value).second)
            return false;
    }
    const int valueSwitches = out.Has("v") + out.Has("ve") + out.Has("va");
    return valueSwitches <= 1 && !(out.Has("reg:32") && out.Has("reg:64"));
}

DWORD ViewFlags(const Arguments& arguments) {
    if (arguments.Has("reg:64"))
        return platform::KEY_WOW64_64KEY;
    if (arguments.Has("reg:32"))
        return platform::KEY_WOW64_32KEY;
    return 0;
}

// The value a command works on: /v NAME, /ve (the default value) or none.
std::optional<std::string> ValueName(const Arguments& arguments) {
    if (arguments.Has("v"))
        return arguments.Get("v");
    if (arguments.Has("ve"))
        return std::string();
    return std::nullopt;
}

// ---- Key names -------------------------------------------------------------------------------

struct HiveName {
    const char* shortName;
    const char* longName;
    Hive hive;
};

constexpr HiveName kHiveNames[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", Hive::LocalMachine},
    {"HKCU", "HKEY_CURRENT_USER", Hive::CurrentUser},
    {"HKCR", "HKEY_CLASSES_ROOT", Hive::ClassesRoot},
    {"HKU", "HKEY_USERS", Hive::Users},
};

struct KeyName {
    const HiveName* hive;
    std::string subKey;  // without leading or trailing backslashes

    std::string Display() const {
        return subKey.empty() ? hive->longName : std::string(hive->longName) + '\\' + subKey;
    }
};

std::optional<KeyName> ParseKeyName(std::string_view text) {
    const size_t slash = text.find('\\');
    const std::string_view root = text.substr(0, slash);
    std::string_view subKey = slash == std::string_view::npos ? "" : text.substr(slash + 1);
    while (subKey.starts_with('\\'))
        subKey.remove_prefix(1);
    while (subKey.ends_with('\\'))
        subKey.remove_suffix(1);
    for (const HiveName& hive : kHiveNames) {
        if (platform::EqualsIgnoreCase(root, hive.shortName) ||
            platform::EqualsIgnoreCase(root, hive.longName)) {
            return KeyName{&hive, std::string(subKey)};
        }
    }
    return std::nullopt;
}

// ---- Value types and data --------------------------------------------------------------------

struct TypeName {
    const char* name;
    DWORD type;
};

constexpr TypeName kTypeNames[] = {
    {"REG_NONE", platform::REG_NONE},           {"REG_SZ", platform::REG_SZ},
    {"REG_EXPAND_SZ", platform::REG_EXPAND_SZ}, {"REG_BINARY", platform::REG_BINARY},
    {"REG_DWORD", platform::REG_DWORD},         {"REG_MULTI_SZ", platform::REG_MULTI_SZ},
    {"REG_QWORD", platform::REG_QWORD},
};

std::optional<DWORD> ParseTypeName(std::string_view text) {
    for (const TypeName& entry : kTypeNames) {
        if (platform::EqualsIgnoreCase(text, entry.name))
            return entry.type;
    }
    return std::nullopt;
}

std::string FormatTypeName(DWORD type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type)
            return entry.name;
    }
    return "REG_UNKNOWN(" + std::to_string(type) + ")";
}

// Decimal, or hexadecimal after 0x; the whole text must be the number. Empty reads 0.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t maximum) {
    if (text.empty())
        return 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
    if (error != std::errc() || end != text.data() + text.size() || number > maximum) {
        return std::nullopt;
    }
    return number;
}

Bytes LittleEndian(std::uint64_t number, size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(number >> (8 * i));
    return bytes;
}

std::optional<Bytes> ParseHexBytes(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    Bytes bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        std::uint8_t byte = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
        if (error != std::errc() || end != text.data() + i + 2)
            return std::nullopt;
        bytes.push_back(byte);
    }
    return bytes;
}

// Each item as UTF-16LE with its terminator, then the terminator of the list.
std::optional<Bytes> ParseMultiString(std::string_view text, std::string_view separator) {
    Bytes bytes;
    if (text.empty())
        return Bytes{0, 0, 0, 0};
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        const std::string_view item = text.substr(start, end - start);
        if (item.empty())
            return std::nullopt;  // an empty item would end the list early
        const Bytes itemBytes = platform::RegSzBytes(item);
        bytes.insert(bytes.end(), itemBytes.begin(), itemBytes.end());
        if (end == std::string_view::npos)
            break;
        start = end + separator.size();
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::optional<Bytes> EncodeData(DWORD type, const std::string& data, std::string_view separator) {
    switch (type) {
        case platform::REG_SZ:
        case platform::REG_EXPAND_SZ:
            return platform::RegSzBytes(data);
        case platform::REG_MULTI_SZ:
            return ParseMultiString(data, separator);
        case platform::REG_DWORD:
            if (const auto number = ParseNumber(data, 0xFFFFFFFFu))
                return LittleEndian(*number, 4);
            return std::nullopt;
        case platform::REG_QWORD:
            if (const auto number = ParseNumber(data, UINT64_MAX))
                return LittleEndian(*number, 8);
            return std::nullopt;
        default:
            return ParseHexBytes(data);
    }
}

std::string HexNumber(const Bytes& bytes) {
    std::uint64_t number = 0;
    for (size_t i = std::min<size_t>(bytes.size(), 8); i-- > 0;)
        number = (number << 8) | bytes[i];
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(number));
    return text;
}

std::string HexDigits(const Bytes& bytes) {
    std::string text;
    char pair[3];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        text += pair;
    }
    return text;
}

std::string MultiStringText(const Bytes& bytes) {
    std::string text;
    size_t start = 0;
    while (start + 1 < bytes.size()) {
        const std::string item = platform::RegSzToUtf8(bytes.data() + start, bytes.size() - start);
        if (item.empty())
            break;
        if (!text.empty())
            text += "\\0";
        text += item;
        start += platform::Utf8ToUtf16(item).size() * 2 + 2;
    }
    return text;
}

std::string FormatData(DWORD type, const Bytes& bytes) {
    switch (type) {
        case platform::REG_SZ:
        case platform::REG_EXPAND_SZ:
            return platform::RegSzToUtf8(bytes.data(), bytes.size());
        case platform::REG_MULTI_SZ:
            return MultiStringText(bytes);
        case platform::REG_DWORD:
        case platform::REG_QWORD:
            return HexNumber(bytes);
        default:
            return HexDigits(bytes);
    }
}

// ---- Messages --------------------------------------------------------------------------------

int Fail(CommandIo io, std::string_view message) {
    io.err << message << '\n';
    return kFailure;
}

int SyntaxError(CommandIo io) {
    return Fail(io, std::string("ERROR: Invalid syntax.\n") + kUsage);
}

int InvalidKeyName(CommandIo io) {
    return Fail(io, std::string("ERROR: Invalid key name.\n") + kUsage);
}

int ReportStatus(CommandIo io, LONG status) {
    if (status == win::ERROR_FILE_NOT_FOUND)
        return Fail(io, kNotFound);
    if (status == win::ERROR_ACCESS_DENIED)
        return Fail(io, "ERROR: Access is denied.");
    return Fail(io, "ERROR: The registry operation failed (error " + std::to_string(status) + ").");
}

int Succeed(CommandIo io) {
    io.out << kDone << '\n';
    return kSuccess;
}

// Without /f, reg asks before it overwrites or deletes; anything but yes cancels.
bool Confirm(CommandIo io, const std::string& question) {
    io.out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        answer.clear();
    if (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'))
        return true;
    io.err << "The operation was cancelled.\n";
    return false;
}

// ---- Operations ------------------------------------------------------------------------------

RegKey HiveRoot(const KeyName& key, DWORD view) {
    return RegKey{key.hive->hive, "", platform::KEY_ALL_ACCESS | view};
}

Bytes ReadValue(Registry& registry, const RegKey& key, const std::string& name, DWORD& type,
                LONG& status) {
    DWORD size = 0;
    status = registry.QueryValue(key, name, &type, nullptr, &size);
    Bytes data(size);
    // The value may grow between the two calls (another process writing): ask again.
    while (status == win::ERROR_SUCCESS || status == win::ERROR_MORE_DATA) {
        data.resize(size);
        status = registry.QueryValue(key, name, &type, data.data(), &size);
        if (status == win::ERROR_SUCCESS) {
            data.resize(size);
            break;
        }
    }
    return data;
}

int RunAdd(Registry& registry, std::span<const std::string> args, CommandIo io) {
    Arguments arguments;
    if (!ParseArguments(args, kAddSwitches, arguments) || arguments.positionals.size() != 1 ||
        arguments.Has("va")) {
        return SyntaxError(io);
    }
    const std::optional<KeyName> keyName = ParseKeyName(arguments.positionals[0]);
    if (!keyName)
        return InvalidKeyName(io);
    const std::optional<DWORD> type =
        ParseTypeName(arguments.Has("t") ? arguments.Get("t") : "REG_SZ");
    if (!type)
        return Fail(io, "ERROR: Invalid value type '" + arguments.Get("t") + "'.");
    const std::string separator = arguments.Has("s") ? arguments.Get("s") : "\\0";
    if (separator.empty())
        return SyntaxError(io);
    const std::optional<Bytes> data = EncodeData(*type, arguments.Get("d"), separator);
    if (!data) {
        return Fail(io, "ERROR: Invalid data '" + arguments.Get("d") + "' for " +
                            FormatTypeName(*type) + ".");
    }
    const DWORD view = ViewFlags(arguments);
    RegKey key;
    LONG status = registry.CreateKey(HiveRoot(*keyName, view), keyName->subKey,
                                     platform::KEY_READ | platform::KEY_WRITE | view, key);
    if (status != win::ERROR_SUCCESS)
        return ReportStatus(io, status);
    // /t or /d without a value name set the default value.
    std::optional<std::string> name = ValueName(arguments);
    if (!name && (arguments.Has("t") || arguments.Has("d")))
        name = std::string();
    if (!name)
        return Succeed(io);
    if (!arguments.Has("f") &&
        registry.QueryValue(key, *name, nullptr, nullptr, nullptr) == win::ERROR_SUCCESS &&
        !Confirm(io, "Value " + (name->empty() ? std::string("(Default)") : *name) +
                         " exists, overwrite")) {
        return kFailure;
    }
    status = registry.SetValue(key, *name, *type, data->data(), static_cast<DWORD>(data->size()));
    return status == win::ERROR_SUCCESS ? Succeed(io) : ReportStatus(io, status);
}

void PrintValueLine(CommandIo io, const std::string& name, DWORD type, const Bytes& data) {
    io.out << "    " << (name.empty() ? "(Default)" : name) << "    " << FormatTypeName(type)
           << "    " << FormatData(type, data) << '\n';
}

LONG PrintAllValues(Registry& registry, const RegKey& key, CommandIo io) {
    std::vector<std::string> names;
    if (const LONG status = registry.EnumValueNames(key, names); status != win::ERROR_SUCCESS) {
        return status;
    }
    for (const std::string& name : names) {
        DWORD type = 0;
        LONG status = win::ERROR_SUCCESS;
        const Bytes data = ReadValue(registry, key, name, type, status);
        if (status == win::ERROR_SUCCESS)
            PrintValueLine(io, name, type, data);
    }
    return win::ERROR_SUCCESS;
}

// reg's layout: the key's values under its name, then its subkeys by full name; with /s each
// subkey in turn shows its own values and subkeys.
LONG PrintKey(Registry& registry, const RegKey& key, const std::string& display, bool recursive,
              CommandIo io) {
    io.out << display << '\n';
    if (const LONG status = PrintAllValues(registry, key, io); status != win::ERROR_SUCCESS) {
        return status;
    }
    std::vector<std::string> subKeys;
    if (const LONG status = registry.EnumSubKeyNames(key, subKeys); status != win::ERROR_SUCCESS) {
        return status;
    }
    io.out << '\n';
    for (const std::string& subKey : subKeys) {
        const std::string childDisplay = display + '\\' + subKey;
        if (!recursive) {
            io.out << childDisplay << '\n';
            continue;
        }
        RegKey child;
        if (registry.OpenKey(key, subKey, platform::KEY_READ, child) == win::ERROR_SUCCESS) {
            PrintKey(registry, child, childDisplay, recursive, io);
        }
    }
    return win::ERROR_SUCCESS;
}

int RunQuery(Registry& registry, std::span<const std::string> args, CommandIo io) {
    Arguments arguments;
    if (!ParseArguments(args, kQuerySwitches, arguments) || arguments.positionals.size() != 1) {
        return SyntaxError(io);
    }
    const std::optional<KeyName> keyName = ParseKeyName(arguments.positionals[0]);
    if (!keyName)
        return InvalidKeyName(io);
    const DWORD view = ViewFlags(arguments);
    RegKey key;
    LONG status =
        registry.OpenKey(HiveRoot(*keyName, view), keyName->subKey, platform::KEY_READ | view, key);
    if (status != win::ERROR_SUCCESS)
        return ReportStatus(io, status);

    const std::optional<std::string> name = ValueName(arguments);
    if (!name) {
        io.out << '\n';
        status = PrintKey(registry, key, keyName->Display(), arguments.Has("s"), io);
        return status == win::ERROR_SUCCESS ? kSuccess : ReportStatus(io, status);
    }
    DWORD type = 0;
    const Bytes data = ReadValue(registry, key, *name, type, status);
    if (status == win::ERROR_FILE_NOT_FOUND && name->empty()) {
        io.out << '\n' << keyName->Display() << "\n    (Default)    REG_SZ    (value not set)\n\n";
        return kSuccess;
    }
    if (status != win::ERROR_SUCCESS)
        return ReportStatus(io, status);
    io.out << '\n' << keyName->Display() << '\n';
    PrintValueLine(io, *name, type, data);
    io.out << '\n';
    return kSuccess;
}

// Deletes `subKey` of `parent` with everything below it, deepest keys first.
LONG DeleteTree(Registry& registry, const RegKey& parent, const std::string& subKey) {
    RegKey key;
    LONG status = registry.OpenKey(parent, subKey, platform::KEY_READ, key);
    if (status != win::ERROR_SUCCESS)
        return status;
    std::vector<std::string> children;
    status = registry.EnumSubKeyNames(key, children);
    for (size_t i = 0; status == win::ERROR_SUCCESS && i < children.size(); ++i) {
        status = DeleteTree(registry, key, children[i]);
    }
    return status == win::ERROR_SUCCESS ? registry.DeleteKey(parent, subKey) : status;
}

LONG DeleteAllValues(Registry& registry, const RegKey& key) {
    std::vector<std::string> names;
    LONG status = registry.EnumValueNames(key, names);
    for (size_t i = 0; status == win::ERROR_SUCCESS && i < names.size(); ++i) {
        status = registry.DeleteValue(key, names[i]);
    }
    return status;
}

int RunDelete(Registry& registry, std::span<const std::string> args, CommandIo io) {
    Arguments arguments;
    if (!ParseArguments(args, kDeleteSwitches, arguments) || arguments.positionals.size() != 1) {
        return SyntaxError(io);
    }
    const std::optional<KeyName> keyName = ParseKeyName(arguments.positionals[0]);
    if (!keyName)
        return InvalidKeyName(io);
    const DWORD view = ViewFlags(arguments);
    const RegKey root = HiveRoot(*keyName, view);
    const bool force = arguments.Has("f");
    const std::optional<std::string> name = ValueName(arguments);

    if (!name && !arguments.Has("va")) {
        if (keyName->subKey.empty())
            return InvalidKeyName(io);
        if (!force && !Confirm(io, "Permanently delete the registry key " + keyName->Display())) {
            return kFailure;
        }
        const LONG status = DeleteTree(registry, root, keyName->subKey);
        return status == win::ERROR_SUCCESS ? Succeed(io) : ReportStatus(io, status);
    }
    RegKey key;
    LONG status = registry.OpenKey(root, keyName->subKey,
                                   platform::KEY_READ | platform::KEY_SET_VALUE | view, key);
    if (status != win::ERROR_SUCCESS)
        return ReportStatus(io, status);
    if (!name) {
        if (!force &&
            !Confirm(io, "Delete all values under the registry key " + keyName->Display())) {
            return kFailure;
        }
        status = DeleteAllValues(registry, key);
    } else {
        if (!force && !Confirm(io, "Delete the registry value " +
                                       (name->empty() ? std::string("(Default)") : *name))) {
            return kFailure;
        }
        status = registry.DeleteValue(key, *name);
    }
    return status == win::ERROR_SUCCESS ? Succeed(io) : ReportStatus(io, status);
}

int RunProtect(Registry& registry, std::span<const std::string> args, CommandIo io) {
    Arguments arguments;
    if (!ParseArguments(args, kProtectSwitches, arguments) || arguments.positionals.size() != 2) {
        return SyntaxError(io);
    }
    const std::optional<KeyName> keyName = ParseKeyName(arguments.positionals[0]);
    if (!keyName)
        return InvalidKeyName(io);
    const std::string& state = arguments.positionals[1];
    if (!platform::EqualsIgnoreCase(state, "on") && !platform::EqualsIgnoreCase(state, "off")) {
        return SyntaxError(io);
    }
    const LONG status =
        registry.SetWriteProtected(HiveRoot(*keyName, ViewFlags(arguments)), keyName->subKey,
                                   platform::EqualsIgnoreCase(state, "on"));
    return status == win::ERROR_SUCCESS ? Succeed(io) : ReportStatus(io, status);
}

struct Operation {
    const char* name;
    int (*run)(Registry& registry, std::span<const std::string> args, CommandIo io);
};

constexpr Operation kOperations[] = {
    {"add", RunAdd}, {"query", RunQuery}, {"delete", RunDelete}, {"protect", RunProtect}};

int RunReg(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    if (!args.empty() && args[0] == "/?") {
        io.out << kUsage;
        return kSuccess;
    }
    for (const Operation& operation : kOperations) {
        if (args.empty() || !platform::EqualsIgnoreCase(args[0], operation.name))
            continue;
        const auto rest = args.subspan(1);
        if (std::find(rest.begin(), rest.end(), "/?") != rest.end()) {
            io.out << kUsage;
            return kSuccess;
        }
        if (!context.registry)
            return Fail(io, "ERROR: The sandbox registry is not available.");
        return operation.run(*context.registry, rest, io);
    }
    return SyntaxError(io);
}

}  // namespace

NESTORA_WIN_COMMAND("reg", "reg add|query|delete|protect ... (reg /? for details)", RunReg);

}  // namespace nestora_win
