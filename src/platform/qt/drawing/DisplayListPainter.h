#pragma once

#include "platform/types/DisplayList.h"

#include <QPainterPath>

class QPainter;

namespace larkspire::qt {

// Paints what the core decided, in order, onto any QPainter.
void paintDisplayList(QPainter& painter, const DisplayList& list);

// A rounded rectangle; continuous corners start earlier on the edges and bend in gently.
QPainterPath roundedRectPath(const Rect& rect, double radius, bool continuousCorners);

}  // namespace larkspire::qt
