#include "platform/qt/QtWorkspace.h"

#include <QDesktopServices>
#include <QUrl>

namespace larkspire::qt {

bool QtWorkspace::open(const Url& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url.string()), QUrl::StrictMode));
}

}  // namespace larkspire::qt
