#include "platform/linux/system/SystemLog.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using larkspire::Logger;
using larkspire::linux_desktop::SystemLog;

namespace {

// What a SystemLog writing to a stream put there.
class StreamLog : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(stream, nullptr); }
    void TearDown() override {
        if (stream) std::fclose(stream);
    }
    std::string written() {
        std::fflush(stream);
        std::rewind(stream);
        std::string text;
        for (int c; (c = std::fgetc(stream)) != EOF;) text.push_back(static_cast<char>(c));
        return text;
    }

    std::FILE* stream = std::tmpfile();
    SystemLog log{SystemLog::Target::stream, stream};
};

TEST_F(StreamLog, OneLinePerMessageNamingCategoryAndLevel) {
    EXPECT_FALSE(log.writesToJournal());
    Logger(log, "cut").info("Ausgeschnitten: 2 Datei(en)");
    Logger(log, "settings").error("Die Einstellungen konnten nicht gespeichert werden.");
    EXPECT_EQ(written(), "larkspire [cut] info: Ausgeschnitten: 2 Datei(en)\n"
                         "larkspire [settings] error: Die Einstellungen konnten nicht gespeichert werden.\n");
}

TEST_F(StreamLog, ALineFeedOrEscapeInAMessageCannotForgeAnotherLine) {
    // A URL or a path from outside carries what its sender put in.
    Logger(log, "shell").info(std::string("URL: a\nlarkspire [cut] error: gefälscht\r\x1B[2J\0!", 47));
    EXPECT_EQ(written(),
              "larkspire [shell] info: URL: a\\nlarkspire [cut] error: gefälscht\\r\\x1B[2J\\x00!\n");
}

}  // namespace
