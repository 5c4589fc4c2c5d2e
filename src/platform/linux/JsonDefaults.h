#pragma once

#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/linux/SettingsJson.h"

#include <filesystem>
#include <map>
#include <string>

namespace larkspire::linux_desktop {

// The settings store as one JSON file per user. Registered defaults stay in memory; every write
// replaces the whole file atomically, so other programs can read it at any moment. A file that
// cannot be read is moved aside, never overwritten, and the store starts from the registered defaults.
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

  private:
    void load();
    // False when the file could not be moved aside; it is then left alone for good.
    bool moveAside(const std::filesystem::path& target, const std::string& reason);
    void save();

    std::filesystem::path path;
    Logger logger;
    const Clock& clock;
    StoredValues stored;
    std::map<std::string, Value> registered;
    bool keepFileUntouched = false;
};

}  // namespace larkspire::linux_desktop
