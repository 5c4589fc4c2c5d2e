#include "platform/sim/SimShell.h"

namespace larkspire::sim {

bool SimStatusItem::choose(const std::string& title) {
    for (const auto& item : openMenu()) {
        if (item.title != title || item.isSeparator || !item.enabled || !item.action) continue;
        item.action(item);
        return true;
    }
    return false;
}

std::unique_ptr<StatusItem> SimStatusBar::createStatusItem() {
    auto created = std::make_unique<SimStatusItem>();
    item = created.get();
    return created;
}

void SimSettingsWindow::selectTab(int index) {
    selected = index;
    if (onSelect) onSelect(index);
}

std::unique_ptr<SettingsWindow>
SimSettingsWindows::createSettingsWindow(const std::vector<SettingsTab>& tabs) {
    auto made = std::make_unique<SimSettingsWindow>();
    made->tabs = tabs;
    window = made.get();
    ++created;
    return made;
}

TextSize SimTextMetrics::measure(std::string_view text, const FontDescription& font) const {
    ++measurements;
    std::size_t characters = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++characters;  // count UTF-8 lead bytes only
    double em = font.compressed ? 0.5 : 0.6;
    if (font.weight >= FontWeight::bold) em *= 1.05;
    return TextSize{.width = static_cast<double>(characters) * em * font.size,
                    .ascent = 0.8 * font.size,
                    .descent = 0.2 * font.size};
}

}  // namespace larkspire::sim
