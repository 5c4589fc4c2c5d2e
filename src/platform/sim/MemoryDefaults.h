#pragma once

#include "platform/DefaultsStore.h"

#include <functional>
#include <map>
#include <string_view>

namespace larkspire::sim {

// A defaults store in memory. `restart()` forgets the registered defaults as a new process would.
class MemoryDefaults : public DefaultsStore {
  public:
    void registerDefaults(const std::vector<std::pair<std::string, Value>>& defaults) override;
    std::optional<Value> object(const std::string& key) const override;
    void set(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;

    const std::map<std::string, Value>& stored() const { return persistent; }
    const std::vector<std::string>& registrationOrder() const { return registeredOrder; }
    void restart();

    // Told of every access as it happens ("register", "read", "set", "remove" and the key), so a test
    // can check what was in place at each step.
    std::function<void(std::string_view access, const std::string& key)> watch;

  private:
    std::map<std::string, Value> persistent;
    std::map<std::string, Value> registered;
    std::vector<std::string> registeredOrder;
};

}  // namespace larkspire::sim
