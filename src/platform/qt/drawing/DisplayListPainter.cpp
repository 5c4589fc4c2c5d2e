#include "platform/qt/drawing/DisplayListPainter.h"

#include "platform/qt/drawing/QtFonts.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSemaphore>
#include <QStaticText>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

namespace larkspire::qt {

namespace {

double finite(double value, double fallback = 0) {
    return std::isfinite(value) ? value : fallback;
}

QColor qColor(const Color& color) {
    auto channel = [](double v) { return std::clamp(finite(v), 0.0, 1.0); };
    return QColor::fromRgbF(static_cast<float>(channel(color.red)), static_cast<float>(channel(color.green)),
                            static_cast<float>(channel(color.blue)),
                            static_cast<float>(channel(color.alpha)));
}

QBrush qBrush(const Fill& fill) {
    if (auto* color = std::get_if<Color>(&fill)) return QBrush(qColor(*color));
    const auto& gradient = std::get<LinearGradient>(fill);
    QLinearGradient linear(finite(gradient.start.x), finite(gradient.start.y), finite(gradient.end.x),
                           finite(gradient.end.y));
    for (const auto& stop : gradient.stops)
        linear.setColorAt(std::clamp(finite(stop.location), 0.0, 1.0), qColor(stop.color));
    return QBrush(linear);
}

// Qt has no blur for paths; layered, growing, faint copies come close enough for small radii.
void paintShadow(QPainter& painter, const QPainterPath& path, const Shadow& shadow) {
    double blur = std::clamp(finite(shadow.blur), 0.0, 64.0);
    int layers = std::max(1, static_cast<int>(std::ceil(blur / 2)));
    QColor color = qColor(shadow.color);
    color.setAlphaF(color.alphaF() / static_cast<float>(layers));
    painter.save();
    painter.translate(finite(shadow.offset.x), finite(shadow.offset.y));
    painter.setBrush(Qt::NoBrush);
    for (int i = layers; i >= 1; --i) {
        QPen pen(color, blur * i / layers);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(blur > 0 ? pen : Qt::NoPen);
        painter.fillPath(path, color);
        if (blur > 0) painter.drawPath(path);
    }
    painter.restore();
}

void paintRoundedRect(QPainter& painter, const RoundedRect& item) {
    auto path = roundedRectPath(item.rect, item.cornerRadius, item.continuousCorners);
    if (item.shadow) paintShadow(painter, path, *item.shadow);
    if (item.fill) painter.fillPath(path, qBrush(*item.fill));
    if (item.stroke) {
        QPen pen(qColor(*item.stroke), std::max(0.0, finite(item.strokeWidth, 1)));
        if (!item.dashPattern.empty() && pen.widthF() > 0) {
            // Qt measures dashes in pen widths; the list gives points.
            QList<qreal> dashes;
            for (double length : item.dashPattern)
                dashes.append(std::clamp(finite(length, 1), 0.01, 1e4) / pen.widthF());
            if (dashes.size() % 2 == 1) dashes.append(dashes.back());
            pen.setDashPattern(dashes);
        }
        painter.strokePath(path, pen);
    }
}

void paintLine(QPainter& painter, const Line& line) {
    QPen pen(qColor(line.color), std::max(0.0, finite(line.width, 1)));
    pen.setCapStyle(line.cap == LineCap::round    ? Qt::RoundCap
                    : line.cap == LineCap::square ? Qt::SquareCap
                                                  : Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(QPointF(finite(line.from.x), finite(line.from.y)),
                     QPointF(finite(line.to.x), finite(line.to.y)));
}

// A widget draws the same few texts every second, some of them three times for their shadow: each
// text is laid out and shaped once and kept, until the application's font changes.
struct PreparedText {
    TextLayout layout;
    std::vector<QStaticText> pieces;  // drawn from their top-left corner
};

const PreparedText& prepared(const std::string& text, const FontDescription& font) {
    using Key = std::tuple<std::string, double, FontWeight, bool, bool>;
    // Per thread, as Qt keeps its fonts: faces are painted on pool threads too.
    thread_local std::map<Key, PreparedText> kept;
    thread_local QFont keptFor;
    constexpr std::size_t textsKept = 256;
    if (auto current = QGuiApplication::font(); !(current == keptFor)) {
        kept.clear();
        keptFor = current;
    }
    Key key{text, font.size, font.weight, font.compressed, font.monospacedDigits};
    if (auto known = kept.find(key); known != kept.end()) return known->second;
    if (kept.size() >= textsKept) kept.clear();
    PreparedText result;
    result.layout = layoutText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), font);
    auto qfont = qFont(font);
    for (const auto& piece : result.layout.pieces) {
        QStaticText staticText(piece.text);
        staticText.setTextFormat(Qt::PlainText);
        staticText.prepare(QTransform(), qfont);
        result.pieces.push_back(std::move(staticText));
    }
    return kept.emplace(std::move(key), std::move(result)).first->second;
}

void paintText(QPainter& painter, const Text& text) {
    const auto& [layout, pieces] = prepared(text.text, text.font);
    double left = finite(text.origin.x);
    if (text.alignment == TextAlignment::center) left -= layout.width / 2;
    if (text.alignment == TextAlignment::right) left -= layout.width;
    double top = finite(text.origin.y) - layout.ascent;
    painter.setFont(qFont(text.font));
    auto draw = [&](double dx, double dy) {
        for (std::size_t i = 0; i < pieces.size(); ++i)
            painter.drawStaticText(QPointF(left + layout.pieces[i].x + dx, top + dy), pieces[i]);
    };
    if (text.shadow) {
        QColor color = qColor(text.shadow->color);
        double blur = std::clamp(finite(text.shadow->blur), 0.0, 8.0);
        color.setAlphaF(color.alphaF() / (blur > 0 ? 2.0f : 1.0f));
        double dx = finite(text.shadow->offset.x), dy = finite(text.shadow->offset.y);
        painter.setPen(color);
        draw(dx, dy);
        if (blur > 0) draw(dx + blur / 2, dy + blur / 2);
    }
    if (text.gradient) {
        // A pen with a gradient brush fills the glyphs; the gradient's coordinates are the view's.
        painter.setPen(QPen(qBrush(*text.gradient), 0));
        draw(0, 0);
        return;
    }
    painter.setPen(qColor(text.color));
    draw(0, 0);
}

void paintItems(QPainter& painter, const std::vector<DisplayItem>& items);

void paintGroup(QPainter& painter, const DisplayGroup& group) {
    painter.save();
    painter.translate(finite(group.offset.x), finite(group.offset.y));
    painter.setOpacity(painter.opacity() * std::clamp(finite(group.opacity, 1), 0.0, 1.0));
    if (group.clip)
        painter.setClipPath(roundedRectPath(*group.clip, group.clipCornerRadius, true), Qt::IntersectClip);
    paintItems(painter, group.items);
    painter.restore();
}

void paintItems(QPainter& painter, const std::vector<DisplayItem>& items) {
    for (const auto& item : items) {
        std::visit(
            [&](const auto& content) {
                using T = std::decay_t<decltype(content)>;
                if constexpr (std::is_same_v<T, RoundedRect>) paintRoundedRect(painter, content);
                if constexpr (std::is_same_v<T, Line>) paintLine(painter, content);
                if constexpr (std::is_same_v<T, Text>) paintText(painter, content);
                if constexpr (std::is_same_v<T, DisplayGroup>) paintGroup(painter, content);
            },
            item.content);
    }
}

}  // namespace

