#pragma once

#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/linux/files/AtomicFile.h"
#include "platform/linux/files/SettingsJson.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>

namespace larkspire::linux_desktop {

// The settings store as one JSON file per user. Registered defaults stay in memory. Reads see the
// file as it is now (it is read again only when it changed), and a write changes only its own key
// on top of the current file, atomically and under a lock, so hand edits and other writers keep
// theirs. A file that does not parse is moved aside, never overwritten; one that cannot be read, or
// that belongs to someone else, is left where it is and nothing is written while that lasts.
class JsonDefaults : public DefaultsStore {
  public:
    static constexpr const char* logCategory = "settings";

    // $XDG_CONFIG_HOME/larkspire/settings.json, ~/.config when the variable is unset or relative.
    static std::filesystem::path userFile();

    JsonDefaults(Log& log, const Clock& clock) : JsonDefaults(userFile(), log, clock) {}
    JsonDefaults(std::filesystem::path file, Log& log, const Clock& clock);

    void registerDefaults(const std::vector<std::pair<std::string, Value>>& defaults) override;
    std::optional<Value> object(const std::string& key) const override;
    void set(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;

    const std::filesystem::path& file() const { return path; }

    // Where writes go: the file behind any links, and why it must not be written when it must not.
    using Target = WriteTarget;

    // What identifies one version of the file without reading it.
    struct Identity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t modified = 0;
        std::int64_t changed = 0;
        bool operator==(const Identity&) const = default;
    };

  private:
    void refresh() const;
    void reload(const Target& target) const;
    bool firstReport(const std::string& problemKey) const;
    // False when the file could not be moved aside; it is then left alone for good.
    bool moveAside(const std::filesystem::path& target, const std::string& reason) const;
    void write(const std::string& key, std::optional<Value> value);

    std::filesystem::path path;
    Logger logger;
    const Clock& clock;
    std::map<std::string, Value> registered;
    // The file as last read, and why it may not be written now (empty when it may).
    mutable StoredValues stored;
    mutable std::optional<Identity> seen;
    mutable std::string problem;
    mutable bool keepFileUntouched = false;
    mutable std::string lastReported;
    // Changes not yet in the file (nothing = removed); the running program still sees them.
    std::map<std::string, std::optional<Value>> unsaved;
    std::string refusalLogged;
};

}  // namespace larkspire::linux_desktop
