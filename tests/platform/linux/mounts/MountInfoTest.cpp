#include "platform/linux/mounts/MountInfo.h"

#include <gtest/gtest.h>

using namespace larkspire::linux_desktop;

namespace {

TEST(MountInfo, ReadsMountPointTypeAndSourceWithEscapesUndoneAndSkipsBrokenLines) {
    auto entries = parseMountInfo("22 1 0:21 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                  "40 22 0:35 / /mnt/Team\\040Ordner\\134x rw,relatime shared:7 master:2 - "
                                  "cifs //nas/Team\\040A rw,vers=3\n"
                                  "kaputt\n"
                                  "41 22 0:36 / /mnt/n rw - nfs4\n"
                                  "\n"
                                  "42 22 0:37 / /mnt/s rw - fuse.sshfs anna@host:Daten\\0 rw");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (MountEntry{"/", "ext4", "/dev/sda1"}));
    EXPECT_EQ(entries[1], (MountEntry{"/mnt/Team Ordner\\x", "cifs", "//nas/Team A"}));
    EXPECT_EQ(entries[2].source, "anna@host:Daten\\0");  // not a whole escape: kept as written
}

struct RemountCase {
    MountEntry entry;
    std::optional<std::string> url;
};

class RemountUrl : public ::testing::TestWithParam<RemountCase> {};

TEST_P(RemountUrl, NamesTheShareAsAUrlOrNothing) {
    EXPECT_EQ(remountUrl(GetParam().entry), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RemountUrl,
    ::testing::Values(RemountCase{{"/m", "cifs", "//nas/Team A"}, "smb://nas/Team%20A"},
                      RemountCase{{"/m", "smb3", "//fe80::1/s"}, "smb://[fe80::1]/s"},
                      RemountCase{{"/m", "nfs", "server:/export/home"}, "nfs://server/export/home"},
                      RemountCase{{"/m", "nfs4", "[fe80::1]:/x"}, "nfs://[fe80::1]/x"},
                      RemountCase{{"/m", "fuse.sshfs", "anna@host:Daten"}, "sftp://anna@host/Daten"},
                      RemountCase{{"/m", "fuse.sshfs", "host:/srv"}, "sftp://host/srv"},
                      RemountCase{{"/m", "cifs", "nas"}, std::nullopt},
                      RemountCase{{"/m", "nfs", ":/x"}, std::nullopt},
                      RemountCase{{"/", "ext4", "/dev/sda1"}, std::nullopt},
                      RemountCase{{"/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse"}, std::nullopt}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
