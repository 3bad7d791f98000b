#include "res/page_resources.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace nestora {
namespace {

const std::filesystem::path kPageDir = NESTORA_PAGE_DIR_FOR_TESTS;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(PageResources, HoldEveryFileOfThePageFolderByteForByte) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kPageDir)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        const std::string name = entry.path().lexically_relative(kPageDir).generic_string();
        const std::optional<std::string_view> bytes = FindPageResource(name);
        ASSERT_TRUE(bytes) << name;
        EXPECT_EQ(*bytes, ReadFile(entry.path())) << name;
    }
    EXPECT_EQ(PageResourceTable().size(), files);
    EXPECT_GT(files, 3u);
}

TEST(PageResources, NamesAreComparedWithoutRegardToCase) {
    for (const char* name :
         {"IMAGES/SPS.GIF", "Images/Sps.Gif", "JS/JQUERY.MIN.JS", "INDEX.HTML"}) {
        const auto bytes = FindPageResource(name);
        ASSERT_TRUE(bytes) << name;
        EXPECT_FALSE(bytes->empty()) << name;
    }
    EXPECT_EQ(FindPageResource("images/SPS.gif"), FindPageResource("images/sps.gif"));
}

TEST(PageResources, UnknownNamesFindNothing) {
    for (const char* name : {"", "images", "images/", "images/sps", "sps.gif", "../index.html"})
        EXPECT_FALSE(FindPageResource(name)) << name;
}

}  // namespace
}  // namespace nestora
