#pragma once

#include "platform/Screens.h"
#include "platform/WidgetWindow.h"

#include <QImage>
#include <QWidget>
#include <memory>

namespace larkspire::qt {

// Converts between the core's global rectangles (y up from the primary screen's bottom) and Qt's.
QRect toQt(const Rect& rect);
Rect fromQt(const QRect& rect);

class QtScreens : public Screens {
  public:
    std::vector<Screen> screens() const override;
};

// A frameless, translucent window below ordinary windows on every workspace, kept out of task bars.
class WidgetView : public QWidget {
    Q_OBJECT
  public:
    explicit WidgetView(WidgetWindowEvents events);

    const DisplayList& content() const { return shown; }
    void setContent(DisplayList content);
    std::optional<Rect> handle;
    bool movable = false;
    bool ignoresMouse = true;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    QSize facePixels() const;
    QImage paintedFace() const;  // `shown` painted afresh at the window's size

    enum class Drag { none, window, handle };
    WidgetWindowEvents events;
    Drag drag = Drag::none;
    QPoint grabOffset;
    DisplayList shown;
    QImage face;  // `shown` painted, kept for exposures until it changes
    bool faceStale = true;
};

class QtWidgetWindow : public WidgetWindow {
  public:
    QtWidgetWindow(const Rect& contentRect, WidgetWindowEvents events);
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    void setContent(DisplayList content) override;
    void setLevel(WidgetLevel level) override;
    void setIgnoresMouseEvents(bool ignores) override;
    void setMovableByWindowBackground(bool movable) override;
    void setHandleFrame(std::optional<Rect> frame) override;
    void orderFront() override;
    void orderFrontRegardless() override;
    void orderOut() override;
    bool isVisible() const override;

    WidgetView& widget() { return *view; }

  private:
    void applyFlags();
    std::unique_ptr<WidgetView> view;
    WidgetLevel level = WidgetLevel::desktop;
    bool ignoresMouse = true;
};

class QtWidgetWindows : public WidgetWindows {
  public:
    std::unique_ptr<WidgetWindow> create(const Rect& contentRect, WidgetWindowEvents events) override;
    Color accentColor() const override;
    std::vector<QtWidgetWindow*> created;  // owned by the widgets, which live as long as the application
};

}  // namespace larkspire::qt
