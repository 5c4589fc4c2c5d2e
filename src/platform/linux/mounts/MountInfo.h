#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire::linux_desktop {

// One line of /proc/self/mountinfo, with the kernel's octal escapes (\040 for a space) undone.
struct MountEntry {
    std::string mountPoint;
    std::string fileSystemType;
    std::string source;
    bool operator==(const MountEntry&) const = default;
};

// Lines that do not have the kernel's shape are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// The network URL a kernel mount was made from: cifs "//h/s" as smb://h/s, nfs "h:/p" as
// nfs://h/p, sshfs "u@h:p" as sftp://u@h/p. Nothing for local and unknown file systems.
std::optional<std::string> remountUrl(const MountEntry& entry);

}  // namespace larkspire::linux_desktop
