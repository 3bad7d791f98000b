// Turns the nodes of a document into element records: offsets, nesting and sibling links.
#pragma once

#include <string_view>

#include "xml/xml_element_table.h"
#include "xml/xml_problem_log.h"

namespace xml_detail {

// Fills `table` (already reset, record 0 holding the document length) from `document` and logs
// every problem found. Returns true when no problem made the document ill-formed; the root and
// its siblings are for the caller to judge.
bool BuildElementTable(std::string_view document, ElementTable& table, ProblemLog& log);

}  // namespace xml_detail
