#include "overlay/SizeCalculator.h"

#include "platform/sim/Desktop.h"

#include <gtest/gtest.h>

using namespace larkspire;

namespace {

class SizeCalculatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.files.addFile("/Users/anna/a.txt", 1200);
        desktop.files.addFile("/Users/anna/Fotos/1.jpg", 3000);
        desktop.files.addFile("/Users/anna/Fotos/.hidden", 10);
        desktop.files.addFile("/Users/anna/Fotos/Album.app/Contents/binary", 1000);
        sizes->onUpdate = [this] { ++updates; };
    }

    sim::Desktop desktop;
    std::shared_ptr<SizeCalculator> sizes = std::make_shared<SizeCalculator>(SizeCalculatorPorts{
        .main = desktop.loop, .clock = desktop.loop, .work = desktop.work, .folderSizes = desktop.files});
    int updates = 0;
};

TEST_F(SizeCalculatorTest, IsUnknownUntilEveryPathHasArrivedAndStartsEachWalkOnce) {
    std::vector<std::string> selection{"/Users/anna/a.txt", "/Users/anna/Fotos"};
    EXPECT_EQ(sizes->total(selection), std::nullopt);
    EXPECT_EQ(sizes->total(selection), std::nullopt);
    EXPECT_EQ(sizes->pending().size(), 2u);

    desktop.advance(0.01);
    EXPECT_EQ(desktop.files.walks, 2);
    EXPECT_EQ(updates, 2);
    EXPECT_TRUE(sizes->pending().empty());
    // Hidden files and package contents count.
    EXPECT_EQ(sizes->total(selection), 1200 + 3000 + 10 + 1000);
    EXPECT_EQ(sizes->total({}), 0);
}

TEST_F(SizeCalculatorTest, AKnownSizeIsNotShownAloneWhileAnotherIsMissing) {
    sizes->total({"/Users/anna/a.txt"});
    desktop.advance(0.01);
    EXPECT_EQ(sizes->total({"/Users/anna/a.txt", "/Users/anna/Fotos"}), std::nullopt);
}

TEST_F(SizeCalculatorTest, AnOldSizeStillAnswersWhileOneFreshWalkRuns) {
    sizes->total({"/Users/anna/a.txt"});
    desktop.advance(0.01);
    desktop.files.addFile("/Users/anna/a.txt", 5000);
    desktop.advance(14.9);
    // Not yet older than 15 seconds: nothing starts.
    EXPECT_EQ(sizes->total({"/Users/anna/a.txt"}), 1200);
    EXPECT_TRUE(sizes->pending().empty());

    desktop.advance(1.1);
    EXPECT_EQ(sizes->total({"/Users/anna/a.txt"}), 1200);
    EXPECT_EQ(sizes->total({"/Users/anna/a.txt"}), 1200);
    EXPECT_EQ(sizes->pending().size(), 1u);
    desktop.advance(0.01);
    EXPECT_EQ(desktop.files.walks, 2);
    EXPECT_EQ(sizes->total({"/Users/anna/a.txt"}), 5000);
}

TEST_F(SizeCalculatorTest, AMissingPathIsZeroAndCachedLikeAnyOther) {
    sizes->total({"/Users/anna/weg"});
    desktop.advance(0.01);
    EXPECT_EQ(sizes->total({"/Users/anna/weg"}), 0);
    EXPECT_EQ(desktop.files.walks, 1);
}

TEST_F(SizeCalculatorTest, TheCacheIsEmptiedWhenAResultArrivesPastTwoThousandAndOneEntries) {
    std::vector<std::string> many;
    for (int i = 0; i < 2001; ++i) many.push_back("/f/" + std::to_string(i));
    sizes->total(many);
    desktop.advance(0.1);
    EXPECT_EQ(sizes->cache().size(), 2001u);

    sizes->total({"/Users/anna/a.txt"});
    desktop.advance(0.01);
    EXPECT_EQ(sizes->cache().size(), 1u);
    EXPECT_EQ(sizes->total({"/Users/anna/a.txt"}), 1200);
}

TEST_F(SizeCalculatorTest, AResultArrivingAfterItsOwnerIsGoneIsHarmless) {
    sizes->total({"/Users/anna/Fotos"});
    sizes.reset();
    desktop.advance(0.01);
    EXPECT_EQ(updates, 1);  // the running walk kept the calculator until it had stored its result
}

}  // namespace
