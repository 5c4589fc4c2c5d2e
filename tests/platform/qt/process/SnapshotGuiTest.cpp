#include "platform/linux/words/LinuxWording.h"
#include "platform/qt/QtApp.h"
#include "platform/qt/process/Snapshot.h"
#include "platform/qt/words/SessionWording.h"

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
    EXPECT_EQ(names, (QStringList{"status-icon-nothing-cut.png",
                                  "settings-0-allgemein.png",
                                  "settings-1-neue-datei.png",
                                  "settings-2-finder.png",
                                  "settings-3-netzwerk.png",
                                  "settings-4-scrollen.png",
                                  "settings-5-widgets.png",
                                  "settings-6-ueber.png",
                                  "settings-0-allgemein-ohne-freigaben.png",
                                  "settings-2-finder-fuenf-ausgeschnitten.png",
                                  "settings-4-scrollen-spielemodus.png",
                                  "settings-1-neue-datei-ungueltiger-name.png",
                                  "settings-3-netzwerk-drei-favoriten.png",
                                  "settings-5-widgets-anordnen.png",
                                  "status-icon-two-cut.png",
                                  "status-menu.png",
                                  "badge-light.png",
                                  "badge-dark.png",
                                  "widget-clock-1.0.png",
                                  "widget-clock-1.5.png",
                                  "widget-monitor-2-cpus-no-temperature.png",
                                  "widget-monitor-10-cpus-warm.png",
                                  "widget-monitor-24-cpus-hot.png",
                                  "widget-monitor-10-cpus-cool-largest.png",
                                  "widget-arranging.png"}));
    for (const auto& path : result.written) {
        QImage image(path);
        ASSERT_FALSE(image.isNull()) << path.toStdString();
        if (path.contains("settings-")) {
            EXPECT_EQ(image.width(), 460) << path.toStdString();
        }
    }
    // Each state adds rows (buttons, the cut row, warnings, the red line, favourites) to its tab.
    for (const char* state :
         {"0-allgemein-ohne-freigaben", "2-finder-fuenf-ausgeschnitten", "4-scrollen-spielemodus",
          "1-neue-datei-ungueltiger-name", "3-netzwerk-drei-favoriten"}) {
        QString name(state);
        QString plain = name.section('-', 0, name.startsWith("1-") ? 2 : 1);
        EXPECT_GT(QImage(folder + "/settings-" + name + ".png").height(),
                  QImage(folder + "/settings-" + plain + ".png").height())
            << state;
    }
    EXPECT_NE(QImage(folder + "/settings-5-widgets-anordnen.png"),
              QImage(folder + "/settings-5-widgets.png"));
    EXPECT_NE(QImage(folder + "/status-icon-nothing-cut.png"), QImage(folder + "/status-icon-two-cut.png"));
    EXPECT_NE(QImage(folder + "/badge-light.png"), QImage(folder + "/badge-dark.png"));
    // The largest scale draws the same face larger; more CPUs make the CPU pill wider.
    QImage small(folder + "/widget-clock-1.0.png"), large(folder + "/widget-clock-1.5.png");
    EXPECT_GT(large.width(), small.width() * 1.3);
    EXPECT_GT(QImage(folder + "/widget-monitor-24-cpus-hot.png").width(),
              QImage(folder + "/widget-monitor-2-cpus-no-temperature.png").width() + 100);
}

TEST(Snapshot, DrawsEverySurfaceWithTheLinuxWordsInGermanAndInEnglish) {
    QString folder = QString(LARKSPIRE_BUILD_DIR) + "/snapshots-languages";
    QDir(folder).removeRecursively();
    linux_desktop::LinuxWording linuxWords;
    for (auto [language, tag] :
         {std::pair{qt::Language::german, "de"}, std::pair{qt::Language::english, "en"}}) {
        qt::SessionWording words(linuxWords, language);
        auto result = qt::writeSnapshots(folder, words, tag);
        EXPECT_TRUE(result.failed.isEmpty()) << result.failed.join(", ").toStdString();
        EXPECT_EQ(result.written.size(), 25);
        for (const auto& path : result.written)
            EXPECT_TRUE(path.endsWith(QString("-%1.png").arg(tag))) << path.toStdString();
    }
    // The same surfaces in two languages: the tab bar, every tab's text and the faces differ.
    for (const char* name :
         {"settings-0-allgemein", "settings-2-finder", "status-menu", "badge-light", "widget-clock-1.0"}) {
        QImage german(folder + "/" + name + "-de.png"), english(folder + "/" + name + "-en.png");
        EXPECT_FALSE(german.isNull()) << name;
        EXPECT_NE(german, english) << name;
    }
}

TEST(Snapshot, ReportsAFolderItCannotCreate) {
    auto result = qt::writeSnapshots("/proc/larkspire-darf-hier-nicht");
    EXPECT_TRUE(result.written.isEmpty());
    EXPECT_FALSE(result.failed.isEmpty());
}

}  // namespace
