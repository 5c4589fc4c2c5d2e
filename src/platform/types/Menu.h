#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

struct MenuItem;
using MenuAction = std::function<void(const MenuItem& sender)>;

// One entry of a menu as the core decides it; the shell draws it and calls `action` when chosen.
struct MenuItem {
    std::string title;
    std::string image;  // a named system image; empty for none
    bool enabled = true;
    bool checked = false;
    bool isSeparator = false;
    MenuAction action;  // empty: the item does nothing
    std::int64_t tag = 0;
    std::optional<std::string> representedObject;
    std::string keyEquivalent;  // with Command; empty for none

    static MenuItem separator() { return MenuItem{.isSeparator = true}; }
    static MenuItem heading(std::string title) {
        return MenuItem{.title = std::move(title), .enabled = false};
    }
};

using Menu = std::vector<MenuItem>;

}  // namespace larkspire
