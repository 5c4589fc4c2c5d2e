#include "app/Settings.h"
#include "support/AsUnprivilegedUser.h"
#include "support/SimApp.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::SimApp;
using larkspire::testing::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

// The file manager's right-click entry sends these requests; paths are percent-encoded.
std::string createRequest(std::optional<fs::path> dir, std::optional<fs::path> sel = std::nullopt) {
    std::string url = "quirefold://create";
    char separator = '?';
    for (auto [name, value] : {std::pair{"dir", dir}, std::pair{"sel", sel}}) {
        if (!value) continue;
        url += separator + std::string(name) + "=" + percentEncodedPath(value->string());
        separator = '&';
    }
    return url;
}

class NewFile : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.desktop.finderExtension.enabled = true;
        sim.launch();
    }
    void request(const std::string& url) { sim.app->openUrls({url}); }

    TemporaryFolder tmp;
    SimApp sim;
};

TEST_F(NewFile, AnEmptyFolderGetsAnEmptyNeuTxtAndNothingElseHappens) {
    auto folder = tmp.folder("Projekt Ä");
    request(createRequest(folder));
    ASSERT_TRUE(fs::exists(folder / "Neu.txt"));
    EXPECT_EQ(fs::file_size(folder / "Neu.txt"), 0u);
    EXPECT_TRUE(sim.desktop.alerts.shown.empty());
    EXPECT_TRUE(sim.desktop.workspace.opened.empty());
    EXPECT_EQ(sim.desktop.application.activations, 0);
}

TEST_F(NewFile, FreeLowerNumbersAreUsedFirst) {
    auto folder = tmp.folder("f");
    tmp.file("f/Neu.txt");
    tmp.file("f/Neu (2).txt");
    request(createRequest(folder));
    EXPECT_TRUE(fs::exists(folder / "Neu (1).txt"));
    request(createRequest(folder));
    EXPECT_TRUE(fs::exists(folder / "Neu (3).txt"));
}

TEST_F(NewFile, TheConfiguredNameIsNumberedLikeAnyOther) {
    auto folder = tmp.folder("f");
    sim.desktop.defaults.set(Settings::fileNameKey, Value("  Makefile "));
    request(createRequest(folder));
    request(createRequest(folder));
    EXPECT_TRUE(fs::exists(folder / "Makefile"));
    EXPECT_TRUE(fs::exists(folder / "Makefile (1)"));

    sim.desktop.defaults.set(Settings::fileNameKey, Value(".env"));
    request(createRequest(folder));
    request(createRequest(folder));
    EXPECT_TRUE(fs::exists(folder / ".env"));
    EXPECT_TRUE(fs::exists(folder / ".env (1)"));

    sim.desktop.defaults.set(Settings::fileNameKey,
                             Value("../ausbruch.txt"));  // rejected: the default is used
    request(createRequest(folder));
    EXPECT_TRUE(fs::exists(folder / "Neu.txt"));
}

TEST_F(NewFile, ASelectedFolderWinsOverTheShownOne) {
    auto shown = tmp.folder("shown");
    auto inner = tmp.folder("shown/inner");
    request(createRequest(shown, inner));
    EXPECT_TRUE(fs::exists(inner / "Neu.txt"));
    EXPECT_FALSE(fs::exists(shown / "Neu.txt"));
}

TEST_F(NewFile, ASelectedFileNeverOverridesTheShownFolder) {
    auto shown = tmp.folder("shown");
    auto elsewhere = tmp.file("elsewhere/notes.md");
    request(createRequest(shown, elsewhere));
    EXPECT_TRUE(fs::exists(shown / "Neu.txt"));
    EXPECT_FALSE(fs::exists(tmp / "elsewhere/Neu.txt"));
}

