#include "widgets/ClockView.h"

#include "widgets/Faces.h"

#include <algorithm>

namespace larkspire {

using faces::white;

RenderedView ClockView::render() const {
    double s = state.scale();
    RenderedView view;

    FontDescription dayFont{.size = 340 * s, .weight = FontWeight::medium, .compressed = true};
    auto dayText = clock.format("dd");
    auto day = metrics.measure(dayText, dayFont);
    // The digits' own top lies well below the line's, so the layer moves up. Fonts with less room
    // above their digits would lose the top of them, so the whole face moves down by what sticks out.
    double digitTop = day.ascent - 0.74 * dayFont.size;
    double inset = std::max(0.0, 78 * s - digitTop);
    double dayTop = inset - 78 * s;
    double dayHeight = day.ascent + day.descent;
    view.items.push_back(
        Text{.text = dayText,
             .origin = {0, dayTop + day.ascent},
             .font = dayFont,
             .gradient = faces::topToBottom(dayTop, dayTop + dayHeight, white(0.55), white(0.12))});

    double left = 112 * s, top = inset + 190 * s;
    FontDescription monthFont{.size = 104 * s, .weight = FontWeight::light, .compressed = true};
    auto monthText = faces::uppercased(clock.format("MMMM"));
    auto month = metrics.measure(monthText, monthFont);
    double monthHeight = month.ascent + month.descent;
    view.items.push_back(
        Text{.text = monthText,
             .origin = {left, top + month.ascent},
             .font = monthFont,
             .gradient = faces::topToBottom(top, top + monthHeight, white(0.8), white(0.35))});

    FontDescription rowFont{.size = 34 * s, .weight = FontWeight::regular, .compressed = true};
    auto timeText = clock.format("HH:mm");
    auto weekdayText = faces::uppercased(clock.format("EEEE"));
    auto time = metrics.measure(timeText, rowFont);
    auto weekday = metrics.measure(weekdayText, rowFont);
    double textHeight = std::max(time.ascent + time.descent, weekday.ascent + weekday.descent);
    double rowHeight = std::max(textHeight, 24 * s);
    double rowTop = top + monthHeight - 12 * s;  // the lines overlap
    double rowLeft = left + 4 * s;
    auto rowFill = faces::topToBottom(rowTop, rowTop + rowHeight, white(0.85), white(0.6));
    double ascent = std::max(time.ascent, weekday.ascent);
    double baseline = rowTop + (rowHeight - textHeight) / 2 + ascent;
    view.items.push_back(
        Text{.text = timeText, .origin = {rowLeft, baseline}, .font = rowFont, .gradient = rowFill});
    double barLeft = rowLeft + time.width + 12 * s;
    view.items.push_back(RoundedRect{.rect = {barLeft, rowTop + (rowHeight - 24 * s) / 2, 2 * s, 24 * s},
                                     .cornerRadius = 0,
                                     .fill = Fill(rowFill)});
    double weekdayLeft = barLeft + 2 * s + 12 * s;
    view.items.push_back(
        Text{.text = weekdayText, .origin = {weekdayLeft, baseline}, .font = rowFont, .gradient = rowFill});

    double rowWidth = 4 * s + time.width + 12 * s + 2 * s + 12 * s + weekday.width;
    view.width = std::max(day.width, left + std::max(month.width, rowWidth));
    view.height = std::max(dayTop + dayHeight, rowTop + rowHeight);
    return view;
}

std::vector<std::shared_ptr<void>> ClockView::observe(Signal::Handler handler) {
    return {clock.observe(handler), state.observeScale(handler)};
}

}  // namespace larkspire
