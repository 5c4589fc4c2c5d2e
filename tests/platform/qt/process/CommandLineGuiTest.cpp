#include "platform/qt/process/CommandLine.h"
#include "support/TemporaryFolder.h"

#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>

using larkspire::qt::CommandLine;

namespace {

struct Run {
    int status;
    QString out, err;
};

Run larkspire(const QStringList& arguments, const QString& folder = {}) {
    QProcess process;
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(QString(LARKSPIRE_BUILD_DIR) + "/larkspire", arguments);
    process.waitForFinished(10000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

CommandLine parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "larkspire");
    return CommandLine::parse(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, HelpAndVersionAnswerOnTheTerminalAndStop) {
    auto help = larkspire({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Aufruf: larkspire [URL …]\n")) << help.out.toStdString();
    EXPECT_EQ(larkspire({"-h"}).out, help.out);

    auto version = larkspire({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "larkspire " LARKSPIRE_VERSION "\n");
    // Help wins wherever it stands, as it does in other programs.
    EXPECT_EQ(larkspire({"quirefold://create", "--help"}).out, help.out);
}

TEST(CommandLine, AnUnknownOptionOrMissingValueFailsWithTheUsage) {
    for (QStringList arguments : {QStringList{"--verbose"}, QStringList{"--snapshot"}}) {
        auto run = larkspire(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("Aufruf: larkspire")) << run.err.toStdString();
    }
}

TEST(CommandLine, SizeFollowsLinksBeforeDotDotAsTheKernelDoes) {
    larkspire::testing::TemporaryFolder tmp;
    tmp.file("b/small", std::string(10, 'x'));
    tmp.file("elsewhere/target/inner", std::string(5000, 'x'));
    tmp.file("elsewhere/big", std::string(70000, 'x'));
    std::filesystem::create_directory_symlink(tmp / "elsewhere/target", tmp / "b/link");
    QString folder = QString::fromStdString(tmp.path().string());
    // "b/link/.." is the folder above the link's target, not "b".
    auto viaLink = larkspire({"--size", "b/link/.."}, folder);
    EXPECT_EQ(viaLink.status, 0) << viaLink.err.toStdString();
    EXPECT_EQ(viaLink.out, larkspire({"--size", "elsewhere"}, folder).out);
    EXPECT_NE(viaLink.out, larkspire({"--size", "b"}, folder).out);
    // The link itself is counted as a link, as du does; with a slash it names its folder.
    EXPECT_EQ(larkspire({"--size", "b/link/"}, folder).out,
              larkspire({"--size", "elsewhere/target"}, folder).out);
}

TEST(CommandLine, UrlsStayUrls) {
    auto line = parse({"quirefold://create?dir=/tmp/a%20b", "--", "-kein-schalter", "quirefold://favorite"});
    EXPECT_EQ(line.task, CommandLine::Task::run);
    EXPECT_EQ(line.urls, (std::vector<std::string>{"quirefold://create?dir=/tmp/a%20b", "-kein-schalter",
                                                   "quirefold://favorite"}));
    EXPECT_EQ(parse({"--snapshot", "/tmp/a", "--help"}).task, CommandLine::Task::help);
    EXPECT_EQ(parse({"--snapshot", "/tmp/a", "quirefold://create"}).task, CommandLine::Task::broken);
}

}  // namespace
