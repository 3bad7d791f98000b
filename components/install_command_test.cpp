#include "components/install_command.h"

#include <gtest/gtest.h>

namespace components {
namespace {

TEST(BuildInstallCommand, PutsTheQuotedPathInPlaceOfEveryPlaceholder) {
    const std::string path = "C:\\Temp\\DownTmp\\setup.exe";
    const struct {
        const char* command;
        std::string line;
    } cases[] = {
        {"\"%1\" /S", "\"" + path + "\" /S"},
        {"%1 /S", "\"" + path + "\" /S"},
        {"%1 /log=\"%1\"", "\"" + path + "\" /log=\"" + path + "\""},
        {"msiexec /i %1%1", "msiexec /i \"" + path + "\"\"" + path + "\""},
        {"setup.exe /quiet", "setup.exe /quiet"},
        {"%2 %", "%2 %"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildInstallCommand(c.command, path), c.line) << c.command;
    }
}

TEST(BuildInstallCommand, InsertedPathIsNotSearchedForPlaceholders) {
    EXPECT_EQ(BuildInstallCommand("\"%1\" %1", "C:\\%1\\a.exe"),
              "\"C:\\%1\\a.exe\" \"C:\\%1\\a.exe\"");
}

}  // namespace
}  // namespace components
