#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> expected;
};

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    const SplitCase cases[] = {
        {"", {}},
        {"   ", {}},
        {"prog", {"prog"}},
        {"prog a b", {"prog", "a", "b"}},
        {"prog  \t a\t\tb  ", {"prog", "a", "b"}},
        {R"("C:\Program Files\x.exe" /s)", {R"(C:\Program Files\x.exe)", "/s"}},
        // Backslashes in the program name are literal, even before its closing quote.
        {R"("C:\dir\" a)", {R"(C:\dir\)", "a"}},
        {R"(p "a b" c)", {"p", "a b", "c"}},
        {R"(p a"b c"d)", {"p", "ab cd"}},
        {R"(p "")", {"p", ""}},
        {R"(p a\\b)", {"p", R"(a\\b)"}},
        {R"(p a\"b)", {"p", R"(a"b)"}},
        {R"(p a\\"b c")", {"p", R"(a\b c)"}},
        {R"(p a\\\"b)", {"p", R"(a\"b)"}},
        {R"(p "a\\" b)", {"p", R"(a\)", "b"}},
        {R"(p "a""b" c)", {"p", R"(a"b)", "c"}},
        {R"(p "unterminated arg)", {"p", "unterminated arg"}},
        {R"(regsvr32 /u /s "%SystemRoot%\SysWOW64\a b.dll")",
         {"regsvr32", "/u", "/s", R"(%SystemRoot%\SysWOW64\a b.dll)"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
    }
}

TEST(ProgramToken, GivesTheRestAfterTheProgram) {
    std::string_view rest;
    EXPECT_EQ(ProgramToken(R"(  "C:\a b\c.exe"   /x "y")", &rest), R"(C:\a b\c.exe)");
    EXPECT_EQ(rest, R"(/x "y")");
    EXPECT_EQ(ProgramToken("cmd /c del x", &rest), "cmd");
    EXPECT_EQ(rest, "/c del x");
    EXPECT_EQ(ProgramToken("alone", &rest), "alone");
    EXPECT_EQ(rest, "");
}

TEST(QuoteArgument, RoundTripsThroughSplit) {
    const std::vector<std::string> arguments = {"prog",
                                                "plain",
                                                "with blank",
                                                "",
                                                R"(quote"inside)",
                                                R"(ends\)",
                                                R"(ends in\ blank\)",
                                                R"(a\\"b)",
                                                "tab\there"};
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(arguments)), arguments);
    EXPECT_EQ(QuoteArgument("plain"), "plain");
    EXPECT_EQ(QuoteArgument(R"(a b\)"), R"("a b\\")");
}

}  // namespace
}  // namespace platform
