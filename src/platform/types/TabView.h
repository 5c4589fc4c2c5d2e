#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace larkspire {

// A value a control shows and changes; `get` is read on every render.
template <class T> struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

enum class TabColor { primary, secondary, green, orange, red, accent };
enum class TabTextStyle { body, caption, title, heading };
enum class TabButtonStyle { regular, small, link, borderless };

struct TabElement;
using TabElements = std::vector<TabElement>;

// A titled group: the title above, the content in a box filling the tab's width.
struct TabGroup {
    std::string title;
    TabElements content;
};

// Elements side by side; a TabSpacer pushes what follows to the right end.
struct TabRow {
    TabElements items;
    double spacing = 8;
    bool tinted = false;  // on a tinted rounded background
};

// Elements one below the other.
struct TabColumn {
    TabElements items;
    double spacing = 4;
};

struct TabText {
    std::string text;
    TabTextStyle style = TabTextStyle::body;
    TabColor color = TabColor::primary;
    bool semibold = false;
};

// An explanatory text in caption size and the secondary colour.
struct TabHint {
    std::string text;
};

// A switch; changing it calls `isOn.set`, which stores and runs the feature's action.
struct TabSwitch {
    std::string title;
    Binding<bool> isOn;
    bool enabled = true;
    bool indented = false;
};

struct TabButton {
    std::string title;
    std::function<void()> action;
    TabButtonStyle style = TabButtonStyle::regular;
    std::string image;  // a named system image; empty for none
    std::string help;   // tooltip
};

// A button that opens a menu of choices, read afresh each time it opens; choosing one calls `choose`
// with it. With nothing to choose the menu shows `emptyText`, which cannot be chosen.
struct TabMenuButton {
    std::string title;
    std::function<std::vector<std::string>()> choices;
    std::function<void(const std::string&)> choose;
    std::string emptyText;
};

// A dot, green while `flag` is set and orange otherwise, then the text; the button shows only while
// the flag is not set and both a title and an action are given.
struct TabStatusRow {
    bool flag = false;
    std::string text;
    std::string buttonTitle;
    std::function<void()> buttonAction;
};

// A text field; every edit goes through `text.set` as typed.
struct TabTextField {
    Binding<std::string> text;
    std::string placeholder;
};

struct TabImage {
    std::string image;  // a named system image, or "larkspire" for the application icon
    double size = 16;
    TabColor tint = TabColor::primary;
};

struct TabDot {
    TabColor color = TabColor::secondary;
    double opacity = 1.0;
    std::string help;
};

struct TabDivider {};
struct TabSpacer {};

struct TabElement {
    using Content =
        std::variant<TabGroup, TabRow, TabColumn, TabText, TabHint, TabSwitch, TabButton, TabStatusRow,
                     TabTextField, TabImage, TabDot, TabDivider, TabSpacer, TabMenuButton>;
    template <class T>
    TabElement(T element, bool visible = true) : content(std::move(element)), visible(visible) {}

    Content content;
    bool visible = true;  // hidden elements keep their place in the description, so focus survives
};

// One settings tab: a column of elements (usually groups) 16 points apart with a margin of 20 points.
struct TabView {
    TabElements elements;
};

}  // namespace larkspire
