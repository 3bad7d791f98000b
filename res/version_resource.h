// The program's version resource, as the bytes a program file carries: the fixed record with the
// file and product versions and a string table with the file description.
#pragma once

#include <cstddef>
#include <span>

namespace res {

std::span<const unsigned char> VersionResourceBytes();

}  // namespace res
