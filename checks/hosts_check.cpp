#include "checks/hosts_check.h"

#include <re2/re2.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "checks/dns_check.h"
#include "checks/hosts_name_search.h"
#include "platform/context.h"
#include "platform/files.h"

namespace checks {
namespace {

constexpr std::string_view kHostsFile = "%windir%\\system32\\drivers\\etc\\hosts";
constexpr std::string_view kBackupSuffix = ".bak";
constexpr std::string_view kTemporarySuffix = ".nestora-new";
// White space as the address part of a line may hold it, without the line feed.
constexpr std::string_view kSpaceClass = "[\\t\\x0B\\f\\r ]";
constexpr std::string_view kAddressClass = "[\\t\\x0B\\f\\r 0-9.]";

struct ByteRange {
    size_t begin = 0;
    size_t end = 0;
};

// The name as a literal that matches ASCII letters in either case and every other byte as
// itself.
std::string CaseInsensitiveLiteral(std::string_view name) {
    std::string literal;
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            const char lower = static_cast<char>(c | 0x20);
            literal += '[';
            literal += static_cast<char>(lower - 'a' + 'A');
            literal += lower;
            literal += ']';
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            literal += escaped;
        }
    }
    return literal;
}

// The configured names without the white space around them; names that still hold a line
// feed cannot be on one line and are left out.
std::vector<std::string> PinnableNames(const config::ConfigSection& section) {
    constexpr std::string_view kBlanks = " \t\r\n";
    std::vector<std::string> names;
    for (const config::ConfigEntry& entry : section.entries) {
        const size_t first = entry.text.find_first_not_of(kBlanks);
        if (first == std::string::npos)
            continue;
        const size_t last = entry.text.find_last_not_of(kBlanks);
        std::string name = entry.text.substr(first, last - first + 1);
        if (name.find('\n') == std::string::npos)
            names.push_back(std::move(name));
    }
    return names;
}

// One line that names one of the host names after its address part: group 1 is the name.
// The match runs to the end of the line, its line end (CR LF or LF) included.
std::string PinningLinePattern(const std::vector<std::string>& names) {
    std::string alternatives;
    for (const std::string& name : names) {
        if (!alternatives.empty())
            alternatives += '|';
        alternatives += CaseInsensitiveLiteral(name);
    }
    return "(?m)^" + std::string(kAddressClass) + "*(" + alternatives + ")" +
           std::string(kSpaceClass) + "*(?:#[^\\r\\n]+)?(?:\\r\\n|\\n|\\z)";
}

bool IsAddressByte(char c) {
    return c == '\t' || c == '\x0B' || c == '\f' || c == '\r' || c == ' ' || c == '.' ||
           (c >= '0' && c <= '9');
}

// Finds the lines that pin a host name: the lines where a name occurs are tried against the
// line pattern. Lines found earlier count as deleted when deciding whether a bare name line is
// preceded by an address-only line, so that the repaired text has no pinning line left.
class PinningLineFinder {
public:
    PinningLineFinder(const std::vector<std::string>& names, std::string_view text)
        : search_(names), regex_(PinningLinePattern(names), Options()), text_(text) {}

    bool IsValid() const { return regex_.ok(); }

    std::vector<ByteRange> Find(bool stopAtFirst) {
        std::vector<ByteRange> lines;
        re2::StringPiece groups[2];
        const re2::StringPiece whole(text_.data(), text_.size());
        for (size_t at = search_.FindFrom(text_, 0); at != std::string_view::npos;) {
            const size_t lineBegin = at == 0 ? 0 : text_.find_last_of('\n', at - 1) + 1;
            const size_t lineFeed = text_.find('\n', at);
            const size_t nextLine =
                lineFeed == std::string_view::npos ? text_.size() : lineFeed + 1;
            if (regex_.Match(whole, lineBegin, text_.size(), RE2::ANCHOR_START, groups, 2)) {
                const ByteRange line{lineBegin, Offset(groups[0].end())};
                const bool hasAddressPart = Offset(groups[1].data()) > line.begin;
                if (hasAddressPart || FollowsAddressOnlyLine(line.begin, lines)) {
                    lines.push_back(line);
                    if (stopAtFirst)
                        break;
                }
            }
            at = search_.FindFrom(text_, nextLine);
        }
        return lines;
    }

private:
    static RE2::Options Options() {
        RE2::Options options;
        options.set_encoding(RE2::Options::EncodingLatin1);
        options.set_log_errors(false);
        return options;
    }

