#include "app/console_page.h"

#include <array>
#include <nlohmann/json.hpp>

namespace nestora {
namespace {

constexpr std::int32_t kDisabled = 0x40000000;
constexpr std::uint32_t kKeyAbsent = 0x80000000u;
const std::string kUpToDate = "已安装最新版本";
const std::string kUpgradable = "已安装，但有更新版本";
const std::string kMissing = "未安装";
const std::string kVerdictOk =
    "恭喜您，您的电脑已达到使用我行网上银行的环境配置要求，可以放心使用！";
const std::string kVerdictBad =
    "对不起，您的电脑可能不符合我行网上银行的环境配置要求，请立即进行修复！";

const std::map<int, std::string> kStatusText = {
    {1, "安装完毕"},
    {2, "正在下载"},
    {3, "正在安装"},
    {1002, "正在检测注册表"},
    {1003, "正在检测Host文件"},
    {1004, "正在检测根证书"},
    {1005, "正在检测网络连接"},
    {1006, "正在检测DNS设置"},
    {1007, "正在检测网银服务"},
    {1009, "正在检测主页设置"},
    {1010, "正在检测安全级别设置"},
    {1011, "正在检测可信站点"},
    {1013, "正在检测网络代理设置"},
    {1999, "检测完毕"},
    {2002, "正在修复注册表"},
    {2003, "正在修复Host文件"},
    {2004, "正在修复根证书"},
    {2009, "正在修复主页设置"},
    {2010, "正在修复安全级别设置"},
    {2011, "正在修复可信站点"},
    {2999, "修复完毕"},
};

constexpr std::array<const char*, 8> kOsNames = {
    "Windows 8",           "Windows 7",  "Windows Vista", "Windows Server 2008",
    "Windows Server 2003", "Windows XP", "Windows 2000",  "Windows 10"};

const std::map<std::string, std::string> kLabels = {
    {".status_check", "状态"},
    {".status_result", "检测结果"},
    {".c1", "操作系统版本"},
    {".c2", "注册表"},
    {".c3", "Host文件"},
    {".c4", "CFCA根证书"},
    {".c5", "网络连接"},
    {".c6", "DNS解析"},
    {".c7", "网银服务"},
    {".c8", "IE版本"},
    {".c9", "禁止修改IE浏览器首页"},
    {".c10", "IE安全级别"},
    {".c11", "网银可信站点加入"},
    {".i1", "密码输入控件"},
    {".i2", "签名控件"},
    {".i3", "USBKey驱动（检测页）"},
    {"#i3", "USBKey驱动（安装页）"},
    {"#k3", "USBKey驱动版本"},
    {"#keytype", "USBKey类型"},
    {"#usbkeysn", "USBKey"},
    {"#drivers", "USBKey驱动行（检测页）"},
    {"#usbdriver", "USBKey驱动行（安装页）"},
    {"#f2", "注册表"},
    {"#f3", "Host文件"},
    {"#f4", "CFCA根证书"},
    {"#f9", "禁止修改IE浏览器首页"},
    {"#f10", "IE安全级别"},
    {"#f11", "网银可信站点加入"},
    {"#d1", "密码输入控件（安装页）"},
    {"#d2", "签名控件（安装页）"},
    {"#d6", "密码输入控件（检测页）"},
    {"#d7", "签名控件（检测页）"},
    {"#d3", "USBKey驱动（安装页）"},
    {"#d8", "USBKey驱动（检测页）"},
};

bool IsNumber(const PageArg& value) {
    return std::holds_alternative<std::int32_t>(value);
}
std::int32_t Number(const PageArg& value) {
    return std::get<std::int32_t>(value);
}

std::string OsDisplayName(const std::string& text) {
    for (const char* name : kOsNames) {
        if (text.find(name) != std::string::npos)
            return name;
    }
    return text;
}

std::string Label(const std::string& element) {
    const auto it = kLabels.find(element);
    if (it != kLabels.end())
        return it->second;
    return element;
}

}  // namespace

ConsolePage::ConsolePage(std::function<void(const std::string&)> print) : print_(std::move(print)) {
    elements_[".status_check"] = PageElement{"正在获取配置", "", "", ""};
    elements_[".status_result"] = PageElement{};
    elements_["#keytype"] = PageElement{"飞天诚信", "", "", ""};
}

void ConsolePage::Load(int userType) {
    SetState(0, 0, 1);
    SetState(0, 1, 1);
    ShowKeyRows(userType);
}

void ConsolePage::ChooseInGuide(int userType) {
    guideRequested_ = false;
    ShowKeyRows(userType);
}

bool ConsolePage::Call(std::string_view function, const std::vector<PageArg>& arguments) {
    if (function == "showguide") {
        guideRequested_ = true;
        return true;
    }
    if (function == "setState" && arguments.size() >= 3 && IsNumber(arguments[0]) &&
        IsNumber(arguments[1])) {
        SetState(Number(arguments[0]), Number(arguments[1]), arguments[2]);
        return true;
    }
    if (function == "clearState" && arguments.size() >= 2 && IsNumber(arguments[0]) &&
        IsNumber(arguments[1])) {
        ClearState(Number(arguments[0]), Number(arguments[1]));
        return true;
    }
    return function == "setState" || function == "clearState";
}

void ConsolePage::SetState(int category, int item, const PageArg& value) {
    const std::string key = std::to_string(category) + "/" + std::to_string(item);
    if (!state_.count(key))
        order_.push_back(key);
    state_[key] = value;
    if (category == 0)
        SetOverall(item, value);
    else if (category == 1)
        SetEnvironment(item, value);
    else if (category == 2 && IsNumber(value))
        (item == 1 || item == 2)   ? SetControl(item, Number(value))
        : (item >= 3 && item <= 5) ? SetKey(item, Number(value))
                                   : void();
    else if (category >= 800 && category <= 802)
        SetUsbKey(category, item, value);
}

void ConsolePage::SetOverall(int item, const PageArg& value) {
    if (!IsNumber(value))
        return;
    const std::int32_t number = Number(value);
    if ((item == 0 || item == 1) && number >= 0 && number <= 100) {
        progress_ = number;
        elements_[".pc"].text = std::to_string((number * 233 + 50) / 100);
    } else if (item == 2) {
        const auto it = kStatusText.find(number);
        if (it == kStatusText.end())
            return;
        PageElement status = elements_[".status_check"];
        status.text = it->second;
        Write(".status_check", status);
    } else if (item == 3) {
        verdict_ = number;
        Show(".status_result", number == 0 ? kVerdictOk : kVerdictBad, number == 0);
    }
}

void ConsolePage::SetEnvironment(int item, const PageArg& value) {
    const std::string cell = ".c" + std::to_string(item);
    if (item == 1 || item == 8) {
        if (!IsNumber(value)) {
            const std::string& text = std::get<std::string>(value);
            Write(cell, PageElement{item == 1 ? OsDisplayName(text) : text, elements_[cell].colour,
                                    "", ""});
        }
    } else if (item == 2 || item == 3 || item == 4 || item == 9 || item == 10 || item == 11) {
        if (!IsNumber(value))
            return;
        Show(cell, Number(value) == 0 ? "正常" : "不正常", Number(value) == 0);
        if (Number(value) == 0)
            Empty("#f" + std::to_string(item));
        else
            PutButton("#f" + std::to_string(item), "修复", "fix", item);
    } else if (item == 5 || item == 6 || item == 7) {
        if (IsNumber(value))
            Show(cell, Number(value) == 0 ? "正常" : "不正常", Number(value) == 0);
        else if (item != 5)
            Show(cell, std::get<std::string>(value), true);
    }
}

void ConsolePage::SetControl(int item, std::int32_t value) {
    const std::string state = ".i" + std::to_string(item);
    const std::string installCell = "#d" + std::to_string(item);
    const std::string scanCell = "#d" + std::to_string(item + 5);
    if (value & kDisabled) {
        Show(state, "已被禁用", false);
        Empty(installCell);
        return;
    }
    switch (value & 0x3FFFFFFF) {
        case 0:
            Show(state, kUpToDate, true);
            Empty(installCell);
            PutButton(scanCell, "卸载", "uninstall", item);
            break;
        case 2:
            Show(state, kUpgradable, false);
            PutButton(installCell, "升级", "install", item);
            break;
        case 5:
            Show(state, kMissing, false);
            PutButton(installCell, "安装", "install", item);
            PutButton(scanCell, "安装", "install", item);
            break;
        case 6:
            Show(state, kMissing, false);
            Empty(installCell);
            Empty(scanCell);
            break;
        default:
            break;
    }
}

void ConsolePage::SetKey(int item, std::int32_t value) {
    KeyRecord& record = keys_[item - 3];
    record.inserted = (static_cast<std::uint32_t>(value) & kKeyAbsent) == 0;
    value &= 0x0FFFFFFF;
    record.value = value;
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = "#key_" + std::to_string(800 + i) + "_";
        Write(prefix + "1", PageElement{keys_[i].inserted ? "√" : "×", "", "", ""});
        const std::map<int, std::string> driver = {{0, "已安装"}, {2, "有升级"}, {5, "未安装"}};
        if (const auto it = driver.find(keys_[i].value); it != driver.end())
            Write(prefix + "2", PageElement{it->second, "", "", ""});
    }
    if (value == 0) {
        Show("#i3", kUpToDate, true);
        Empty("#d3");
        PutButton("#d8", "卸载", "uninstall", item);
        Show(".i3", kUpToDate, true);
    } else if (value == 2) {
        Show("#i3", kUpgradable, false);
        PutButton("#d3", "升级", "install", item);
        PutButton("#d8", "升级", "install", item);
        Show(".i3", kUpgradable, false);
    } else if (value == 5 || value == 6) {
        Show("#i3", kMissing, false);
        if (value == 5 && record.inserted) {
            PutButton("#d3", "安装", "install", item);
            PutButton("#d8", "安装", "install", item);
        } else {
            Empty("#d3");
            Empty("#d8");
        }
        Show(".i3", record.inserted ? kMissing : "未检测到", !record.inserted);
    }
}

