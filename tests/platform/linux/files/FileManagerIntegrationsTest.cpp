#include "platform/linux/files/FileManagerIntegrations.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::linux_desktop::FileManagerIntegrations;
using larkspire::testing::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

// A user's home folder.
struct Integrations : ::testing::Test {
    FileManagerIntegrations::Places places() {
        return {.nautilusScript = home / ".local/share/nautilus/scripts/Neue Datei",
                .dolphinServiceMenus = {home / ".local/share/kio/servicemenus/larkspire-neue-datei.desktop"},
                .thunarActions = home / ".config/Thunar/uca.xml"};
    }
    TemporaryFolder home;
};

TEST_F(Integrations, AnyOneOfTheThreeCounts) {
    auto onlyThunar = places();
    home.file(".config/Thunar/uca.xml", "<actions><action><unique-id>other</unique-id></action></actions>");
    EXPECT_FALSE(FileManagerIntegrations(onlyThunar).isEnabled());
    home.file(".config/Thunar/uca.xml",
              "<actions><action><unique-id>larkspire-neue-datei</unique-id></action></actions>");
    EXPECT_TRUE(FileManagerIntegrations(onlyThunar).isEnabled());

    auto onlyDolphin = places();
    home.file("dolphin.desktop");
    onlyDolphin.thunarActions = home / "none.xml";
    onlyDolphin.dolphinServiceMenus = {home / "missing.desktop", home / "dolphin.desktop"};
    EXPECT_TRUE(FileManagerIntegrations(onlyDolphin).isEnabled());

    // Nautilus lists only scripts it may run.
    auto onlyNautilus = places();
    onlyNautilus.thunarActions = home / "none.xml";
    onlyNautilus.dolphinServiceMenus = {};
    home.file(".local/share/nautilus/scripts/Neue Datei", "#!/bin/sh\n");
    fs::permissions(onlyNautilus.nautilusScript, fs::perms(0644));
    EXPECT_FALSE(FileManagerIntegrations(onlyNautilus).isEnabled());
    fs::permissions(onlyNautilus.nautilusScript, fs::perms(0755));
    EXPECT_TRUE(FileManagerIntegrations(onlyNautilus).isEnabled());
}

// "Aktivieren…" tells the user what the installer did, and a failure never reads as success.
TEST_F(Integrations, ReportsWhatTheInstallerDidOrWhyItFailed) {
    struct Case {
        std::vector<std::string> command;
        bool succeeded;
        std::string output;
    };
    std::vector<Case> cases{
        {{"/bin/sh", "-c", "echo 'Eingerichtet: /a'; echo 'Eingerichtet: /b'"},
         true,
         "Eingerichtet: /a\nEingerichtet: /b"},
        {{"/bin/sh", "-c", "echo 'Eingerichtet: /a'; echo 'Thunar: uca.xml ist kaputt' >&2; exit 1"},
         false,
         "Eingerichtet: /a\nThunar: uca.xml ist kaputt"},
        {{"/bin/sh", "-c", "kill -9 $$"}, false, "Die Einrichtung ist fehlgeschlagen."},
        {{(home / "gibt-es-nicht").string()},
         false,
         "Die Einrichtung ließ sich nicht starten (" + (home / "gibt-es-nicht").string() +
             "): No such file or directory"},
        {{}, false, "Es ist kein Einrichtungsprogramm bekannt."},
    };
    for (const auto& each : cases) {
        auto where = places();
        where.installCommand = each.command;
        FileManagerIntegrations integrations(where);
        std::vector<FileManagerIntegrations::InstallReport> reports;
        integrations.setReportHandler([&](const auto& report) { reports.push_back(report); });
        integrations.showManagementInterface();
        ASSERT_EQ(reports.size(), 1u) << each.output;
        EXPECT_EQ(reports[0].succeeded, each.succeeded) << each.output;
        EXPECT_EQ(reports[0].output, each.output);
    }
}

}  // namespace