    size_t Offset(const char* p) const { return static_cast<size_t>(p - text_.data()); }

    bool FollowsAddressOnlyLine(size_t lineBegin, const std::vector<ByteRange>& deleted) const {
        size_t begin = lineBegin;
        for (auto it = deleted.rbegin(); it != deleted.rend() && it->end == begin; ++it)
            begin = it->begin;
        if (begin == 0)
            return false;
        const size_t lineFeed = begin - 1;
        const size_t previousBegin =
            lineFeed == 0 ? 0 : text_.find_last_of('\n', lineFeed - 1) + 1;  // npos + 1 is 0
        for (size_t i = previousBegin; i < lineFeed; ++i) {
            if (!IsAddressByte(text_[i]))
                return false;
        }
        return true;
    }

    HostsNameSearch search_;
    RE2 regex_;
    std::string_view text_;
};

std::string WithoutRanges(std::string_view text, const std::vector<ByteRange>& ranges) {
    std::string kept;
    size_t removed = 0;
    for (const ByteRange& range : ranges)
        removed += range.end - range.begin;
    kept.reserve(text.size() - removed);
    size_t from = 0;
    for (const ByteRange& range : ranges) {
        kept.append(text.substr(from, range.begin - from));
        from = range.end;
    }
    kept.append(text.substr(from));
    return kept;
}

// Backup beside the file, then the new text into a temporary file in the same folder that
// is renamed over the old one, so the file is never seen half written.
bool ReplaceHostsFile(platform::FileSystem& files, const std::string& path, std::string_view text) {
    if (!files.CopyFile(path, path + std::string(kBackupSuffix), false))
        return false;
    const std::string temporary = path + std::string(kTemporarySuffix);
    if (files.WriteFile(temporary, text) &&
        files.MoveFileEx(temporary, path, platform::MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    files.DeleteFile(temporary);
    return false;
}

bool SetHostsOk(config::CheckConfig& config, bool ok) {
    config.results.hostsOk = ok;
    return ok;
}

bool RepairHosts(platform::Context& context, config::CheckConfig& config,
                 const std::vector<std::string>& names) {
    platform::FileSystem& files = *context.files;
    const std::string path = HostsFilePath(context);
    std::string text;
    if (!files.ReadFile(path, text)) {
        if (files.PathFileExists(path))
            return SetHostsOk(config, false);  // there, but unreadable: nothing is written
    } else if (!names.empty()) {
        PinningLineFinder finder(names, text);
        if (!finder.IsValid())
            return SetHostsOk(config, false);
        const std::vector<ByteRange> lines = finder.Find(false);
        if (!lines.empty() && !ReplaceHostsFile(files, path, WithoutRanges(text, lines)))
            return SetHostsOk(config, false);
    }
    CheckDns(context, config);
    return SetHostsOk(config, true);
}

bool CheckHostsFile(platform::Context& context, const std::vector<std::string>& names) {
    std::string text;
    if (names.empty() || !context.files->ReadFile(HostsFilePath(context), text))
        return true;
    PinningLineFinder finder(names, text);
    return finder.IsValid() && finder.Find(true).empty();
}

}  // namespace

std::string HostsFilePath(platform::Context& context) {
    std::string path;
    context.files->ExpandEnvironmentStringsW(kHostsFile, path, win::MAX_PATH);
    return path;
}

bool CheckHosts(platform::Context& context, config::CheckConfig& config, bool fix) {
    const config::ConfigSection* section = config.FindSection("host");
    if (section == nullptr)
        return SetHostsOk(config, true);
    const std::vector<std::string> names = PinnableNames(*section);
    if (fix)
        return RepairHosts(context, config, names);
    return SetHostsOk(config, CheckHostsFile(context, names));
}

}  // namespace checks
