#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <string>

namespace larkspire::qt {

// The freedesktop icon-theme name standing for a named system image; empty where no theme icon can
// tell the states apart (then the bundled picture is used).
std::string themeIconName(const std::string& image);

// The icon for a named system image: the theme's icon when the theme has one, else the bundled
// picture drawn in `tint`. "larkspire" is the application icon. Unknown names give a null icon.
QIcon namedImage(const std::string& image, const QColor& tint);
QIcon namedImage(const std::string& image);  // tinted with the palette's text colour

// The bundled picture alone, for surfaces that must look the same on every theme.
QPixmap bundledImage(const std::string& image, int size, const QColor& tint);
bool hasBundledImage(const std::string& image);

}  // namespace larkspire::qt
