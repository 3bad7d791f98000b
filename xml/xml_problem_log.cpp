#include "xml/xml_problem_log.h"

namespace xml_detail {
namespace {

// Names come from the document and may hold any byte; escape what would break the log.
void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace

void ProblemLog::Add(const Problem& problem) {
    if (log_.size() >= kLimit) {
        return;
    }
    log_ += '<';
    log_ += problem.name;
    if (!problem.tagName.empty()) {
        AppendAttribute("tagname", problem.tagName.substr(0, kMaxTagName));
    }
    if (!problem.type.empty()) {
        AppendAttribute("type", problem.type);
    }
    if (problem.offset) {
        AppendAttribute("offset", std::to_string(*problem.offset));
    }
    if (problem.offset2) {
        AppendAttribute("offset2", std::to_string(*problem.offset2));
    }
    log_ += "/>";
}

void ProblemLog::AppendAttribute(std::string_view name, std::string_view value) {
    log_ += ' ';
    log_ += name;
    log_ += "=\"";
    AppendEscaped(log_, value);
    log_ += '"';
}

}  // namespace xml_detail
