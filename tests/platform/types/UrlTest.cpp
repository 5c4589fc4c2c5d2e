#include "platform/types/Url.h"

#include <gtest/gtest.h>

using namespace larkspire;

namespace {

TEST(Url, SplitsARequestIntoSchemeHostAndDecodedItems) {
    auto url = Url::parse("quirefold://create?dir=%2FUsers%2Fa%20b&sel=%2FUsers%2Fa%20b%2FStra%C3%9Fe.txt");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "quirefold");
    EXPECT_EQ(url->host(), "create");
    EXPECT_EQ(url->firstValue("dir"), "/Users/a b");
    EXPECT_EQ(url->firstValue("sel"), "/Users/a b/Straße.txt");
}

TEST(Url, FirstValueWinsAndItemsWithoutValueAreSkipped) {
    auto url = Url::parse("quirefold://favorite?path&path=%2Fa&path=%2Fb&other=1");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->firstValue("path"), "/a");
    auto items = url->queryItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], (QueryItem{"path", std::nullopt}));
    EXPECT_EQ(items[2], (QueryItem{"path", "/b"}));
}

TEST(Url, SchemeIsKeptAsWritten) {
    auto url = Url::parse("QuireFold://create");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "QuireFold");
}

TEST(Url, HostIsAbsentWithoutAuthorityOrWhenEmpty) {
    EXPECT_EQ(Url::parse("quirefold:create?dir=%2Ftmp")->host(), std::nullopt);
    EXPECT_EQ(Url::parse("quirefold:///create")->host(), std::nullopt);
    EXPECT_EQ(Url::parse("quirefold://user@create:80/x")->host(), "create");
    EXPECT_EQ(Url::parse("sftp://u@[fe80::1]:22/x")->host(), "[fe80::1]");
}

TEST(Url, RejectsTextThatIsNotAUrl) {
    for (const char* text :
         {"", "create", "://x", "1abc://x", "quirefold://create?dir=%2", "quirefold://create?dir=%zz",
          "quirefold://cre ate", "quirefold://create?dir=\x01"})
        EXPECT_FALSE(Url::parse(text)) << text;
}

TEST(Url, ValuesThatAreNotSafeTextReadAsAbsent) {
    auto url = Url::parse("quirefold://create?dir=%2Ftmp%00evil&sel=%FF%FE&dir=%2Fok");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->firstValue("dir"), "/ok");
    EXPECT_EQ(url->firstValue("sel"), std::nullopt);
}

TEST(Url, ByteValuesKeepWhatTextValuesDrop) {
    auto url = Url::parse("quirefold://create?dir=%2Ftmp%00evil&sel=%FF%FE&dir=%2Fok&sel");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->firstByteValue("dir"), std::string("/tmp\0evil", 9));
    EXPECT_EQ(url->firstByteValue("sel"), "\xFF\xFE");
    EXPECT_EQ(url->firstByteValue("path"), std::nullopt);
}

TEST(Url, PlusIsNotASpace) {
    EXPECT_EQ(Url::parse("quirefold://create?dir=/a+b")->firstValue("dir"), "/a+b");
}

TEST(Url, FileUrlsRoundTripAnyPath) {
    std::string path = "/tmp/a b/#1?x%/Ärger.txt";
    auto url = Url::fileUrl(path);
    EXPECT_TRUE(url.isFileUrl());
    EXPECT_EQ(url.path(), path);
    EXPECT_EQ(Url::parse(url.string())->path(), path);
}

TEST(Url, Utf8Validation) {
    EXPECT_TRUE(isValidUtf8("Grüße €𝄞"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong slash
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(isValidUtf8("abc\xE2\x82"));       // cut short
}

}  // namespace
