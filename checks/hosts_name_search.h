// Finds any of several names in a text, ASCII letters in either case, skipping ahead the way
// a multi-pattern Horspool search does, so that a long text without the names is crossed in
// far fewer steps than it has bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace checks {

class HostsNameSearch {
public:
    // Empty names are ignored.
    explicit HostsNameSearch(const std::vector<std::string>& names);

    // The offset of the first occurrence of any name that starts at or after `from`; npos
    // when there is none.
    size_t FindFrom(std::string_view text, size_t from) const;

private:
    size_t BlockAt(std::string_view text, size_t end) const;
    bool NameAt(std::string_view text, size_t at, const std::string& name) const;

    std::vector<std::string> names_;  // folded to lower case
    size_t shortest_ = 0;
    size_t blockSize_ = 1;  // bytes that decide a shift: 2, or 1 for a one-byte name
    std::vector<std::uint8_t> shift_;
    std::unordered_map<size_t, std::vector<size_t>> candidates_;  // block -> names ending so
};

}  // namespace checks
