#include "app/console_page.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace nestora {
namespace {

class ConsolePageTest : public ::testing::Test {
protected:
    ConsolePage page_{[this](const std::string& line) { lines_.push_back(line); }};
    std::vector<std::string> lines_;

    nlohmann::json Element(const std::string& name) {
        return nlohmann::json::parse(page_.ToJson())["elements"][name];
    }
    void Set(int category, int item, PageArg value) {
        ASSERT_TRUE(page_.Call("setState", {category, item, std::move(value)}));
    }
};

TEST_F(ConsolePageTest, StatusCodesTheTableDoesNotListLeaveTheLineAlone) {
    Set(0, 2, 1999);
    Set(0, 2, 1000);
    EXPECT_EQ(Element(".status_check")["text"], "检测完毕");
    Set(0, 2, 42);
    EXPECT_EQ(Element(".status_check")["text"], "检测完毕");
}

TEST_F(ConsolePageTest, VerdictIsBlueOnlyForZero) {
    Set(0, 3, 2);
    EXPECT_EQ(Element(".status_result")["colour"], "orange");
    EXPECT_EQ(page_.Verdict(), 2);
    Set(0, 3, 0);
    EXPECT_EQ(Element(".status_result")["colour"], "blue");
    EXPECT_EQ(Element(".status_result")["text"],
              "恭喜您，您的电脑已达到使用我行网上银行的环境配置要求，可以放心使用！");
}

TEST_F(ConsolePageTest, EnvironmentItems) {
    Set(1, 1, std::string("Windows 8.1 Pro"));
    EXPECT_EQ(Element(".c1")["text"], "Windows 8");
    Set(1, 1, std::string("Windows 10 Pro"));
    EXPECT_EQ(Element(".c1")["text"], "Windows 10");
    Set(1, 6, std::string("汀岚DNS"));
    EXPECT_EQ(Element(".c6")["text"], "汀岚DNS");
    EXPECT_EQ(Element(".c6")["colour"], "blue");
    Set(1, 3, 1);
    EXPECT_EQ(Element(".c3")["text"], "不正常");
    EXPECT_EQ(Element("#f3")["button"], "fix(3)");
    Set(1, 3, 0);
    EXPECT_EQ(Element("#f3")["text"], "");
    EXPECT_FALSE(Element("#f3").contains("button"));
}

TEST_F(ConsolePageTest, ComponentStates) {
    Set(2, 1, 0x40000000 | 2);
    EXPECT_EQ(Element(".i1")["text"], "已被禁用");
    Set(2, 1, 0);
    Set(2, 1, 2);
    EXPECT_EQ(Element("#d6")["button"], "uninstall(1)");  // the uninstall button stays
    EXPECT_EQ(Element("#d1")["button"], "install(1)");
    Set(2, 3, static_cast<std::int32_t>(0x80000000u | 5));
    EXPECT_EQ(Element(".i3")["text"], "未检测到");
    EXPECT_EQ(Element(".i3")["colour"], "blue");
    EXPECT_TRUE(Element("#d3").is_null() || !Element("#d3").contains("button"));
    EXPECT_TRUE(Element("#d8").is_null() || !Element("#d8").contains("button"));
}

TEST_F(ConsolePageTest, ClearStatePicksTheVersionCellByItem) {
    Set(800, 8, std::string("1.2.3"));
    EXPECT_EQ(Element("#k3")["text"], "当前驱动版本：1.2.3");
    ASSERT_TRUE(page_.Call("clearState", {801, 3}));
    EXPECT_EQ(Element("#k3")["text"], "");
}

TEST_F(ConsolePageTest, StateKeepsTheLastValueOfEachItem) {
    Set(0, 3, 1);
    Set(1, 6, std::string("名"));
    Set(0, 3, 0);
    const auto json = nlohmann::json::parse(page_.ToJson());
    EXPECT_EQ(json["state"]["0/3"], 0);
    EXPECT_EQ(json["state"]["1/6"], "名");
    EXPECT_EQ(json["verdict"], 0);
    EXPECT_FALSE(page_.Call("alert", {}));
}

}  // namespace
}  // namespace nestora
