#include "platform/qt/windows/QtSettingsWindow.h"

#include "platform/qt/drawing/QtImages.h"
#include "platform/qt/drawing/TabRenderer.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QShortcut>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace larkspire::qt {

namespace {

// A tool window keeps the program out of the taskbar; it has no document to stand for. Wayland
// compositors treat a tool window as a utility of another window: KWin shows it on every desktop,
// others float it where the keyboard does not follow, so there it is an ordinary window.
Qt::WindowFlags settingsWindowType() {
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ? Qt::Window : Qt::Tool;
}

}  // namespace

SettingsWindowWidget::SettingsWindowWidget()
    : QWidget(nullptr, settingsWindowType() | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint) {
    setObjectName("larkspireSettings");
    // The usual keys for closing a window; closing only hides it.
    for (QKeySequence keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    saveSoon.setSingleShot(true);
    saveSoon.setInterval(400);
    connect(&saveSoon, &QTimer::timeout, this, [this] {
        if (onFrameChanged) onFrameChanged();
    });
}

void SettingsWindowWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) saveSoon.start();
}

void SettingsWindowWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    saveSoon.stop();
    if (onFrameChanged) onFrameChanged();
    if (onHidden) onHidden();
}

QtSettingsWindow::QtSettingsWindow(const std::vector<SettingsTab>& tabs, DefaultsStore& defaults)
    : defaults(defaults), window(std::make_unique<SettingsWindowWidget>()), tabs(tabs) {
    window->setWindowIcon(namedImage("larkspire"));
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    tabBar = new QWidget(window.get());
    auto* bar = new QHBoxLayout(tabBar);
    bar->setContentsMargins(4, 6, 4, 6);
    bar->setSpacing(0);
    bar->addStretch();
    for (int index = 0; index < static_cast<int>(tabs.size()); ++index) {
        const auto& tab = tabs[static_cast<std::size_t>(index)];
        auto* button = new QToolButton(tabBar);
        auto label = QString::fromStdString(tab.label);
        button->setText(label);
        button->setIcon(namedImage(tab.image));
        button->setIconSize(QSize(24, 24));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setAccessibleName(label);
        button->setAccessibleDescription(label);
        button->setProperty("imageName", QString::fromStdString(tab.image));
        QObject::connect(button, &QToolButton::clicked, button, [this, index] { selectTab(index); });
        bar->addWidget(button);
        buttons.push_back(button);
    }
    bar->addStretch();
    // Long labels in a wide font would make the window wider than its tabs; the labels shrink instead.
    for (double scale = 1.0; scale > 0.7 && tabBar->sizeHint().width() > tabWidth; scale -= 0.05) {
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        for (auto* button : buttons) button->setFont(font);
        bar->invalidate();
    }
    layout->addWidget(tabBar);
    separator = new QFrame(window.get());
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    layout->addWidget(separator);

    for (std::size_t index = 0; index < tabs.size(); ++index) {
        auto* page = new QWidget(window.get());
        page->setObjectName(QString("tabPage%1").arg(index));
        page->setFixedWidth(tabWidth);
        page->hide();
        renderers.push_back(new TabRenderer(*page));
        layout->addWidget(page, 0, Qt::AlignTop | Qt::AlignHCenter);
        pages.push_back(page);
    }
    layout->addStretch();
    window->onFrameChanged = [this] { saveFrame(); };
}

QtSettingsWindow::~QtSettingsWindow() {
    window->onFrameChanged = nullptr;
}

QWidget* QtSettingsWindow::page(int index) const {
    return index >= 0 && index < static_cast<int>(pages.size()) ? pages[static_cast<std::size_t>(index)]
                                                                : nullptr;
}

TabRenderer* QtSettingsWindow::renderer(int index) const {
    return index >= 0 && index < static_cast<int>(renderers.size())
               ? renderers[static_cast<std::size_t>(index)]
               : nullptr;
}

void QtSettingsWindow::selectTab(int index) {
    if (!page(index)) return;
    selected = index;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        bool current = static_cast<int>(i) == index;
        buttons[i]->setChecked(current);
        pages[i]->setVisible(current);
    }
    window->setWindowTitle(QString::fromStdString(tabs[static_cast<std::size_t>(index)].label));
    if (onSelect) onSelect(index);
    fitToTab();
}

void QtSettingsWindow::fitToTab() {
    auto* current = page(selected);
    if (!current) return;
    current->ensurePolished();
    // A row shown or hidden just now has only posted its layout request; it is handled first and the
    // sizes are measured afresh, so a tab whose rows went away shrinks at once.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (auto* layout : current->findChildren<QLayout*>()) layout->invalidate();
    if (current->layout()) {
        current->layout()->invalidate();
        current->layout()->activate();
    }
    // Wrapped texts ask for more height at their least width than at the page's; the page's width decides.
    int pageHeight = current->hasHeightForWidth()
                         ? current->heightForWidth(tabWidth)
                         : std::max(current->sizeHint().height(), current->minimumSizeHint().height());
    int width = std::max(tabWidth, tabBar->sizeHint().width());
    int height = tabBar->sizeHint().height() + separator->sizeHint().height() + pageHeight;

    // The frame keeps its top edge: the window grows or shrinks downward.
    QPoint topLeft = window->frameGeometry().topLeft();
    window->setFixedSize(width, height);
    window->move(topLeft);
}

bool QtSettingsWindow::isVisible() const {
    return window->isVisible();
}

void QtSettingsWindow::center() {
    auto* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The native window knows the decoration's size; before it exists the frame is only the content.
    window->winId();
    QRect available = screen->availableGeometry();
    QSize frame = window->frameGeometry().size();
    // Somewhat above the middle, where a settings window is expected.
    int x = available.x() + (available.width() - frame.width()) / 2;
    int y = available.y() + std::max(0, (available.height() - frame.height()) / 3);
    window->move(x, y);
}

void QtSettingsWindow::makeKeyAndOrderFront() {
    // A minimised window counts as visible but would stay out of sight.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void QtSettingsWindow::setFrameAutosaveName(const std::string& name) {
    autosaveName = name;
    restoreFrame();
}

void QtSettingsWindow::setTabContent(int index, const TabView& content) {
    auto* renderer = this->renderer(index);
    if (!renderer) return;
    renderer->render(content);
    if (index == selected) fitToTab();
}

// The frame is stored as "x y width height" of the outer frame, as whole points.
void QtSettingsWindow::saveFrame() {
    if (autosaveName.empty()) return;
    QRect frame = window->frameGeometry();
    auto value = QString("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
    defaults.set(autosaveName, Value(value.toStdString()));
}

void QtSettingsWindow::restoreFrame() {
    if (autosaveName.empty()) return;
    auto stored = defaults.stringForKey(autosaveName);
    if (!stored) return;
    auto parts = QString::fromStdString(*stored).split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 4) return;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok) return;  // a damaged value is ignored; the window is centred instead
    }
    QRect frame(numbers[0], numbers[1], std::max(1, numbers[2]), std::max(1, numbers[3]));
    // A position on a screen that is gone would put the window out of reach.
    for (auto* screen : QGuiApplication::screens()) {
        if (!screen->availableGeometry().intersects(frame)) continue;
        window->move(frame.topLeft());
        return;
    }
}

std::unique_ptr<SettingsWindow>
QtSettingsWindows::createSettingsWindow(const std::vector<SettingsTab>& tabs) {
    auto made = std::make_unique<QtSettingsWindow>(tabs, defaults);
    window = made.get();
    return made;
}

}  // namespace larkspire::qt
