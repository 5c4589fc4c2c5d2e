#include "support/TabReader.h"

#include <algorithm>

namespace larkspire::testing {

void TabReader::collect(const TabElements& elements) {
    for (const auto& element : elements) {
        if (!element.visible) continue;
        const auto& content = element.content;
        if (auto* group = std::get_if<TabGroup>(&content)) {
            texts.push_back(group->title);
            collect(group->content);
        } else if (auto* row = std::get_if<TabRow>(&content)) {
            collect(row->items);
        } else if (auto* column = std::get_if<TabColumn>(&content)) {
            collect(column->items);
        } else if (auto* text = std::get_if<TabText>(&content)) {
            texts.push_back(text->text);
        } else if (auto* hint = std::get_if<TabHint>(&content)) {
            texts.push_back(hint->text);
        } else if (auto* toggle = std::get_if<TabSwitch>(&content)) {
            texts.push_back(toggle->title);
            switches.push_back(toggle);
        } else if (auto* button = std::get_if<TabButton>(&content)) {
            texts.push_back(button->title);
            buttons.push_back(button);
        } else if (auto* status = std::get_if<TabStatusRow>(&content)) {
            texts.push_back(status->text);
            // The button shows only while the flag is not set and both title and action are given.
            if (!status->flag && !status->buttonTitle.empty() && status->buttonAction)
                texts.push_back(status->buttonTitle);
            statusRows.push_back(status);
        } else if (auto* field = std::get_if<TabTextField>(&content)) {
            fields.push_back(field);
        } else if (auto* menu = std::get_if<TabMenuButton>(&content)) {
            texts.push_back(menu->title);
            menuButtons.push_back(menu);
        }
    }
}

bool TabReader::shows(const std::string& text) const {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

const TabSwitch* TabReader::switchTitled(const std::string& title) const {
    for (auto* toggle : switches)
        if (toggle->title == title) return toggle;
    return nullptr;
}

const TabButton* TabReader::buttonTitled(const std::string& title) const {
    for (auto* button : buttons)
        if (button->title == title) return button;
    return nullptr;
}

const TabStatusRow* TabReader::statusRow(const std::string& text) const {
    for (auto* row : statusRows)
        if (row->text == text) return row;
    return nullptr;
}

const TabMenuButton* TabReader::menuButtonTitled(const std::string& title) const {
    for (auto* menu : menuButtons)
        if (menu->title == title) return menu;
    return nullptr;
}

const TabTextField* TabReader::textField() const {
    return fields.empty() ? nullptr : fields.front();
}

}  // namespace larkspire::testing
