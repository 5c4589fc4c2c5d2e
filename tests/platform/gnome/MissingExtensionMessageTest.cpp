#include "platform/gnome/ShellExtensionLink.h"

#include <gtest/gtest.h>

namespace larkspire::gnome {
namespace {

const char* const loss =
    "ausgeschnittene Dateien sieht Larkspire nur, solange eines seiner Fenster den Fokus hat";

// Each state of the extension, as GNOME Shell reports it, says what is wrong and what the user loses.
TEST(MissingExtensionMessage, SaysWhatIsWrongAndWhatIsLost) {
    struct Case {
        std::optional<double> state;
        std::string says;
    };
    for (const auto& [state, says] : std::vector<Case>{
             {std::nullopt, "GNOME Shell ohne die Larkspire-Erweiterung"},
             {2.0, "ist ausgeschaltet"},
             {6.0, "ist ausgeschaltet"},
             {3.0, "meldet einen Fehler (kaputt )"},
             {4.0, "passt nicht zu GNOME Shell 47.1"},
             {99.0, "läuft nicht"},
         }) {
        auto message = missingExtensionMessage(state, "47.1", "kaputt\n");
        ASSERT_TRUE(message.has_value()) << says;
        EXPECT_NE(message->find(says), std::string::npos) << *message;
        EXPECT_NE(message->find(loss), std::string::npos) << *message;
    }
    EXPECT_EQ(missingExtensionMessage(1.0, "43.9", ""), std::nullopt);  // enabled: nothing to say
}

// The Shell's texts reach the log on one line and bounded, whatever they hold.
TEST(MissingExtensionMessage, KeepsTheShellsTextsOnOneBoundedLine) {
    auto message = missingExtensionMessage(3.0, "", std::string(5000, 'x') + "\n\x1b[31m");
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->find('\n'), std::string::npos);
    EXPECT_EQ(message->find('\x1b'), std::string::npos);
    EXPECT_LT(message->size(), 600u);
}

}  // namespace
}  // namespace larkspire::gnome
