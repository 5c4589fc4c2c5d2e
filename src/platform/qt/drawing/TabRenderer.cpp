#include "platform/qt/drawing/TabRenderer.h"

#include "platform/qt/drawing/QtImages.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace larkspire::qt {

namespace {

template <class T> const T* as(const TabElement* element) {
    return element ? std::get_if<T>(&element->content) : nullptr;
}

QString text(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Buttons and switches take "&" as the mark of a keyboard shortcut; the titles mean the character.
QString title(const std::string& s) {
    return text(s).replace('&', "&&");
}

QColor colorOf(TabColor color) {
    auto palette = QApplication::palette();
    switch (color) {
    case TabColor::primary:
        return palette.color(QPalette::WindowText);
    case TabColor::secondary: {
        auto c = palette.color(QPalette::WindowText);
        c.setAlphaF(0.6f);
        return c;
    }
    case TabColor::green:
        return QColor(0x28, 0xa7, 0x45);
    case TabColor::orange:
        return QColor(0xf0, 0x8c, 0x00);
    case TabColor::red:
        return QColor(0xe0, 0x30, 0x26);
    case TabColor::accent:
        return palette.color(QPalette::Highlight);
    }
    return palette.color(QPalette::WindowText);
}

void styleLabel(QLabel& label, TabTextStyle style, TabColor color, bool semibold) {
    QFont font = QApplication::font();
    double base = font.pointSizeF() > 0 ? font.pointSizeF() : 10;
    switch (style) {
    case TabTextStyle::body:
        break;
    case TabTextStyle::caption:
        font.setPointSizeF(base * 0.88);
        break;
    case TabTextStyle::title:
        font.setPointSizeF(base * 1.5);
        break;
    case TabTextStyle::heading:
        font.setPointSizeF(base * 0.92);
        break;
    }
    if (semibold || style == TabTextStyle::heading) font.setWeight(QFont::DemiBold);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colorOf(color));
    label.setPalette(palette);
}

QPixmap dotPixmap(const QColor& color, double opacity) {
    qreal ratio = qApp->devicePixelRatio();
    QPixmap pixmap(QSize(8, 8) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 8, 8));
    return pixmap;
}

QLabel* makeLabel(QWidget* parent, bool wrap) {
    auto* label = new QLabel(parent);
    label->setWordWrap(wrap);
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}

}  // namespace

TabRenderer::TabRenderer(QWidget& page) : QObject(&page), page(page), layout(new QVBoxLayout(&page)) {
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(0);
}

std::string TabRenderer::shapeOf(const TabElements& elements) {
    std::string result;
    for (const auto& element : elements) {
        result += std::to_string(element.content.index());
        const TabElements* children = nullptr;
        if (auto* group = std::get_if<TabGroup>(&element.content)) children = &group->content;
        if (auto* row = std::get_if<TabRow>(&element.content)) children = &row->items;
        if (auto* column = std::get_if<TabColumn>(&element.content)) children = &column->items;
        if (children) result += "(" + shapeOf(*children) + ")";
        result += ",";
    }
    return result;
}

void TabRenderer::flatten(const TabElements& list) {
    for (const auto& element : list) {
        elements.push_back(&element);
        if (auto* group = std::get_if<TabGroup>(&element.content)) flatten(group->content);
        if (auto* row = std::get_if<TabRow>(&element.content)) flatten(row->items);
        if (auto* column = std::get_if<TabColumn>(&element.content)) flatten(column->items);
    }
}

const TabElement* TabRenderer::elementAt(std::size_t index) const {
    return index < elements.size() ? elements[index] : nullptr;
}

