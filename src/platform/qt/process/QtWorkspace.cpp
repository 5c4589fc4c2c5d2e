#include "platform/qt/process/QtWorkspace.h"

#include <QDesktopServices>
#include <QUrl>

namespace larkspire::qt {

bool QtWorkspace::open(const Url& url) {
    // No desktop handler knows these, so handing them over would silently do nothing.
    if (url.scheme() == systemSettingsScheme) return openSystemSettings ? openSystemSettings(url) : false;
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url.string()), QUrl::StrictMode));
}

}  // namespace larkspire::qt
