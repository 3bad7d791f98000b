#include "dialog/prompts.h"

#include <gtest/gtest.h>

#include <optional>

#include "dialog/dialog_host.h"

namespace nestora {
namespace {

// Records the one prompt it is asked to show and answers with `answer`.
class PromptHost : public DialogHost {
public:
    void SetTimer(int, unsigned) override {}
    void KillTimer(int) override {}
    void PostToUi(std::function<void()>) override {}
    win::HRESULT CallPageFunction(std::string_view, const std::vector<PageArg>&) override {
        return win::S_OK;
    }
    int ShowTaskDialog(const TaskDialogRequest& request) override {
        task = request;
        return answer;
    }
    int ShowMessageBox(const MessageBoxRequest& request) override {
        box = request;
        return answer;
    }
    void PostClose() override {}
    void PostQuitMessage(int) override {}

    int answer = IDYES;
    std::optional<TaskDialogRequest> task;
    std::optional<MessageBoxRequest> box;
};

TEST(Prompts, ChoiceIsATaskDialogWithTwoCommandLinks) {
    PromptHost host;
    EXPECT_EQ(Prompts(host, true).AskChoice(145, 146, 147, 148), IDYES);
    ASSERT_TRUE(host.task);
    EXPECT_EQ(host.task->title, "汀岚银行网银助手");
    EXPECT_EQ(host.task->instruction, "下载发生错误");
    EXPECT_EQ(host.task->content, "下载失败，是否继续下一个");
    ASSERT_EQ(host.task->commandLinks.size(), 2u);
    EXPECT_EQ(host.task->commandLinks[0], std::make_pair(IDYES, std::string("继续下载下一项")));
    EXPECT_EQ(host.task->commandLinks[1], std::make_pair(IDNO, std::string("停止下载")));
}

TEST(Prompts, WithoutTaskDialogsTheContentGoesIntoAMessageBox) {
    PromptHost host;
    host.answer = IDNO;
    EXPECT_EQ(Prompts(host, false).AskChoice(139, 142, 143, 144), IDNO);
    EXPECT_FALSE(host.task);
    ASSERT_TRUE(host.box);
    EXPECT_EQ(host.box->text, "应用程序有更新，并且已经下载完毕\n是否立即应用更新");
    EXPECT_EQ(host.box->caption, "汀岚银行网银助手");
    EXPECT_EQ(host.box->kind, MessageBoxKind::YesNo);

    host.answer = 0;
    EXPECT_EQ(Prompts(host, false).ShowNotice(149, 150), 0);
    EXPECT_EQ(host.box->text, "安装失败，是否继续下一个");
    EXPECT_EQ(host.box->kind, MessageBoxKind::OkInformation);
}

}  // namespace
}  // namespace nestora
