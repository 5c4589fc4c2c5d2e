#include "app/Settings.h"

#include "platform/sim/MemoryDefaults.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace larkspire;

namespace {

struct NameCase {
    std::optional<std::string> stored;
    std::string expected;
};

// Control bytes are shown escaped so every case keeps a one-line name.
void PrintTo(const NameCase& n, std::ostream* out) {
    if (!n.stored) {
        *out << "nothing stored";
        return;
    }
    *out << '"';
    for (unsigned char ch : *n.stored) {
        if (ch >= 0x20) {
            *out << static_cast<char>(ch);
        } else {
            const char* hex = "0123456789ABCDEF";
            *out << "\\x" << hex[ch >> 4] << hex[ch & 15];
        }
    }
    *out << '"';
}

class FileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameTest, UsesTheCleanedStoredNameOrTheDefault) {
    sim::MemoryDefaults defaults;
    if (GetParam().stored) defaults.set(Settings::fileNameKey, Value(*GetParam().stored));
    EXPECT_EQ(Settings::fileName(defaults), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    StoredNames, FileNameTest,
    ::testing::Values(NameCase{std::nullopt, "Neu.txt"}, NameCase{"  Notiz.md \n", "Notiz.md"},
                      NameCase{"   ", "Neu.txt"}, NameCase{".", "Neu.txt"}, NameCase{"..", "Neu.txt"},
                      NameCase{"a/b.txt", "Neu.txt"}, NameCase{"Bericht:2024.txt", "Neu.txt"},
                      NameCase{".env", ".env"}, NameCase{"...a", "...a"},
                      NameCase{"Mein Text.txt", "Mein Text.txt"},
                      NameCase{"\u00A0\u3000Brief.odt\u2028", "Brief.odt"}, NameCase{"", "Neu.txt"},
                      NameCase{std::string("a\0b.txt", 7), "Neu.txt"}, NameCase{"Straße.txt", "Straße.txt"}));

TEST(FileName, IgnoresAStoredValueThatIsNotText) {
    sim::MemoryDefaults defaults;
    defaults.set(Settings::fileNameKey, Value(42));
    EXPECT_EQ(Settings::fileName(defaults), "Neu.txt");
    EXPECT_EQ(defaults.object(Settings::fileNameKey), Value(42));  // not rewritten
}

TEST(Sanitized, OfNothingIsNothing) {
    EXPECT_EQ(Settings::sanitized(std::nullopt), std::nullopt);
}

TEST(RegisteredDefaults, ReadAsTheUserExpectsOnAFreshStore) {
    sim::MemoryDefaults defaults;
    defaults.registerDefaults(Settings::registeredDefaults());
    for (auto key : {"finderCutPaste", "showSelectionSize", "autoMountShares", "systemMonitorTemperature"})
        EXPECT_TRUE(defaults.boolForKey(key)) << key;
    for (auto key : {"smoothScroll", "systemMonitor", "clockWidget", "openAfterCreate"})
        EXPECT_FALSE(defaults.boolForKey(key)) << key;
    EXPECT_EQ(defaults.object("systemMonitorScale"), Value(1.0));
    EXPECT_EQ(defaults.object("clockWidgetScale"), Value(0.6));
    EXPECT_TRUE(defaults.object("systemMonitorScale")->is<double>());
    EXPECT_EQ(defaults.registrationOrder(),
              (std::vector<std::string>{"finderCutPaste", "showSelectionSize", "autoMountShares",
                                        "smoothScroll", "systemMonitor", "systemMonitorScale", "clockWidget",
                                        "clockWidgetScale", "systemMonitorTemperature"}));
    EXPECT_TRUE(defaults.stored().empty());
}

}  // namespace
