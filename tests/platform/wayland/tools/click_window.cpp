// An ordinary window of another program, in one colour, that records the clicks it receives.
// Prints "Fenster" once shown and "Klick X Y" (its own coordinates) for every press.

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <cstdio>

namespace {

class ClickWindow : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QColor(0xc0, 0x40, 0x40));
        if (!announced) {
            std::printf("Fenster\n");
            std::fflush(stdout);
            announced = true;
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        std::printf("Klick %d %d\n", event->position().toPoint().x(), event->position().toPoint().y());
        std::fflush(stdout);
    }

  private:
    bool announced = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ClickWindow window;
    window.setWindowTitle("Klick-Fenster");
    window.resize(400, 300);
    window.show();
    return app.exec();
}
