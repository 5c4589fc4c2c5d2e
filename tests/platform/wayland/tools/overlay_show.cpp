// Larkspire's overlay surface on its own: a translucent red badge at 200,150 (from the top-left of
// the screen), 300 × 80, on the compositor's top layer. Commands on standard input, one a line:
// "zeige" shows it, "verstecke" hides it; each is answered with "ok".

#include "platform/Log.h"
#include "platform/qt/windows/LayerShellWindows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

class StderrLog : public larkspire::Log {
  public:
    void write(std::string_view category, larkspire::LogLevel, std::string_view message) override {
        std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(category.size()), category.data(),
                     static_cast<int>(message.size()), message.data());
    }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace larkspire;
    QApplication app(argc, argv);
    StderrLog log;
    std::string reason;
    auto shell = qt::QtLayerShell::open(log, reason);
    if (!shell) {
        std::fprintf(stderr, "keine Ebenen: %s\n", reason.c_str());
        return 1;
    }
    qt::LayerOverlaySurfaces overlays(*shell);
    auto overlay = overlays.create();
    auto* screen = QGuiApplication::primaryScreen();
    double screenHeight = screen ? screen->geometry().height() : 0;
    overlay->setFrame(Rect{200, screenHeight - 150 - 80, 300, 80});
    overlay->display(
        {RoundedRect{.rect = {0, 0, 300, 80}, .cornerRadius = 20, .fill = Color{0.8, 0, 0, 0.8}}});

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string command;
        if (!std::getline(std::cin, command)) {
            app.quit();
            return;
        }
        if (command == "zeige") overlay->orderAbove(0);
        if (command == "verstecke") overlay->orderOut();
        std::printf("ok\n");
        std::fflush(stdout);
    });
    std::printf("bereit\n");
    std::fflush(stdout);
    return app.exec();
}