QPainterPath roundedRectPath(const Rect& rect, double radius, bool continuousCorners) {
    double x = finite(rect.x), y = finite(rect.y);
    double w = std::max(0.0, finite(rect.width)), h = std::max(0.0, finite(rect.height));
    double r = std::clamp(finite(radius), 0.0, std::min(w, h) / 2);
    QPainterPath path;
    if (r <= 0) {
        path.addRect(x, y, w, h);
        return path;
    }
    if (!continuousCorners) {
        path.addRoundedRect(x, y, w, h, r, r);
        return path;
    }
    // The curve begins about 1.28 radii from the corner and its control points sit closer to the
    // corner than a circle's would, so the bend grows gradually out of the straight edge.
    double p = std::min(r * 1.28, std::min(w, h) / 2);
    double c = p * 0.36;
    path.moveTo(x + p, y);
    path.lineTo(x + w - p, y);
    path.cubicTo(x + w - c, y, x + w, y + c, x + w, y + p);
    path.lineTo(x + w, y + h - p);
    path.cubicTo(x + w, y + h - c, x + w - c, y + h, x + w - p, y + h);
    path.lineTo(x + p, y + h);
    path.cubicTo(x + c, y + h, x, y + h - c, x, y + h - p);
    path.lineTo(x, y + p);
    path.cubicTo(x, y + c, x + c, y, x + p, y);
    path.closeSubpath();
    return path;
}

void paintDisplayList(QPainter& painter, const DisplayList& list) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintItems(painter, list);
    painter.restore();
}

void paintDisplayListAside(QImage& image, const DisplayList& list) {
    auto paint = [&image, &list] {
        QPainter painter(&image);
        paintDisplayList(painter, list);
    };
    auto* pool = QThreadPool::globalInstance();
    QSemaphore painted;
    if (pool->contains(QThread::currentThread()) || !pool->tryStart([&] {
            paint();
            painted.release();
        }))
        return paint();
    painted.acquire();
}

}  // namespace larkspire::qt