TEST_F(NewFile, WithoutAShownFolderTheFileGoesNextToTheSelectedOne) {
    auto selected = tmp.file("docs/notes.md");
    request(createRequest(std::nullopt, selected));
    EXPECT_TRUE(fs::exists(tmp / "docs/Neu.txt"));

    // A selection that does not exist (any more) still names its folder.
    request(createRequest(std::nullopt, tmp / "docs/gone.txt"));
    EXPECT_TRUE(fs::exists(tmp / "docs/Neu (1).txt"));
}

TEST_F(NewFile, ASelectedPackageCountsAsAFile) {
    auto shown = tmp.folder("Programme");
    auto package = tmp.folder("Programme/Rechner.app");
    request(createRequest(shown, package));
    EXPECT_TRUE(fs::exists(shown / "Neu.txt"));
    EXPECT_FALSE(fs::exists(package / "Neu.txt"));

    request(createRequest(std::nullopt, package.string() + "/"));
    EXPECT_TRUE(fs::exists(shown / "Neu (1).txt"));
}

TEST_F(NewFile, TheFirstValueOfARepeatedItemCountsAndEmptyOnesAreIgnored) {
    auto first = tmp.folder("first");
    auto second = tmp.folder("second");
    request("quirefold://create?dir&dir=" + percentEncodedPath(first.string()) +
            "&dir=" + percentEncodedPath(second.string()) + "&other=1");
    EXPECT_TRUE(fs::exists(first / "Neu.txt"));
    EXPECT_FALSE(fs::exists(second / "Neu.txt"));
}

TEST_F(NewFile, ARequestWithoutAPlaceDoesNothing) {
    request("quirefold://create");
    request("quirefold://create?sel=&dir=");
    request("quirefold://create?dir=relative/folder");  // would land in the program's working directory
    EXPECT_TRUE(sim.desktop.alerts.shown.empty());
    EXPECT_FALSE(fs::exists("relative/folder/Neu.txt"));
}

TEST_F(NewFile, AFolderNameThatIsNotUtf8IsStillAPlace) {
    auto latin1 = tmp.folder("Gr\xF6\xDF"
                             "e");
    request(createRequest(latin1));
    EXPECT_TRUE(fs::exists(latin1 / "Neu.txt"));
    request(createRequest(std::nullopt, latin1));
    EXPECT_TRUE(fs::exists(latin1 / "Neu (1).txt"));
    EXPECT_TRUE(sim.desktop.alerts.shown.empty());
}

TEST_F(NewFile, APathNoFolderCanHaveIsRefusedWithAnAlert) {
    auto folder = tmp.folder("f");
    request("quirefold://create?dir=" + percentEncodedPath(folder.string()) + "%00x");
    EXPECT_FALSE(fs::exists(folder / "Neu.txt"));
    ASSERT_EQ(sim.desktop.alerts.shown.size(), 1u);
    EXPECT_EQ(sim.desktop.alerts.shown[0].message, "Datei konnte nicht erstellt werden");
    EXPECT_EQ(sim.desktop.alerts.shown[0].informativeText,
              folder.string() + "\n\nDer Pfad enthält ein NUL-Byte.");
}

TEST_F(NewFile, OpensTheNewFileWhenAsked) {
    auto folder = tmp.folder("f");
    sim.desktop.defaults.setBool(Settings::openAfterCreateKey, true);
    sim.desktop.workspace.opens = false;  // a failure to open is ignored
    request(createRequest(folder));
    ASSERT_EQ(sim.desktop.workspace.opened.size(), 1u);
    EXPECT_EQ(sim.desktop.workspace.opened[0].path(), (folder / "Neu.txt").string());
    EXPECT_TRUE(sim.desktop.alerts.shown.empty());
}

TEST_F(NewFile, AMissingFolderIsReportedWithItsPathAndTheSystemsReason) {
    auto missing = tmp / "weg";
    request(createRequest(missing));
    ASSERT_EQ(sim.desktop.alerts.shown.size(), 1u);
    EXPECT_EQ(sim.desktop.alerts.shown[0].message, "Datei konnte nicht erstellt werden");
    EXPECT_EQ(sim.desktop.alerts.shown[0].informativeText,
              missing.string() + "\n\nNo such file or directory");
    EXPECT_TRUE(sim.desktop.workspace.opened.empty());
}

