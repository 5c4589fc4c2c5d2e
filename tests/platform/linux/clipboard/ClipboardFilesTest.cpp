#include "platform/linux/clipboard/ClipboardFiles.h"

#include <gtest/gtest.h>

using namespace larkspire;

namespace {

std::vector<std::string> paths(const ClipboardFiles& files) {
    std::vector<std::string> found;
    for (const auto& url : files.urls) found.push_back(url.path());
    return found;
}

// What the file managers were measured to offer for a cut of two files.
TEST(ClipboardFiles, ReadsTheCutOfEachFileManagerStyle) {
    const std::vector<std::string> two{"/home/a/Bericht März.pdf", "/home/a/b.txt"};
    const std::string uriList = "file:///home/a/Bericht%20M%C3%A4rz.pdf\r\nfile:///home/a/b.txt\r\n";
    const std::string gnome = "cut\nfile:///home/a/Bericht%20M%C3%A4rz.pdf\nfile:///home/a/b.txt";

    auto thunar = parseClipboardFiles({.uriList = uriList, .gnomeCopiedFiles = gnome});
    EXPECT_EQ(thunar.operation, FileOperation::cut);
    EXPECT_EQ(paths(thunar), two);

    auto pcmanfmQt =
        parseClipboardFiles({.uriList = uriList, .gnomeCopiedFiles = gnome + "\n", .kdeCutSelection = "1"});
    EXPECT_EQ(pcmanfmQt.operation, FileOperation::cut);
    EXPECT_EQ(paths(pcmanfmQt), two);

    auto caja = parseClipboardFiles({.uriList = uriList, .mateCopiedFiles = gnome});
    EXPECT_EQ(caja.operation, FileOperation::cut);
    EXPECT_EQ(paths(caja), two);

    auto dolphin = parseClipboardFiles({.uriList = uriList, .kdeCutSelection = "1"});
    EXPECT_EQ(dolphin.operation, FileOperation::cut);
    EXPECT_EQ(paths(dolphin), two);
}

TEST(ClipboardFiles, TellsACopyFromACutAndUnmarkedFiles) {
    EXPECT_EQ(parseClipboardFiles({.gnomeCopiedFiles = "copy\nfile:///a"}).operation, FileOperation::copy);
    EXPECT_EQ(parseClipboardFiles({.uriList = "file:///a", .kdeCutSelection = "0"}).operation,
              FileOperation::copy);
    auto plain = parseClipboardFiles({.uriList = "file:///a\r\n"});
    EXPECT_EQ(plain.operation, FileOperation::unmarked);
    EXPECT_EQ(paths(plain), std::vector<std::string>{"/a"});
    // The explicit first line decides over the KDE marker.
    EXPECT_EQ(parseClipboardFiles({.gnomeCopiedFiles = "copy\nfile:///a", .kdeCutSelection = "1"}).operation,
              FileOperation::copy);
    // An unknown first line makes the format count as absent; the URI list still gives the files.
    auto unknown = parseClipboardFiles({.uriList = "file:///b", .gnomeCopiedFiles = "move\nfile:///a"});
    EXPECT_EQ(unknown.operation, FileOperation::unmarked);
    EXPECT_EQ(paths(unknown), std::vector<std::string>{"/b"});
}

struct BadContent {
    const char* what;
    FileClipboardContent content;
    std::vector<std::string> expected;
};

void PrintTo(const BadContent& bad, std::ostream* out) {
    *out << bad.what;
}

class ClipboardFilesBadInput : public ::testing::TestWithParam<BadContent> {};

TEST_P(ClipboardFilesBadInput, KeepsOnlyLocalAbsoluteTextPaths) {
    auto files = parseClipboardFiles(GetParam().content);
    EXPECT_EQ(paths(files), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ClipboardFiles, ClipboardFilesBadInput,
    ::testing::Values(
        BadContent{"a cut line with no files", {.gnomeCopiedFiles = "cut"}, {}},
        BadContent{"a cut line and an empty line", {.gnomeCopiedFiles = "cut\n\n"}, {}},
        BadContent{"nothing at all", {.gnomeCopiedFiles = ""}, {}},
        BadContent{"no scheme", {.gnomeCopiedFiles = "cut\n/home/a/x\nhome/a/y\nfile:///ok"}, {"/ok"}},
        BadContent{"relative file URLs", {.uriList = "file:x.txt\r\nfile:./y\r\nfile:///ok\r\n"}, {"/ok"}},
        BadContent{
            "other schemes", {.uriList = "https://example.org/a\r\nsftp://h/a\r\nfile:///ok"}, {"/ok"}},
        BadContent{"another machine", {.uriList = "file://server/a\r\nfile://localhost/ok"}, {"/ok"}},
        BadContent{"an encoded NUL", {.gnomeCopiedFiles = "cut\nfile:///a%00b\nfile:///ok"}, {"/ok"}},
        BadContent{"encoded bytes that are not UTF-8", {.uriList = "file:///a%FF\r\nfile:///ok"}, {"/ok"}},
        BadContent{"raw bytes that are not UTF-8", {.uriList = "file:///a\xC3(\r\nfile:///ok"}, {"/ok"}},
        BadContent{"a broken escape", {.uriList = "file:///a%2\r\nfile:///ok%20"}, {"/ok "}},
        BadContent{"comments and blank lines", {.uriList = "# a comment\r\n\r\nfile:///ok\r\n\r\n"}, {"/ok"}},
        BadContent{"a bare line feed per line", {.uriList = "file:///a\nfile:///b"}, {"/a", "/b"}},
        BadContent{"spaces in a line", {.uriList = "file:///a b\r\nfile:///ok"}, {"/ok"}}));

// Each format asked for is a transfer from the owner: a long list should cross once, not per format.
TEST(ClipboardFiles, AsksForTheFormatsOnlyUntilOneGivesTheFiles) {
    auto asked = [](const FileClipboardContent& content) {
        std::vector<std::string> types;
        std::optional<std::string> answer;
        auto files = readClipboardFiles([&](const char* type) -> const std::optional<std::string>& {
            types.push_back(type);
            answer = std::string_view(type) == ClipboardFormat::gnomeCopiedFiles ? content.gnomeCopiedFiles
                     : std::string_view(type) == ClipboardFormat::uriList        ? content.uriList
                                                                                 : std::nullopt;
            return answer;
        });
        EXPECT_EQ(files.urls.size(), 1u);
        return types;
    };
    EXPECT_EQ(asked({.uriList = "file:///a", .gnomeCopiedFiles = "cut\nfile:///a"}),
              std::vector<std::string>{ClipboardFormat::gnomeCopiedFiles});
    EXPECT_EQ(asked({.uriList = "file:///a", .gnomeCopiedFiles = "move\nfile:///a"}),
              (std::vector<std::string>{ClipboardFormat::gnomeCopiedFiles, ClipboardFormat::mateCopiedFiles,
                                        ClipboardFormat::uriList, ClipboardFormat::kdeCutSelection}));
}

TEST(ClipboardFiles, ReadsAHundredThousandFiles) {
    std::string text = "cut";
    for (int i = 0; i < 100000; ++i) text += "\nfile:///tmp/many/" + std::to_string(i);
    auto files = parseClipboardFiles({.gnomeCopiedFiles = text});
    EXPECT_EQ(files.operation, FileOperation::cut);
    ASSERT_EQ(files.urls.size(), 100000u);
    EXPECT_EQ(files.urls.back().path(), "/tmp/many/99999");
}

TEST(ClipboardFiles, WrittenContentReadsBackInEveryStyle) {
    const std::vector<std::string> written{"/home/a/Straße 1.txt", "/tmp/50%.txt", "/tmp/#hash?"};
    for (auto operation : {FileOperation::copy, FileOperation::cut}) {
        auto content = clipboardContentFor(written, operation);
        EXPECT_EQ(content.gnomeCopiedFiles->find('\r'), std::string::npos);
        EXPECT_TRUE(content.uriList->ends_with("\r\n"));
        for (auto only :
             {FileClipboardContent{.gnomeCopiedFiles = content.gnomeCopiedFiles},
              FileClipboardContent{.mateCopiedFiles = content.mateCopiedFiles},
              FileClipboardContent{.uriList = content.uriList, .kdeCutSelection = content.kdeCutSelection}}) {
            auto files = parseClipboardFiles(only);
            EXPECT_EQ(files.operation, operation);
            EXPECT_EQ(paths(files), written);
        }
    }
}

}  // namespace
