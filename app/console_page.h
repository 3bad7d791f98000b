// The page as the console shows it: a model of the elements that the page's script writes
// (text, colour, button), kept exactly as setState, clearState and showguide change them on
// the real page, with every change reported as a readable line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_host.h"

namespace nestora {

struct PageElement {
    std::string text;
    std::string colour;  // "blue", "orange" or "" (none)
    std::string button;  // the call of the button the cell holds, e.g. "fix(2)"; "" for none
    std::string buttonLabel;

    friend bool operator==(const PageElement&, const PageElement&) = default;
};

class ConsolePage {
public:
    // `print` receives one line (without line end) per visible change.
    explicit ConsolePage(std::function<void(const std::string&)> print);

    // The page's own start: bars at 1 percent, the USB-key rows for the user type.
    void Load(int userType);
    // A page function call; false for a function the page does not have.
    bool Call(std::string_view function, const std::vector<PageArg>& arguments);
    // What the guide's choice does on the page (save(index)), before it calls the program.
    void ChooseInGuide(int userType);

    bool GuideRequested() const { return guideRequested_; }
    void ClearGuideRequest() { guideRequested_ = false; }
    std::optional<std::int32_t> Verdict() const { return verdict_; }
    // The final state as JSON text: "state", "elements", "verdict".
    std::string ToJson() const;

private:
    void SetState(int category, int item, const PageArg& value);
    void ClearState(int category, int item);
    void SetOverall(int item, const PageArg& value);
    void SetEnvironment(int item, const PageArg& value);
    void SetControl(int item, std::int32_t value);
    void SetKey(int item, std::int32_t value);
    void SetUsbKey(int category, int item, const PageArg& value);
    void ShowKeyRows(int userType);
    void Write(const std::string& element, PageElement value);
    void Show(const std::string& element, const std::string& text, bool blue);
    void PutButton(const std::string& element, const std::string& label, const std::string& method,
                   int item);
    void Empty(const std::string& element);

    std::function<void(const std::string&)> print_;
    std::map<std::string, PageElement> elements_;
    std::map<std::string, PageArg> state_;
    std::vector<std::string> order_;  // "category/item" in first-write order
    struct KeyRecord {
        bool inserted = false;
        std::int32_t value = 5;
    };
    KeyRecord keys_[3];
    int progress_ = 1;
    bool guideRequested_ = false;
    std::optional<std::int32_t> verdict_;
};

}  // namespace nestora
