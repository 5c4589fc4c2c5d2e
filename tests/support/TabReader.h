#pragma once

#include "platform/types/TabView.h"

#include <string>
#include <vector>

namespace larkspire::testing {

// Reads a tab description as a user reads the window: only visible elements, in order.
class TabReader {
  public:
    explicit TabReader(TabView view) : view(std::move(view)) { collect(this->view.elements); }
    TabReader(const TabReader&) = delete;  // it points into its own description

    // Every visible text, hint, switch title, status text and button title, in order.
    const std::vector<std::string>& lines() const { return texts; }
    bool shows(const std::string& text) const;
    // The visible control of that title; null when there is none.
    const TabSwitch* switchTitled(const std::string& title) const;
    const TabButton* buttonTitled(const std::string& title) const;
    const TabStatusRow* statusRow(const std::string& text) const;
    const TabTextField* textField() const;
    const TabMenuButton* menuButtonTitled(const std::string& title) const;

  private:
    void collect(const TabElements& elements);

    TabView view;
    std::vector<std::string> texts;
    std::vector<const TabSwitch*> switches;
    std::vector<const TabButton*> buttons;
    std::vector<const TabStatusRow*> statusRows;
    std::vector<const TabTextField*> fields;
    std::vector<const TabMenuButton*> menuButtons;
};

}  // namespace larkspire::testing
