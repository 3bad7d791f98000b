#include "res/program_icon.h"

#include <cstddef>

namespace res {

extern const std::uint8_t kProgramIconBig[];
extern const std::uint8_t kProgramIconSmall[];
extern const std::size_t kProgramIconBigSize;
extern const std::size_t kProgramIconSmallSize;

std::optional<Icon> LoadIconResource(int id) {
    if (id != IDR_MAINFRAME)
        return std::nullopt;
    return Icon{{kProgramIconBig, kProgramIconBigSize}, {kProgramIconSmall, kProgramIconSmallSize}};
}

}  // namespace res
