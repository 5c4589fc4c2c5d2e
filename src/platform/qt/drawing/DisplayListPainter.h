#pragma once

#include "platform/types/DisplayList.h"

#include <QPainterPath>

class QImage;
class QPainter;

namespace larkspire::qt {

// Paints what the core decided, in order, onto any QPainter.
void paintDisplayList(QPainter& painter, const DisplayList& list);

// The same onto an image, on one of Qt's pool threads while the caller waits. Qt spreads every large
// fill over that pool unless it already runs on one of its threads; for a widget's face the hand-offs
// cost more than the fills, about a third of its processor time and dozens of wake-ups a second.
// Where no pool thread is free it paints on the calling thread.
void paintDisplayListAside(QImage& image, const DisplayList& list);

// A rounded rectangle; continuous corners start earlier on the edges and bend in gently.
QPainterPath roundedRectPath(const Rect& rect, double radius, bool continuousCorners);

}  // namespace larkspire::qt