void ConsolePage::SetUsbKey(int category, int item, const PageArg& value) {
    static const std::map<int, std::string> kMakers = {{800, "海泰"}, {801, "坚石"}, {802, "飞天"}};
    static const std::map<int, std::pair<std::string, std::string>> kDetails = {
        {3, {"完整", "不完整"}},
        {4, {"没有锁定", "已被锁定"}},
        {5, {"已修改过", "默认密码"}},
        {7, {"已经注册", "没有注册"}}};
    const std::string cell = "#key_" + std::to_string(category) + "_" + std::to_string(item);
    if (item == 2 && !IsNumber(value)) {
        PageElement serials = elements_["#usbkeysn"];
        serials.text +=
            " USBKey(" + kMakers.at(category) + ")  序列号：" + std::get<std::string>(value) + " ;";
        Write("#usbkeysn", serials);
    } else if (kDetails.count(item) && IsNumber(value)) {
        const auto& texts = kDetails.at(item);
        Write(cell, PageElement{Number(value) == 0 ? texts.first : texts.second, "", "", ""});
    } else if (item == 6 && IsNumber(value)) {
        Write(cell, PageElement{std::to_string(Number(value)) + "个", "", "", ""});
    } else if (item == 8 && !IsNumber(value)) {
        Show("#k" + std::to_string(category - 797), "当前驱动版本：" + std::get<std::string>(value),
             true);
    }
}

