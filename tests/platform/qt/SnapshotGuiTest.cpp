#include "QtApp.h"
#include "platform/qt/Snapshot.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

using namespace larkspire;

namespace {

TEST(Snapshot, WritesEverySurfaceAsAPictureIntoTheBuildFolder) {
    QString folder = QString(LARKSPIRE_BUILD_DIR) + "/snapshots";
    QDir(folder).removeRecursively();
    auto result = qt::writeSnapshots(folder);
    EXPECT_TRUE(result.failed.isEmpty()) << result.failed.join(", ").toStdString();

    QStringList names;
    for (const auto& path : result.written) names.append(QFileInfo(path).fileName());
    EXPECT_EQ(names,
              (QStringList{"status-icon-nothing-cut.png", "status-icon-two-cut.png", "status-menu.png",
                           "settings-0-allgemein.png", "settings-1-neue-datei.png", "settings-2-finder.png",
                           "settings-3-netzwerk.png", "settings-4-scrollen.png", "settings-5-widgets.png",
                           "settings-6-ueber.png", "badge-light.png", "badge-dark.png"}));
    for (const auto& path : result.written) {
        QImage image(path);
        ASSERT_FALSE(image.isNull()) << path.toStdString();
        if (path.contains("settings-")) {
            EXPECT_EQ(image.width(), 460) << path.toStdString();
        }
    }
    EXPECT_NE(QImage(folder + "/status-icon-nothing-cut.png"), QImage(folder + "/status-icon-two-cut.png"));
    EXPECT_NE(QImage(folder + "/badge-light.png"), QImage(folder + "/badge-dark.png"));
}

TEST(Snapshot, ReportsAFolderItCannotCreate) {
    auto result = qt::writeSnapshots("/proc/larkspire-darf-hier-nicht");
    EXPECT_TRUE(result.written.isEmpty());
    EXPECT_FALSE(result.failed.isEmpty());
}

}  // namespace
