#include "platform/linux/FileManagerIntegrations.h"

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
}

}  // namespace
