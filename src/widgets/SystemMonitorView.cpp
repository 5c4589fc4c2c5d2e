#include "widgets/SystemMonitorView.h"

#include "widgets/Faces.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// GCC 12 sees the variant inside a display item as maybe uninitialised while it grows the list.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace larkspire {

using faces::white;

namespace {

std::string gigabytes(double bytes, NumberMarks marks) {
    double value = std::isfinite(bytes) ? std::clamp(bytes / 1073741824.0, -1e12, 1e12) : 0;
    return decimalNumber(value, 1, marks) + " GB";
}

double fraction(double value) {
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0;
}

}  // namespace

Color SystemMonitorView::temperatureColor(double celsius) {
    if (celsius < 60) return Color{0.55, 0.9, 0.25, 1};
    if (celsius < 80) return Color{1.0, 0.8, 0.0, 1};  // the standard yellow
    return Color{1.0, 0.35, 0.3, 1};
}

RenderedView SystemMonitorView::render() const {
    double s = state.scale();
    double height = 56 * s, radius = 14 * s;
    Shadow shadow{.color = {0, 0, 0, 0.35}, .blur = 2 * s, .offset = {0, 1}};
    FontDescription big{.size = 20 * s, .weight = FontWeight::heavy, .monospacedDigits = true};
    RenderedView view;
    auto& items = view.items;
    // A line of text centred on the pills' middle, starting at `x` (or ending there when right-aligned).
    auto centred = [&](std::string text, double x, const FontDescription& font, Color color,
                       TextAlignment alignment = TextAlignment::left) {
        auto size = metrics.measure(text, font);
        double baseline = (height - size.ascent - size.descent) / 2 + size.ascent;
        items.push_back(Text{.text = std::move(text),
                             .origin = {x, baseline},
                             .font = font,
                             .color = color,
                             .alignment = alignment,
                             .shadow = shadow});
        return size.width;
    };

    // CPU pill: its width depends on the bars and texts, so measure first.
    const auto& loads = stats.coreLoads();
    const auto& clusters = stats.clusters();
    double barsWidth = 0;
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        int count = std::max(0, clusters[i].end - clusters[i].first);
        if (i > 0) barsWidth += 10 * s;
        if (count > 0) barsWidth += count * 7 * s + (count - 1) * 4 * s;
    }
    auto loadText = filled(words.shown("%1 %"), {faces::wholeNumber(stats.totalLoad() * 100)});
    double cpuWidth = metrics.measure("CPU", big).width;
    double loadWidth = std::max(52 * s, metrics.measure(loadText, big).width);
    double pillWidth = 18 * s + barsWidth + 18 * s + cpuWidth + 18 * s + loadWidth + 18 * s;
    items.push_back(
        RoundedRect{.rect = {0, 0, pillWidth, height}, .cornerRadius = radius, .fill = Fill(white(0.14))});

    double cellTop = (height - 30 * s) / 2;
    double x = 18 * s;
    FontDescription labelFont{.size = 7.5 * s, .weight = FontWeight::semibold};
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const auto& cluster = clusters[i];
        if (i > 0) x += 10 * s;
        double groupLeft = x;
        for (int cpu = cluster.first; cpu < cluster.end; ++cpu) {
            if (cpu > cluster.first) x += 4 * s;
            double load = cpu >= 0 && static_cast<std::size_t>(cpu) < loads.size()
                              ? fraction(loads[static_cast<std::size_t>(cpu)])
                              : 0;
            double fill = std::max(3 * s, 30 * s * load);
            items.push_back(RoundedRect{
                .rect = {x, cellTop, 7 * s, 30 * s}, .cornerRadius = 1.5 * s, .fill = Fill(white(0.15))});
            items.push_back(RoundedRect{.rect = {x, cellTop + 30 * s - fill, 7 * s, fill},
                                        .cornerRadius = 1.5 * s,
                                        .fill = Fill(white(0.95)),
                                        .shadow = shadow});
            x += 7 * s;
        }
        if (!cluster.label.empty()) {
            auto size = metrics.measure(cluster.label, labelFont);
            double bottom = cellTop + 30 * s + 11 * s;
            items.push_back(Text{.text = cluster.label,
                                 .origin = {(groupLeft + x) / 2, bottom - size.descent},
                                 .font = labelFont,
                                 .color = white(0.5),
                                 .alignment = TextAlignment::center});
        }
    }
    x += 18 * s;
    x += centred("CPU", x, big, white(1));
    x += 18 * s;
    centred(loadText, x + loadWidth, big, white(1), TextAlignment::right);
    x = pillWidth;

    if (auto celsius = stats.temperature()) {
        x += 18 * s;
        x += centred(faces::wholeNumber(*celsius) + " °C", x, big, temperatureColor(*celsius));
    }
    x += 24 * s;

    double memoryWidth = 300 * s;
    double share = stats.memoryTotal() > 0 ? stats.memoryUsed() / stats.memoryTotal() : 0;
    if (!std::isfinite(share)) share = 0;
    Rect pill{x, 0, memoryWidth, height};
    items.push_back(RoundedRect{.rect = pill, .cornerRadius = radius, .fill = Fill(white(0.14))});
    DisplayGroup gauge{.clip = pill, .clipCornerRadius = radius};
    gauge.items.push_back(
        RoundedRect{.rect = {x, 0, fraction(share) * memoryWidth, height}, .fill = Fill(white(0.18))});
    items.push_back(std::move(gauge));
    centred(filled(words.shown("RAM %1 %"), {faces::wholeNumber(share * 100)}), x + 18 * s, big, white(1));
    x += memoryWidth + 18 * s;

    FontDescription usedFont{.size = 18 * s, .weight = FontWeight::heavy, .monospacedDigits = true};
    FontDescription totalFont{.size = 13 * s, .weight = FontWeight::bold, .monospacedDigits = true};
    auto marks = words.numberMarks();
    auto usedText = gigabytes(stats.memoryUsed(), marks);
    auto totalText = filled(words.shown("von %1"), {gigabytes(stats.memoryTotal(), marks)});
    auto used = metrics.measure(usedText, usedFont), total = metrics.measure(totalText, totalFont);
    double columnTop = (height - (used.ascent + used.descent + 2 * s + total.ascent + total.descent)) / 2;
    items.push_back(Text{.text = usedText,
                         .origin = {x, columnTop + used.ascent},
                         .font = usedFont,
                         .color = white(1),
                         .shadow = shadow});
    items.push_back(Text{.text = totalText,
                         .origin = {x, columnTop + used.ascent + used.descent + 2 * s + total.ascent},
                         .font = totalFont,
                         .color = white(1),
                         .shadow = shadow});
    view.width = x + std::max(used.width, total.width);
    view.height = height;
    return view;
}

std::vector<std::shared_ptr<void>> SystemMonitorView::observe(Signal::Handler handler) {
    return {stats.observe(handler), state.observeScale(handler)};
}

}  // namespace larkspire