TEST_F(NewFile, AFullFolderIsReportedAsFileExists) {
    auto folder = tmp.folder("voll");
    for (int index = 0; index < 10000; ++index)
        tmp.file("voll/" + std::string(index ? "Neu (" + std::to_string(index) + ").txt" : "Neu.txt"), "");
    request(createRequest(folder));
    ASSERT_EQ(sim.desktop.alerts.shown.size(), 1u);
    EXPECT_EQ(sim.desktop.alerts.shown[0].informativeText, folder.string() + "\n\nFile exists");
}

TEST_F(NewFile, AReadOnlyFolderIsReportedAsPermissionDenied) {
    fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    auto folder = tmp.folder("nur lesen");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    auto url = createRequest(folder);
    auto informative = larkspire::testing::asUnprivilegedUser([&] {
        SimApp child;
        child.launch();
        child.app->openUrls({url});
        return child.desktop.alerts.shown.size() == 1 ? child.desktop.alerts.shown[0].informativeText : "";
    });
    ASSERT_TRUE(informative.has_value());
    EXPECT_EQ(*informative, folder.string() + "\n\nPermission denied");
}

TEST_F(NewFile, SeveralUrlsAreHandledInOrderAndOthersIgnored) {
    auto a = tmp.folder("a");
    tmp.folder("a/b");
    sim.app->openUrls({
        "https://create/?dir=" + percentEncodedPath(a.string()),
        "Quirefold://create?dir=" + percentEncodedPath(a.string()),
        "quirefold://erstellen?dir=" + percentEncodedPath(a.string()),
        "quirefold:create?dir=" + percentEncodedPath(a.string()),
        createRequest(tmp / "fehlt"),
        "nicht einmal eine URL",
        createRequest(a),
        createRequest(a / "b"),
        createRequest(a),
    });
    EXPECT_EQ(sim.desktop.alerts.shown.size(), 1u);  // the missing folder, and the others still ran
    EXPECT_TRUE(fs::exists(a / "Neu.txt"));
    EXPECT_TRUE(fs::exists(a / "b/Neu.txt"));
    EXPECT_TRUE(fs::exists(a / "Neu (1).txt"));
    EXPECT_FALSE(fs::exists(a / "Neu (2).txt"));
}

TEST_F(NewFile, ARequestArrivingWhileAnAlertIsUpWaitsForTheUrlsBeforeIt) {
    auto a = tmp.folder("a");
    auto b = tmp.folder("b");
    std::vector<bool> earlierRequestDoneAtAlert;
    bool delivered = false;
    sim.desktop.alerts.whileShown = [&] {
        earlierRequestDoneAtAlert.push_back(fs::exists(a / "Neu.txt"));
        if (delivered) return;
        delivered = true;
        // The user asks again while the first alert is still open.
        sim.app->openUrls({createRequest(tmp / "fehlt auch"), createRequest(b)});
        EXPECT_FALSE(fs::exists(b / "Neu.txt"));
    };
    sim.app->openUrls({createRequest(tmp / "fehlt"), createRequest(a)});

    ASSERT_EQ(sim.desktop.alerts.shown.size(), 2u);
    EXPECT_EQ(sim.desktop.alerts.shown[0].informativeText.find((tmp / "fehlt").string()), 0u);
    EXPECT_EQ(sim.desktop.alerts.shown[1].informativeText.find((tmp / "fehlt auch").string()), 0u);
    // The second alert came only after the rest of the first request was done.
    EXPECT_EQ(earlierRequestDoneAtAlert, (std::vector<bool>{false, true}));
    EXPECT_TRUE(fs::exists(b / "Neu.txt"));
}

}  // namespace