void TabRenderer::render(const TabView& next) {
    auto nextShape = shapeOf(next.elements);
    view = next;
    elements.clear();
    flatten(view.elements);

    if (root && nextShape == shape) {
        for (std::size_t i = 0; i < nodes.size() && i < elements.size(); ++i) apply(nodes[i], *elements[i]);
        return;
    }

    // Remember which text field had the focus, by its place among the text fields.
    int focusedField = -1;
    int cursor = 0;
    int fieldIndex = 0;
    for (auto& node : nodes) {
        auto* edit = qobject_cast<QLineEdit*>(node.widget.data());
        if (!edit) continue;
        if (edit->hasFocus()) {
            focusedField = fieldIndex;
            cursor = edit->cursorPosition();
        }
        ++fieldIndex;
    }

    // The old widgets may be inside the signal that led here, so they go later.
    if (root) {
        layout->removeWidget(root);
        root->hide();
        root->deleteLater();
    }
    shape = nextShape;
    nodes.clear();
    ++buildCount;
    root = new QWidget(&page);
    auto* column = new QVBoxLayout(root);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    for (const auto& element : view.elements) column->addWidget(build(element, root));
    layout->addWidget(root);
    for (std::size_t i = 0; i < nodes.size() && i < elements.size(); ++i) apply(nodes[i], *elements[i]);
    root->show();  // a child added to a page already on screen stays hidden otherwise

    if (focusedField >= 0) {
        fieldIndex = 0;
        for (auto& node : nodes) {
            auto* edit = qobject_cast<QLineEdit*>(node.widget.data());
            if (!edit) continue;
            if (fieldIndex++ != focusedField) continue;
            edit->setFocus(Qt::OtherFocusReason);
            edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
            break;
        }
    }
}

QWidget* TabRenderer::build(const TabElement& element, QWidget* parent) {
    std::size_t index = nodes.size();
    nodes.push_back(Node{.kind = element.content.index()});
    QWidget* widget = nullptr;

    std::visit(
        [&](const auto& content) {
            using T = std::decay_t<decltype(content)>;
            if constexpr (std::is_same_v<T, TabGroup>) {
                widget = new QWidget(parent);
                auto* outer = new QVBoxLayout(widget);
                outer->setContentsMargins(0, 0, 0, 0);
                outer->setSpacing(6);
                auto* title = makeLabel(widget, true);
                outer->addWidget(title);
                nodes[index].label = title;
                auto* box = new QFrame(widget);
                box->setObjectName("tabGroupBox");
                box->setStyleSheet("QFrame#tabGroupBox { background: palette(alternate-base); "
                                   "border: 1px solid palette(midlight); border-radius: 8px; }");
                auto* inner = new QVBoxLayout(box);
                inner->setContentsMargins(12, 10, 12, 10);
                inner->setSpacing(8);
                for (const auto& child : content.content) inner->addWidget(build(child, box));
                outer->addWidget(box);
            } else if constexpr (std::is_same_v<T, TabRow>) {
                widget = new QFrame(parent);
                auto* row = new QHBoxLayout(widget);
                row->setContentsMargins(0, 0, 0, 0);
                row->setSpacing(static_cast<int>(content.spacing));
                for (const auto& child : content.items) {
                    // Texts and fields take the room a row has left; buttons keep their size.
                    bool fills = std::holds_alternative<TabText>(child.content) ||
                                 std::holds_alternative<TabHint>(child.content) ||
                                 std::holds_alternative<TabTextField>(child.content) ||
                                 std::holds_alternative<TabColumn>(child.content);
                    row->addWidget(build(child, widget), fills ? 1 : 0);
                }
            } else if constexpr (std::is_same_v<T, TabColumn>) {
                widget = new QWidget(parent);
                auto* column = new QVBoxLayout(widget);
                column->setContentsMargins(0, 0, 0, 0);
                column->setSpacing(static_cast<int>(content.spacing));
                for (const auto& child : content.items) column->addWidget(build(child, widget));
            } else if constexpr (std::is_same_v<T, TabText> || std::is_same_v<T, TabHint>) {
                widget = makeLabel(parent, true);
            } else if constexpr (std::is_same_v<T, TabSwitch>) {
                auto* box = new QCheckBox(parent);
                connect(box, &QCheckBox::clicked, this, [this, index](bool on) {
                    if (auto* element = as<TabSwitch>(elementAt(index)); element && element->isOn.set)
                        element->isOn.set(on);
                });
                widget = box;
            } else if constexpr (std::is_same_v<T, TabButton>) {
                auto* button = new QPushButton(parent);
                connect(button, &QPushButton::clicked, this, [this, index] {
                    if (auto* element = as<TabButton>(elementAt(index)); element && element->action)
                        element->action();
                });
                widget = button;
            } else if constexpr (std::is_same_v<T, TabMenuButton>) {
                auto* button = new QPushButton(parent);
                auto* menu = new QMenu(button);
                // The choices are read as the menu opens, so it lists what runs now.
                connect(menu, &QMenu::aboutToShow, this, [this, index, menu] {
                    menu->clear();
                    auto* element = as<TabMenuButton>(elementAt(index));
                    if (!element) return;
                    auto choices = element->choices ? element->choices() : std::vector<std::string>{};
                    if (choices.empty()) menu->addAction(text(element->emptyText))->setEnabled(false);
                    for (const auto& choice : choices) {
                        connect(menu->addAction(title(choice)), &QAction::triggered, this,
                                [this, index, choice] {
                                    if (auto* chosen = as<TabMenuButton>(elementAt(index));
                                        chosen && chosen->choose)
                                        chosen->choose(choice);
                                });
                    }
                });
                button->setMenu(menu);
                widget = button;
            } else if constexpr (std::is_same_v<T, TabStatusRow>) {
                widget = new QWidget(parent);
                auto* row = new QHBoxLayout(widget);
                row->setContentsMargins(0, 0, 0, 0);
                // The dot stands where a switch has its box, so the texts of both start in one column.
                row->setSpacing(
                    widget->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, widget));
                auto* dot = new QLabel(widget);
                dot->setFixedWidth(widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget));
                dot->setAlignment(Qt::AlignCenter);
                auto* label = makeLabel(widget, true);
                auto* button = new QPushButton(widget);
                connect(button, &QPushButton::clicked, this, [this, index] {
                    if (auto* element = as<TabStatusRow>(elementAt(index)); element && element->buttonAction)
                        element->buttonAction();
                });
                row->addWidget(dot);
                row->addWidget(label, 1);
                row->addWidget(button);
                widget->setProperty("dot", QVariant::fromValue<QObject*>(dot));
                nodes[index].label = label;
                nodes[index].button = button;
            } else if constexpr (std::is_same_v<T, TabTextField>) {
                auto* edit = new QLineEdit(parent);
                connect(edit, &QLineEdit::textEdited, this, [this, index](const QString& typed) {
                    if (auto* element = as<TabTextField>(elementAt(index)); element && element->text.set)
                        element->text.set(typed.toStdString());
                });
                widget = edit;
            } else if constexpr (std::is_same_v<T, TabImage> || std::is_same_v<T, TabDot>) {
                widget = new QLabel(parent);
            } else if constexpr (std::is_same_v<T, TabDivider>) {
                auto* line = new QFrame(parent);
                line->setFrameShape(QFrame::HLine);
                line->setFrameShadow(QFrame::Sunken);
                widget = line;
            } else if constexpr (std::is_same_v<T, TabSpacer>) {
                widget = new QWidget(parent);
                widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
            }
        },
        element.content);
    nodes[index].widget = widget;
    return widget;
}

