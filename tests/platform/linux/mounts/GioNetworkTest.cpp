#include "platform/linux/mounts/GioNetwork.h"

#include "platform/sim/Recorders.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace larkspire;
using larkspire::testing::TemporaryFolder;

namespace {

const std::string root = "22 1 0:21 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";
const std::string sandbox = "50 22 0:40 / /tmp/sandbox rw - tmpfs tmpfs rw\n";
const std::string share = "51 22 0:41 / /mnt/Team rw - cifs //nas/Team rw,vers=3\n";

TEST(GioNetwork, OnlySharesComingAndGoingCountAsVolumesMountedAndUnmounted) {
    ::setenv("GIO_USE_VOLUME_MONITOR", "unix", 1);  // no gvfs helpers for this
    TemporaryFolder folder;
    auto table = folder.file("mountinfo", root);
    sim::RecordingLog log;
    linux_desktop::GioNetwork network(log, table.string());
    int mounted = 0, unmounted = 0;
    auto onMount = network.observeDidMount([&] { ++mounted; });
    auto onUnmount = network.observeDidUnmount([&] { ++unmounted; });
    auto change = [&](const std::string& text) {
        larkspire::testing::writeText(table, text);
        network.kernelMountsChanged();
    };

    change(root + sandbox);  // a system or container mount is no volume of the user's
    change(root + sandbox + share);
    EXPECT_EQ(mounted, 1);
    change(root + share);
    EXPECT_EQ(unmounted, 0);
    change(root);
    EXPECT_EQ(unmounted, 1);
    EXPECT_EQ(mounted, 1);
}

}  // namespace