void ConsolePage::ClearState(int category, int item) {
    if (category < 800 || category > 803)
        return;
    if (item == 2) {
        Empty("#usbkeysn");
    } else if (item >= 3 && item <= 7) {
        if (item <= 5)
            Empty("#k" + std::to_string(item));
        Write("#key_" + std::to_string(category) + "_" + std::to_string(item),
              PageElement{" ", "", "", ""});
    }
}

void ConsolePage::ShowKeyRows(int userType) {
    const bool shown = userType == 1 || userType == 2;
    for (const char* row : {"#drivers", "#usbdriver"})
        Write(row, PageElement{shown ? "显示" : "隐藏", "", "", ""});
    if (shown)
        Write("#keytype", PageElement{userType == 1 ? "飞天一代Key" : "飞天二代Key", "", "", ""});
}

void ConsolePage::Write(const std::string& element, PageElement value) {
    PageElement& current = elements_[element];
    if (current == value)
        return;
    current = std::move(value);
    if (element == ".status_check") {
        print_("[" + std::to_string(progress_) + "%] " + current.text);
        return;
    }
    if (element.starts_with("#key_") || element == ".pc")
        return;
    std::string line = "  " + Label(element) + "：";
    if (!current.buttonLabel.empty())
        line += "[" + current.buttonLabel + "] → " + current.button;
    else
        line += current.text.empty() ? "（空）" : current.text;
    print_(line);
}

void ConsolePage::Show(const std::string& element, const std::string& text, bool blue) {
    Write(element, PageElement{text, blue ? "blue" : "orange", "", ""});
}

void ConsolePage::PutButton(const std::string& element, const std::string& label,
                            const std::string& method, int item) {
    Write(element, PageElement{label, "blue", method + "(" + std::to_string(item) + ")", label});
}

void ConsolePage::Empty(const std::string& element) {
    if (elements_.count(element))
        Write(element, PageElement{});
}

std::string ConsolePage::ToJson() const {
    nlohmann::ordered_json state = nlohmann::ordered_json::object();
    for (const std::string& key : order_) {
        const PageArg& value = state_.at(key);
        if (IsNumber(value))
            state[key] = Number(value);
        else
            state[key] = std::get<std::string>(value);
    }
    nlohmann::ordered_json elements = nlohmann::ordered_json::object();
    for (const auto& [name, element] : elements_) {
        nlohmann::ordered_json entry = {{"text", element.text}};
        entry["colour"] = element.colour.empty() ? nlohmann::ordered_json(nullptr)
                                                 : nlohmann::ordered_json(element.colour);
        if (!element.button.empty())
            entry["button"] = element.button;
        elements[name] = entry;
    }
    nlohmann::ordered_json json = {{"state", state}, {"elements", elements}};
    json["verdict"] =
        verdict_ ? nlohmann::ordered_json(*verdict_) : nlohmann::ordered_json(nullptr);
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace nestora
