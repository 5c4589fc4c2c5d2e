#include "platform/linux/files/JsonDefaults.h"

#include "app/Settings.h"
#include "platform/sim/Recorders.h"
#include "support/AsUnprivilegedUser.h"
#include "support/TemporaryFolder.h"

#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace larkspire;
using larkspire::linux_desktop::JsonDefaults;
using larkspire::testing::asUnprivilegedUser;
using larkspire::testing::readText;
using larkspire::testing::TemporaryFolder;
using larkspire::testing::writeText;

namespace {

struct FixedClock : Clock {
    double uptime() const override { return 5; }
    double wallTime() const override { return 1'796'000'000.0; }  // 2026-11-30 00:53:20 UTC
};

class JsonDefaultsTest : public ::testing::Test {
  protected:
    std::filesystem::path file() const { return folder / "larkspire/settings.json"; }
    // A new store on the same file, as the next start of the program makes it.
    std::unique_ptr<JsonDefaults> start() {
        auto store = std::make_unique<JsonDefaults>(file(), log, clock);
        store->registerDefaults(Settings::registeredDefaults());
        return store;
    }
    std::vector<std::filesystem::path> filesBesideTheStore() const {
        std::vector<std::filesystem::path> found;
        for (auto& entry : std::filesystem::directory_iterator(file().parent_path()))
            found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    }
    int errorsLogged() const {
        int n = 0;
        for (auto& line : log.lines) n += line.category == "settings" && line.level == LogLevel::error;
        return n;
    }

