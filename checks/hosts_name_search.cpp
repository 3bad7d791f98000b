#include "checks/hosts_name_search.h"

#include <algorithm>

namespace checks {
namespace {

unsigned char Fold(char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

}  // namespace

HostsNameSearch::HostsNameSearch(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        std::string folded;
        for (const char c : name)
            folded.push_back(static_cast<char>(Fold(c)));
        names_.push_back(folded);
    }
    if (names_.empty())
        return;
    shortest_ = std::min_element(names_.begin(), names_.end(), [](const auto& a, const auto& b) {
                    return a.size() < b.size();
                })->size();
    blockSize_ = shortest_ >= 2 ? 2 : 1;

    // Every window of the shortest length ends in a block; the shift moves the window until
    // that block lines up with its last place in the first `shortest_` bytes of some name.
    const size_t longestShift = std::min<size_t>(shortest_ - blockSize_ + 1, 255);
    shift_.assign(size_t{1} << (8 * blockSize_), static_cast<std::uint8_t>(longestShift));
    for (size_t index = 0; index < names_.size(); ++index) {
        const std::string_view name(names_[index].data(), shortest_);
        for (size_t end = blockSize_; end <= shortest_; ++end) {
            const size_t block = BlockAt(name, end);
            shift_[block] =
                static_cast<std::uint8_t>(std::min<size_t>(shift_[block], shortest_ - end));
        }
        candidates_[BlockAt(name, shortest_)].push_back(index);
    }
}

size_t HostsNameSearch::BlockAt(std::string_view text, size_t end) const {
    size_t block = Fold(text[end - 1]);
    if (blockSize_ == 2)
        block |= static_cast<size_t>(Fold(text[end - 2])) << 8;
    return block;
}

bool HostsNameSearch::NameAt(std::string_view text, size_t at, const std::string& name) const {
    if (text.size() - at < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Fold(text[at + i]) != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

size_t HostsNameSearch::FindFrom(std::string_view text, size_t from) const {
    if (names_.empty())
        return std::string_view::npos;
    for (size_t start = from; start + shortest_ <= text.size();) {
        const size_t block = BlockAt(text, start + shortest_);
        const std::uint8_t shift = shift_[block];
        if (shift != 0) {
            start += shift;
            continue;
        }
        for (const size_t index : candidates_.at(block)) {
            if (NameAt(text, start, names_[index]))
                return start;
        }
        ++start;
    }
    return std::string_view::npos;
}

}  // namespace checks
