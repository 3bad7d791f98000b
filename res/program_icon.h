// The program icon: resource 128, one image the window uses as its big icon (32 x 32) and one
// as its small icon (16 x 16), both PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace res {

constexpr int IDR_MAINFRAME = 128;

struct Icon {
    std::span<const std::uint8_t> big;
    std::span<const std::uint8_t> small;
};

// The icon resource `id`; nothing for an id the program does not carry.
std::optional<Icon> LoadIconResource(int id);

}  // namespace res
