#include "platform/linux/files/AutostartLoginItem.h"
#include "platform/linux/files/JsonDefaults.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

using namespace larkspire::linux_desktop;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name(name) {
        if (const char* old = std::getenv(name)) saved = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (saved)
            ::setenv(name, saved->c_str(), 1);
        else
            ::unsetenv(name);
    }

  private:
    const char* name;
    std::optional<std::string> saved;
};

struct Environment {
    std::optional<std::string> configHome;
    std::string settingsFile;
};

void PrintTo(const Environment& e, std::ostream* out) {
    *out << "XDG_CONFIG_HOME " << e.configHome.value_or("unset");
}

class SettingsLocationTest : public ::testing::TestWithParam<Environment> {};

TEST_P(SettingsLocationTest, FollowsXdgConfigHomeOnlyWhenItIsAbsolute) {
    ScopedVariable home("HOME", "/home/anna");
    ScopedVariable config("XDG_CONFIG_HOME", GetParam().configHome);
    EXPECT_EQ(JsonDefaults::userFile(), GetParam().settingsFile);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, SettingsLocationTest,
    ::testing::Values(Environment{"/srv/conf", "/srv/conf/larkspire/settings.json"},
                      Environment{std::nullopt, "/home/anna/.config/larkspire/settings.json"},
                      Environment{"", "/home/anna/.config/larkspire/settings.json"},
                      Environment{"conf", "/home/anna/.config/larkspire/settings.json"}));

TEST(SettingsLocation, WithoutHomeTheAccountsHomeFolderIsUsed) {
    ScopedVariable home("HOME", std::nullopt);
    ScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
    auto file = JsonDefaults::userFile();
    EXPECT_TRUE(file.is_absolute());
    EXPECT_TRUE(file.string().ends_with("/.config/larkspire/settings.json")) << file;
}

TEST(AutostartLocationFromEnvironment, IsTheAutostartFolderOfTheSameConfigHome) {
    ScopedVariable home("HOME", "/home/anna");
    ScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(AutostartLoginItem().entryFile(), "/home/anna/.config/autostart/larkspire.desktop");
}

}  // namespace
