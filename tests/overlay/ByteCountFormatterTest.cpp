#include "overlay/ByteCountFormatter.h"

#include <gtest/gtest.h>
#include <limits>

using namespace larkspire;

namespace {

struct Case {
    std::int64_t bytes;
    const char* text;
};

class ByteCountFormatterTest : public ::testing::TestWithParam<Case> {};

TEST_P(ByteCountFormatterTest, UsesDecimalUnitsAndAGermanComma) {
    EXPECT_EQ(stringFromByteCount(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ByteCountFormatterTest,
                         ::testing::Values(Case{0, "0 Byte"}, Case{-5, "0 Byte"}, Case{999, "999 Byte"},
                                           Case{1000, "1 kB"}, Case{1499, "1 kB"}, Case{1500, "2 kB"},
                                           Case{999'499, "999 kB"},
                                           // Rounding up into the next unit gives that unit, never "1000 kB".
                                           Case{999'500, "1 MB"}, Case{1'234'567, "1,2 MB"},
                                           Case{2'050'000, "2,1 MB"}, Case{1'000'000'000, "1 GB"},
                                           Case{1'234'567'890, "1,23 GB"}, Case{1'205'000'000, "1,21 GB"},
                                           Case{1'999'999'999, "2 GB"}, Case{1'500'000'000'000, "1,5 TB"},
                                           Case{std::numeric_limits<std::int64_t>::max(), "9,22 EB"}),
                         [](const auto& info) { return "bytes_" + std::to_string(info.index); });

}  // namespace
