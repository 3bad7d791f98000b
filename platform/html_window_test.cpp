#include "platform/html_window.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(ScriptStringLiteral, EscapesWhatWouldEndOrBreakTheLiteral) {
    const struct {
        const char* text;
        const char* literal;
    } cases[] = {
        {"", "\"\""},
        {"plain", "\"plain\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"</script>", "\"\\x3c/script>\""},
        {"line\nbreak\t", "\"line\\x0abreak\\x09\""},
        {"汀岚银行", "\"汀岚银行\""},
        {"bad \xff byte", "\"bad \xef\xbf\xbd byte\""},
        {"cut \xe6\xb1", "\"cut \xef\xbf\xbd\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScriptStringLiteral(c.text), c.literal) << c.text;
}

}  // namespace
}  // namespace platform
