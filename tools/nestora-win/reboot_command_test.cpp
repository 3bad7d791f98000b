#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/files.h"
#include "tests/support/temp_sandbox.h"

namespace {

TEST(RebootCommand, AppliesDelayedMovesInOrderAndClearsThem) {
    nestora_test::TempSandbox sandbox;
    platform::FileSystem& files = *sandbox.Context().files;
    // A self-update that could not replace the running program: the old copy is deleted and
    // the new one moved into place at the next start.
    ASSERT_TRUE(files.CreateDirectory("C:\\Bank"));
    ASSERT_TRUE(files.WriteFile("C:\\Bank\\app.exe", "old"));
    ASSERT_TRUE(files.WriteFile("C:\\Bank\\app.exe.new", "new"));
    ASSERT_TRUE(files.MoveFileEx("C:\\Bank\\app.exe", "", platform::MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(files.MoveFileEx("C:\\Bank\\app.exe.new", "C:\\Bank\\app.exe",
                                 platform::MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(files.MoveFileEx("C:\\Bank\\missing", "", platform::MOVEFILE_DELAY_UNTIL_REBOOT));

    std::string output;
    EXPECT_EQ(sandbox.RunNestoraWin({"reboot"}, &output), 1) << output;  // one move failed
    EXPECT_EQ(output,
              "delete C:\\Bank\\app.exe: done\n"
              "move C:\\Bank\\app.exe.new -> C:\\Bank\\app.exe: done\n"
              "delete C:\\Bank\\missing: failed (error 2)\n");
    std::string bytes;
    ASSERT_TRUE(files.ReadFile("C:\\Bank\\app.exe", bytes));
    EXPECT_EQ(bytes, "new");
    EXPECT_FALSE(files.PathFileExists("C:\\Bank\\app.exe.new"));
    EXPECT_TRUE(files.GetPendingMoves().empty());

    EXPECT_EQ(sandbox.RunNestoraWin({"reboot"}, &output), 0);
    EXPECT_EQ(output, "no pending file operations\n");
}

}  // namespace
