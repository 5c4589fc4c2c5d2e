// Stands in for a file manager on the real clipboard: offers files as the measured file managers
// do, or any bytes under any type, and keeps the clipboard until another program takes it. Also
// prints what the clipboard holds.
//
//   clipboard_owner offer gnome|mate|kde cut|copy PATH…
//   clipboard_owner raw TYPE FILE [TYPE FILE…]      (the bytes of FILE under TYPE)
//   clipboard_owner hang gnome|mate|kde cut|copy PATH…   (lists its types, then never gives them)
//   clipboard_owner read

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

namespace {

int usage() {
    std::fprintf(
        stderr, "Aufruf: clipboard_owner offer|hang gnome|mate|kde cut|copy PFAD… | raw TYP DATEI… | read\n");
    return 2;
}

// An owner that stops responding once asked for its content: the list of types still comes, the
// content never, and from then on nothing at all.
class HangingMimeData : public QMimeData {
  protected:
    QVariant retrieveData(const QString&, QMetaType) const override {
        for (;;) ::pause();
    }
};

QMimeData* offered(const QString& style, const QString& operation, const QStringList& paths, bool hanging) {
    QByteArray uriList;
    QByteArray marked = operation.toLatin1();
    for (const auto& path : paths) {
        auto url = QUrl::fromLocalFile(path).toEncoded();
        uriList += url + "\r\n";
        marked += "\n" + url;
    }
    auto* data = hanging ? new HangingMimeData : new QMimeData;
    data->setData("text/uri-list", uriList);
    if (style == "gnome") data->setData("x-special/gnome-copied-files", marked);
    if (style == "mate") data->setData("x-special/mate-copied-files", marked);
    // KDE-style managers mark only the cut.
    if (style == "kde" && operation == "cut") data->setData("application/x-kde-cutselection", "1");
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    auto arguments = app.arguments().mid(1);
    if (arguments.isEmpty()) return usage();
    auto* clipboard = QGuiApplication::clipboard();

    if (arguments[0] == "read") {
        const auto* data = clipboard->mimeData();
        if (!data) return 1;
        for (const auto& type : data->formats()) {
            std::printf("== %s\n%s\n", qPrintable(type), data->data(type).constData());
        }
        return 0;
    }

    QMimeData* data = nullptr;
    if ((arguments[0] == "offer" || arguments[0] == "hang") && arguments.size() >= 3) {
        data = offered(arguments[1], arguments[2], arguments.mid(3), arguments[0] == "hang");
    } else if (arguments[0] == "raw" && arguments.size() % 2 == 1) {
        data = new QMimeData;
        for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
            QFile file(arguments[i + 1]);
            if (!file.open(QIODevice::ReadOnly)) return usage();
            data->setData(arguments[i], file.readAll());
        }
    } else {
        return usage();
    }
    clipboard->setMimeData(data);
    if (!clipboard->ownsClipboard()) {
        std::fprintf(stderr, "Die Zwischenablage ließ sich nicht übernehmen\n");
        return 1;
    }
    std::printf("angeboten\n");
    std::fflush(stdout);
    // Another program took the clipboard: this offer is over.
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) QCoreApplication::quit();
    });
    return QGuiApplication::exec();
}
