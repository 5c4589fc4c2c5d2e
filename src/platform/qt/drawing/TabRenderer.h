#pragma once

#include "platform/types/TabView.h"

#include <QObject>
#include <QPointer>
#include <vector>

class QVBoxLayout;
class QWidget;

namespace larkspire::qt {

// Draws a tab description into a page. A new description of the same shape updates the existing
// widgets in place; a different shape builds them anew and gives the focus and cursor of a text
// field back to the field at the same place.
class TabRenderer : public QObject {
    Q_OBJECT
  public:
    explicit TabRenderer(QWidget& page);
    void render(const TabView& view);
    int builds() const { return buildCount; }

  private:
    struct Node {
        std::size_t kind = 0;
        QPointer<QWidget> widget;  // the element's own widget
        QPointer<QWidget> label;   // a title, dot or text beside it, where the kind has one
        QPointer<QWidget> button;  // the button of a status row
    };

    static std::string shapeOf(const TabElements& elements);
    void flatten(const TabElements& elements);
    QWidget* build(const TabElement& element, QWidget* parent);
    void apply(Node& node, const TabElement& element);
    const TabElement* elementAt(std::size_t index) const;

    QWidget& page;
    QVBoxLayout* layout;
    QPointer<QWidget> root;
    TabView view;
    std::string shape;
    std::vector<const TabElement*> elements;  // pre-order, pointing into `view`
    std::vector<Node> nodes;                  // same order
    int buildCount = 0;
};

}  // namespace larkspire::qt