void TabRenderer::apply(Node& node, const TabElement& element) {
    QWidget* widget = node.widget;
    if (!widget) return;
    std::visit(
        [&](const auto& content) {
            using T = std::decay_t<decltype(content)>;
            if constexpr (std::is_same_v<T, TabGroup>) {
                auto* title = static_cast<QLabel*>(node.label.data());
                title->setText(text(content.title));
                title->setVisible(!content.title.empty());
                styleLabel(*title, TabTextStyle::heading, TabColor::secondary, true);
            } else if constexpr (std::is_same_v<T, TabRow>) {
                widget->setObjectName(content.tinted ? "tintedRow" : "");
                widget->setStyleSheet(content.tinted ? "QFrame#tintedRow { background: palette(midlight); "
                                                       "border-radius: 6px; padding: 4px; }"
                                                     : "");
                if (auto* row = qobject_cast<QHBoxLayout*>(widget->layout())) {
                    row->setSpacing(static_cast<int>(content.spacing));
                    int margin = content.tinted ? 8 : 0;
                    row->setContentsMargins(margin, margin / 2, margin, margin / 2);
                }
            } else if constexpr (std::is_same_v<T, TabColumn>) {
                if (widget->layout()) widget->layout()->setSpacing(static_cast<int>(content.spacing));
            } else if constexpr (std::is_same_v<T, TabText>) {
                auto* label = static_cast<QLabel*>(widget);
                label->setText(text(content.text));
                styleLabel(*label, content.style, content.color, content.semibold);
            } else if constexpr (std::is_same_v<T, TabHint>) {
                auto* label = static_cast<QLabel*>(widget);
                label->setText(text(content.text));
                styleLabel(*label, TabTextStyle::caption, TabColor::secondary, false);
            } else if constexpr (std::is_same_v<T, TabSwitch>) {
                auto* box = static_cast<QCheckBox*>(widget);
                QSignalBlocker blocker(box);
                box->setText(title(content.title));
                box->setChecked(content.isOn.get ? content.isOn.get() : false);
                box->setEnabled(content.enabled);
                // A check box draws from its left edge whatever its contents margins say.
                box->setStyleSheet(content.indented ? "QCheckBox { margin-left: 20px; }" : "");
            } else if constexpr (std::is_same_v<T, TabButton>) {
                auto* button = static_cast<QPushButton*>(widget);
                button->setText(title(content.title));
                button->setIcon(content.image.empty() ? QIcon() : namedImage(content.image));
                button->setToolTip(text(content.help));
                button->setFlat(content.style == TabButtonStyle::link ||
                                content.style == TabButtonStyle::borderless);
                button->setCursor(content.style == TabButtonStyle::link ? Qt::PointingHandCursor
                                                                        : Qt::ArrowCursor);
                QFont font = QApplication::font();
                if (content.style == TabButtonStyle::small) font.setPointSizeF(font.pointSizeF() * 0.88);
                if (content.style == TabButtonStyle::link) font.setUnderline(true);
                button->setFont(font);
                button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
                if (content.style == TabButtonStyle::link) {
                    // A link lines up with the texts above it, as text rather than as a button.
                    button->setStyleSheet("QPushButton { border: none; padding: 0; text-align: left; "
                                          "color: palette(link); }");
                } else {
                    button->setStyleSheet("");
                }
                button->setMinimumWidth(0);
                button->setMaximumWidth(QWIDGETSIZE_MAX);
                if (content.style == TabButtonStyle::regular || content.style == TabButtonStyle::small) {
                    // The style's least button width makes ".md" as wide as "Standard"; a button fits its
                    // title.
                    auto* style = button->style();
                    int natural = button->fontMetrics().horizontalAdvance(text(content.title)) +
                                  2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                                  2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button) +
                                  (content.image.empty() ? 0 : button->iconSize().width() + 4);
                    int least = button->sizeHint().height() * 2;
                    button->setFixedWidth(std::min(button->sizeHint().width(), std::max(natural, least)));
                }
            } else if constexpr (std::is_same_v<T, TabMenuButton>) {
                auto* button = static_cast<QPushButton*>(widget);
                button->setText(title(content.title));
                button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
            } else if constexpr (std::is_same_v<T, TabStatusRow>) {
                auto* dot = qobject_cast<QLabel*>(widget->property("dot").value<QObject*>());
                if (dot)
                    dot->setPixmap(
                        dotPixmap(colorOf(content.flag ? TabColor::green : TabColor::orange), 1.0));
                static_cast<QLabel*>(node.label.data())->setText(text(content.text));
                auto* button = static_cast<QPushButton*>(node.button.data());
                button->setText(title(content.buttonTitle));
                button->setVisible(!content.flag && !content.buttonTitle.empty() && content.buttonAction);
            } else if constexpr (std::is_same_v<T, TabTextField>) {
                auto* edit = static_cast<QLineEdit*>(widget);
                auto wanted = content.text.get ? text(content.text.get()) : QString();
                edit->setPlaceholderText(text(content.placeholder));
                if (edit->text() != wanted) {
                    // Only a change made elsewhere lands here; the cursor stays where the user left it.
                    int cursor = edit->cursorPosition();
                    QSignalBlocker blocker(edit);
                    edit->setText(wanted);
                    edit->setCursorPosition(std::min(cursor, static_cast<int>(wanted.size())));
                }
            } else if constexpr (std::is_same_v<T, TabImage>) {
                auto* label = static_cast<QLabel*>(widget);
                int size = std::max(1, static_cast<int>(content.size));
                auto icon = namedImage(content.image, colorOf(content.tint));
                label->setPixmap(icon.pixmap(size, size));
                label->setFixedSize(size, size);
            } else if constexpr (std::is_same_v<T, TabDot>) {
                auto* label = static_cast<QLabel*>(widget);
                label->setPixmap(dotPixmap(colorOf(content.color), content.opacity));
                label->setToolTip(text(content.help));
                label->setFixedSize(8, 8);
            }
        },
        element.content);
    widget->setVisible(element.visible);
}

}  // namespace larkspire::qt
