// The problem log written while parsing: one empty XML element per problem, named after it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace xml_detail {

struct Problem {
    std::string_view name = {};               // e.g. "lone_end_tag"
    std::string_view tagName = {};            // written as "tagname" when not empty
    std::string_view type = {};               // written as "type" when not empty
    std::optional<std::size_t> offset = {};   // written as "offset"
    std::optional<std::size_t> offset2 = {};  // written as "offset2"
};

class ProblemLog {
public:
    static constexpr std::size_t kLimit = 1000;
    // Longer element names are cut in the log, so one problem cannot blow it up.
    static constexpr std::size_t kMaxTagName = 200;

    explicit ProblemLog(std::string& log) : log_(log) {}

    // Appends the problem while the log is still shorter than kLimit bytes.
    void Add(const Problem& problem);

private:
    void AppendAttribute(std::string_view name, std::string_view value);

    std::string& log_;
};

}  // namespace xml_detail
