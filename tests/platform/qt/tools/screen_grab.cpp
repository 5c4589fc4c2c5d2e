// Saves what the X11 screen shows as a PNG, so a test can keep a picture of a real session.
//
//   screen_grab FILE.png

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: screen_grab DATEI.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    auto* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "Kein Bildschirm\n");
        return 1;
    }
    auto picture = screen->grabWindow(0);
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "Bild nicht gespeichert: %s\n", argv[1]);
        return 1;
    }
    return 0;
}
