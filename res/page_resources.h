// The page's files built into the program: the page, its style, scripts and pictures, by their
// names relative to the page folder ("index.html", "images/sps.gif").
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace nestora {

struct PageResource {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

// Every file of the page folder, as the build embedded it.
std::span<const PageResource> PageResourceTable();

// The bytes of the named file, names compared without regard to case; they stay valid for the
// whole run. Nothing when the page has no such file.
std::optional<std::string_view> FindPageResource(std::string_view name);

}  // namespace nestora