    TemporaryFolder folder;
    sim::RecordingLog log;
    FixedClock clock;
};

TEST_F(JsonDefaultsTest, AStoredValueWinsOverTheRegisteredDefaultAcrossARestart) {
    start()->setBool(Settings::cutPasteKey, false);
    auto store = start();
    EXPECT_FALSE(store->boolForKey(Settings::cutPasteKey));
    EXPECT_TRUE(store->boolForKey(Settings::selectionSizeKey));
    EXPECT_EQ(store->object(Settings::cutPasteKey), Value(false));
}

TEST_F(JsonDefaultsTest, AMissingFileMeansNothingStoredAndReadingCreatesNothing) {
    auto store = start();
    EXPECT_EQ(store->object(Settings::fileNameKey), std::nullopt);
    EXPECT_EQ(store->object(Settings::clockWidgetScaleKey), Value(0.6));
    store->remove(Settings::cutPathsKey);
    EXPECT_FALSE(std::filesystem::exists(file().parent_path()));
    EXPECT_EQ(errorsLogged(), 0);
}

TEST_F(JsonDefaultsTest, RegisteredDefaultsAreNeverWritten) {
    auto store = start();
    store->set(Settings::fileNameKey, Value("Notiz.md"));
    auto json = nlohmann::json::parse(readText(file()));
    EXPECT_EQ(json, nlohmann::json::parse(R"({"fileName": "Notiz.md"})"));
}

TEST_F(JsonDefaultsTest, RemoveBringsBackTheRegisteredDefaultAndLastsAcrossARestart) {
    auto store = start();
    store->set(Settings::smoothScrollKey, Value(true));
    store->set(Settings::cutPathsKey, Value::stringList({"/a"}));
    store->remove(Settings::smoothScrollKey);
    EXPECT_EQ(store->object(Settings::smoothScrollKey), Value(false));

    auto again = start();
    EXPECT_EQ(again->object(Settings::smoothScrollKey), Value(false));
    EXPECT_EQ(again->stringListForKey(Settings::cutPathsKey), std::vector<std::string>{"/a"});
    again->remove(Settings::cutPathsKey);
    EXPECT_EQ(nlohmann::json::parse(readText(file())), nlohmann::json::object());
}

TEST_F(JsonDefaultsTest, ValuesKeepTheirTypesAcrossARestart) {
    const Value::Dictionary favorite{{"shareURL", Value("smb://nas/Daten")}, {"name", Value("Daten")}};
    const Value::Dictionary looksLikeATag{{"$data", Value("QUJD")}};
    const std::map<std::string, Value> values{
        {"scale", Value(1.0)},
        {"fraction", Value(0.6)},
        {"tiny", Value(5e-324)},
        {"negativeZero", Value(-0.0)},
        {"count", Value(std::int64_t{-9'000'000'000'000'000'000})},
        {"flag", Value(true)},
        {"bytes", Value(Data{{0x00, 0xFF, 0x80, 0x0A, 0x22}})},
        {"noBytes", Value(Data{})},
        {"text", Value("Größe „Übersicht“ – fertig…")},
        {"notUtf8", Value(std::string("/home/a/\xE4rger.txt"))},
        {"withNul", Value(std::string("a\0b", 3))},
        {"nested", Value(Value::List{Value(Value::List{Value(1), Value(2.0)}), Value(favorite)})},
        {"looksLikeATag", Value(looksLikeATag)},
        {"emptyList", Value(Value::List{})},
    };
    {
        auto store = start();
        for (auto& [key, value] : values) store->set(key, value);
    }
    auto store = start();
    for (auto& [key, value] : values) {
        auto read = store->object(key);
        ASSERT_TRUE(read) << key;
        EXPECT_EQ(*read, value) << key;
        EXPECT_EQ(read->variant().index(), value.variant().index()) << key;
    }
    EXPECT_TRUE(std::signbit(*store->object("negativeZero")->get<double>()));
    EXPECT_EQ(errorsLogged(), 0);
}

TEST_F(JsonDefaultsTest, NonFiniteDoublesDoNotSpoilTheFile) {
    {
        auto store = start();
        store->set("nan", Value(std::numeric_limits<double>::quiet_NaN()));
        store->set("inf", Value(std::numeric_limits<double>::infinity()));
        store->set("minusInf", Value(-std::numeric_limits<double>::infinity()));
        store->set(Settings::cutPathsKey, Value::stringList({"/x"}));
    }
    EXPECT_FALSE(nlohmann::json::parse(readText(file())).is_discarded());
    auto store = start();
    EXPECT_TRUE(std::isnan(store->doubleForKey("nan")));
    EXPECT_EQ(store->doubleForKey("inf"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(store->doubleForKey("minusInf"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(store->stringListForKey(Settings::cutPathsKey), std::vector<std::string>{"/x"});
}

TEST_F(JsonDefaultsTest, CutPathsIsAPlainArrayOfStringsForOtherPrograms) {
    const std::vector<std::string> paths{"/Users/anna/Bericht „final“.pdf", "/Users/anna/Ärger.txt"};
    start()->set(Settings::cutPathsKey, Value::stringList(paths));
    auto text = readText(file());
    auto json = nlohmann::json::parse(text);
    ASSERT_TRUE(json["cutPaths"].is_array());
    EXPECT_EQ(json["cutPaths"].get<std::vector<std::string>>(), paths);
    EXPECT_NE(text.find('\n'), text.size() - 1) << "the file is indented for people to read";
}

TEST_F(JsonDefaultsTest, AWholeNumberDoubleIsWrittenAsAFloatingPointNumber) {
    start()->set(Settings::systemMonitorScaleKey, Value(2.0));
    auto json = nlohmann::json::parse(readText(file()));
    EXPECT_TRUE(json["systemMonitorScale"].is_number_float());
}

struct CorruptCase {
    std::string name;
    std::string contents;
};

void PrintTo(const CorruptCase& c, std::ostream* out) {
    *out << c.name;
}

class CorruptFileTest : public JsonDefaultsTest, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptFileTest, IsKeptAsideLoggedAndTheDefaultsApply) {
    writeText(file(), GetParam().contents);
    auto store = start();

    auto aside = file().string() + ".corrupt-20261130-005320";
    ASSERT_TRUE(std::filesystem::exists(aside));
    EXPECT_EQ(readText(aside), GetParam().contents);
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(errorsLogged(), 1);
    EXPECT_TRUE(store->boolForKey(Settings::cutPasteKey));
    EXPECT_EQ(store->object(Settings::fileNameKey), std::nullopt);

    store->setBool(Settings::smoothScrollKey, true);
    EXPECT_EQ(readText(aside), GetParam().contents);
    EXPECT_TRUE(start()->boolForKey(Settings::smoothScrollKey));
}

INSTANTIATE_TEST_SUITE_P(
    Contents, CorruptFileTest,
    ::testing::Values(CorruptCase{"BrokenJson", R"({"fileName": "Notiz.md")"},
                      CorruptCase{"NotAnObject", R"(["finderCutPaste", false])"}, CorruptCase{"Empty", ""},
                      CorruptCase{"TrailingGarbage", R"({"smoothScroll": true} x)"},
                      CorruptCase{"NestedTooDeep", std::string(100000, '[') + std::string(100000, ']')},
                      CorruptCase{"Binary", std::string("\x00\x01\xFF{", 4)}),
    [](const auto& info) { return info.param.name; });

TEST_F(JsonDefaultsTest, AFolderInPlaceOfTheFileIsMovedAsideWithItsContents) {
    writeText(file() / "inside.txt", "behalten");
    auto store = start();
    EXPECT_EQ(readText(file().string() + ".corrupt-20261130-005320/inside.txt"), "behalten");
    EXPECT_EQ(errorsLogged(), 1);
    store->setBool(Settings::clockWidgetKey, true);
    EXPECT_TRUE(start()->boolForKey(Settings::clockWidgetKey));
}

TEST_F(JsonDefaultsTest, APipeInPlaceOfTheFileDoesNotHangTheStart) {
    std::filesystem::create_directories(file().parent_path());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    auto store = start();
    EXPECT_EQ(errorsLogged(), 1);
    EXPECT_TRUE(std::filesystem::is_fifo(file().string() + ".corrupt-20261130-005320"));
}

TEST_F(JsonDefaultsTest, ASecondCorruptFileInTheSameSecondDoesNotReplaceTheFirst) {
    writeText(file(), "eins");
    start();
    writeText(file(), "zwei");
    start();
    auto aside = file().string() + ".corrupt-20261130-005320";
    EXPECT_EQ(readText(aside), "eins");
    EXPECT_EQ(readText(aside + "-2"), "zwei");
}

TEST_F(JsonDefaultsTest, ACorruptFileThatCannotBeKeptAsideIsNeverOverwritten) {
    auto aside = file().string() + ".corrupt-20261130-005320";
    writeText(aside, "alt");
    for (int n = 2; n <= 100; ++n) writeText(aside + "-" + std::to_string(n), "alt");
    writeText(file(), "{kaputt");

    auto store = start();
    store->setBool(Settings::smoothScrollKey, true);

    EXPECT_EQ(readText(file()), "{kaputt");
    EXPECT_EQ(errorsLogged(), 1);
    EXPECT_TRUE(store->boolForKey(Settings::smoothScrollKey));  // the running program still sees it
    EXPECT_TRUE(store->boolForKey(Settings::cutPasteKey));
}

// Lowers the largest file this process may write, so writing fails as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

  private:
    rlimit saved{};
    void (*previousHandler)(int);
};

TEST_F(JsonDefaultsTest, AFailedWriteLeavesTheOldFileAndIsLogged) {
    auto store = start();
    store->set(Settings::fileNameKey, Value("Notiz.md"));
    auto before = readText(file());
    {
        FileSizeLimit full(before.size() + 10);
        store->set(Settings::cutPathsKey, Value::stringList({std::string(4096, 'a')}));
    }
    EXPECT_EQ(readText(file()), before);
    EXPECT_EQ(errorsLogged(), 1);
    EXPECT_EQ(filesBesideTheStore(), std::vector<std::filesystem::path>{file()}) << "no temporary file left";
    // The running program still sees what it wrote, and the next write stores everything.
    EXPECT_TRUE(store->stringListForKey(Settings::cutPathsKey));
    store->setBool(Settings::smoothScrollKey, true);
    EXPECT_EQ(start()->stringListForKey(Settings::cutPathsKey)->size(), 1u);
}

TEST_F(JsonDefaultsTest, AValueTooBigToReadBackIsRefusedAndEveryOtherSettingStays) {
    auto store = start();
    store->set(Settings::fileNameKey, Value("Notiz.md"));
    // Control characters take six bytes each in the file: 11 MB of them would make a 66 MB file.
    store->set(Settings::cutPathsKey, Value::stringList({"/" + std::string(11 << 20, '\x01')}));
    EXPECT_EQ(errorsLogged(), 1);
    EXPECT_LT(std::filesystem::file_size(file()), 1024u);
    auto next = start();
    EXPECT_EQ(next->stringForKey(Settings::fileNameKey), "Notiz.md");
    EXPECT_FALSE(next->stringListForKey(Settings::cutPathsKey));
    // Later writes are not held back by the refused one.
    store->setBool(Settings::smoothScrollKey, true);
    EXPECT_TRUE(start()->boolForKey(Settings::smoothScrollKey));
}

TEST_F(JsonDefaultsTest, WritingThroughALinkUpdatesTheLinkedFile) {
    auto real = folder / "dotfiles/settings.json";
    writeText(real, R"({"fileName": "Alt.txt"})");
    std::filesystem::create_directories(file().parent_path());
    std::filesystem::create_symlink(real, file());
    start()->set(Settings::fileNameKey, Value("Neu.md"));
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(start()->stringForKey(Settings::fileNameKey), "Neu.md");
    EXPECT_EQ(nlohmann::json::parse(readText(real))["fileName"], "Neu.md");
}

TEST_F(JsonDefaultsTest, AHandEditWhileRunningIsSeenAndSurvivesTheNextWrite) {
    auto store = start();
    store->set(Settings::fileNameKey, Value("Alt.txt"));
    writeText(file(), R"({"fileName": "Von Hand.txt", "clockWidget": true})");
    EXPECT_EQ(store->stringForKey(Settings::fileNameKey), "Von Hand.txt");

    store->setBool(Settings::smoothScrollKey, true);
    auto json = nlohmann::json::parse(readText(file()));
    EXPECT_EQ(json, nlohmann::json::parse(R"({"fileName": "Von Hand.txt", "clockWidget": true,
                                              "smoothScroll": true})"));
}

TEST_F(JsonDefaultsTest, TwoStoresOnOneFileBothKeepTheirKeys) {
    auto first = start();
    auto second = start();
    first->set(Settings::fileNameKey, Value("Eins.txt"));
    second->setBool(Settings::smoothScrollKey, true);
    first->remove(Settings::clockWidgetKey);
    second->set(Settings::clockWidgetScaleKey, Value(0.8));
    EXPECT_EQ(second->stringForKey(Settings::fileNameKey), "Eins.txt");
    auto after = start();
    EXPECT_EQ(after->stringForKey(Settings::fileNameKey), "Eins.txt");
    EXPECT_TRUE(after->boolForKey(Settings::smoothScrollKey));
    EXPECT_EQ(after->doubleForKey(Settings::clockWidgetScaleKey), 0.8);
}

TEST_F(JsonDefaultsTest, ALatin1ByteInAHandEditedValueKeepsEverySetting) {
    writeText(file(), "{\"fileName\": \"Gr\xF6\xDF"
                      "e.txt\", \"smoothScroll\": true}");
    auto store = start();
    EXPECT_EQ(store->stringForKey(Settings::fileNameKey), "Gr\xF6\xDF"
                                                          "e.txt");
    EXPECT_TRUE(store->boolForKey(Settings::smoothScrollKey));
    EXPECT_EQ(errorsLogged(), 0);
    store->setBool(Settings::clockWidgetKey, true);
    EXPECT_EQ(start()->stringForKey(Settings::fileNameKey), "Gr\xF6\xDF"
                                                            "e.txt");
    EXPECT_EQ(filesBesideTheStore(), std::vector<std::filesystem::path>{file()});
}

TEST_F(JsonDefaultsTest, KeysThatAreNotUtf8SurviveARestartAndTheFileStaysUtf8) {
    Value::Dictionary inner{{"Gr\xF6\xDF"
                             "e",
                             Value(1)},
                            {"$key:AAAA", Value(2)}};
    auto store = start();
    store->set("\xFFoben", Value(true));
    store->set("$key:", Value("kein Etikett"));
    store->set("innen", Value(inner));
    auto again = start();
    EXPECT_EQ(again->object("\xFFoben"), Value(true));
    EXPECT_EQ(again->object("$key:"), Value("kein Etikett"));
    EXPECT_EQ(again->object("innen"), Value(inner));
    EXPECT_FALSE(nlohmann::json::parse(readText(file()), nullptr, false).is_discarded());
}

TEST_F(JsonDefaultsTest, AFileThatCannotBeReadStaysWhereItIsAndIsNeverWritten) {
    writeText(file(), R"({"fileName": "Geheim.txt"})");
    ::chmod(file().c_str(), 0);
    // Root reads any file; the store runs as a plain user who owns the file and its folder.
    ::chmod(folder.path().c_str(), 0755);
    for (const auto& owned : {file().parent_path(), file()}) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(owned.c_str(), 65534, 65534), 0);
        }
    }
    auto seen = asUnprivilegedUser([&] {
        auto store = start();
        store->setBool(Settings::smoothScrollKey, true);
        return std::to_string(errorsLogged()) +
               (store->boolForKey(Settings::smoothScrollKey) ? " an" : " aus");
    });
    EXPECT_EQ(seen, "1 an");  // logged once; the running program still sees its change
    EXPECT_EQ(filesBesideTheStore(), std::vector<std::filesystem::path>{file()});
    ::chmod(file().c_str(), 0600);
    EXPECT_EQ(readText(file()), R"({"fileName": "Geheim.txt"})");
}

TEST_F(JsonDefaultsTest, ALinkedFileThatIsNoSettingsFileIsNeitherMovedNorReplaced) {
    auto real = folder / "etc/passwd";
    writeText(real, "root:x:0:0:root:/root:/bin/bash\n");
    std::filesystem::create_directories(file().parent_path());
    std::filesystem::create_symlink(real, file());
    auto store = start();
    store->setBool(Settings::smoothScrollKey, true);
    EXPECT_EQ(readText(real), "root:x:0:0:root:/root:/bin/bash\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real.parent_path()), {}), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(errorsLogged(), 1);
    EXPECT_TRUE(store->boolForKey(Settings::cutPasteKey));
}

TEST_F(JsonDefaultsTest, ALinkToAnotherUsersFileIsNeverFollowedForWriting) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
    auto foreign = folder / "fremd/settings.json";
    writeText(foreign, "{}\n");
    ::chmod(foreign.c_str(), 0666);  // writable by all, yet not the user's own
    ::chmod(foreign.parent_path().c_str(), 0777);
    ::chmod(folder.path().c_str(), 0755);
    std::filesystem::create_directories(file().parent_path());
    std::filesystem::create_symlink(foreign, file());
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file().parent_path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(::lchown(file().c_str(), 65534, 65534), 0);
    }
    auto errors = asUnprivilegedUser([&] {
        auto store = start();
        store->set(Settings::fileNameKey, Value("Gestohlen.txt"));
        return std::to_string(errorsLogged());
    });
    EXPECT_EQ(errors, "1");
    EXPECT_EQ(readText(foreign), "{}\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(foreign.parent_path()), {}), 1);
}

TEST_F(JsonDefaultsTest, ANewFileIsPrivateAndAnExistingOneKeepsItsPermissions) {
    start()->setBool(Settings::smoothScrollKey, true);
    EXPECT_EQ(std::filesystem::status(file()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::permissions(file(), std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::add);
    start()->setBool(Settings::smoothScrollKey, false);
    EXPECT_TRUE((std::filesystem::status(file()).permissions() & std::filesystem::perms::group_read) !=
                std::filesystem::perms::none);
}

TEST_F(JsonDefaultsTest, TemporaryFilesOfKilledWritersAreRemovedAndThoseOfRunningOnesKept) {
    auto dir = file().parent_path();
    // Beyond the largest process id Linux hands out, so no process has it.
    auto dead = dir / ".settings.json.tmp-4194305-abcdef";
    auto running = dir / (".settings.json.tmp-" + std::to_string(::getpid()) + "-abcdef");
    auto unrelated = dir / ".other.json.tmp-4194305-abcdef";
    for (auto& f : {dead, running, unrelated}) writeText(f, "{");
    start();
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_TRUE(std::filesystem::exists(unrelated));
}

TEST_F(JsonDefaultsTest, TwoProcessesWritingAtOnceNeverLeaveATornFile) {
    start()->setBool("ready", true);
    auto writer = [&](const std::string& prefix) {
        pid_t child = ::fork();
        if (child != 0) return child;
        JsonDefaults store(file(), log, clock);
        for (int i = 0; i < 150; ++i)
            store.set(prefix + std::to_string(i % 10), Value(std::string(500, 'x')));
        ::_exit(0);
    };
    pid_t first = writer("a");
    pid_t second = writer("b");
    int reads = 0, torn = 0;
    for (int running = 2; running > 0;) {
        auto json = nlohmann::json::parse(readText(file()), nullptr, false);
        ++reads;
        torn += !json.is_object();
        for (pid_t child : {first, second}) {
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) == child) --running;
        }
    }
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(filesBesideTheStore(), std::vector<std::filesystem::path>{file()});
}

}  // namespace
