#pragma once

#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// One mounted volume as the desktop lists it.
struct MountedVolume {
    std::string path;                       // where it is mounted, absolute
    std::optional<std::string> remountUrl;  // the network URL it was mounted from; nothing for a local disk
    bool operator==(const MountedVolume&) const = default;
};

// What the desktop reports about a folder and the volume that holds it.
struct FolderVolumeProperties {
    bool isDirectory = false;
    std::optional<std::string> volumePath;  // mount path of the containing volume
    std::optional<std::string> remountUrl;  // the volume's network URL
    std::optional<bool> isLocal;            // nothing when the desktop cannot tell
};

// The mounted volumes. Safe to call from any thread; never asks the user and never mounts.
class Volumes {
  public:
    virtual ~Volumes() = default;
    virtual std::vector<MountedVolume> mountedVolumes() const = 0;  // hidden volumes left out; empty on error
    virtual std::optional<FolderVolumeProperties>
    folderProperties(const std::string& path) const = 0;  // nothing when the path cannot be read
};

}  // namespace larkspire
