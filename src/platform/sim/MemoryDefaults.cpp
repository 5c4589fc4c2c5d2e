#include "platform/sim/MemoryDefaults.h"

namespace larkspire::sim {

void MemoryDefaults::registerDefaults(const std::vector<std::pair<std::string, Value>>& defaults) {
    for (const auto& [key, value] : defaults) {
        registered.insert_or_assign(key, value);
        registeredOrder.push_back(key);
    }
    if (watch) watch("register", "");
}

std::optional<Value> MemoryDefaults::object(const std::string& key) const {
    if (watch) watch("read", key);
    if (auto it = persistent.find(key); it != persistent.end()) return it->second;
    if (auto it = registered.find(key); it != registered.end()) return it->second;
    return std::nullopt;
}

void MemoryDefaults::set(const std::string& key, const Value& value) {
    persistent.insert_or_assign(key, value);
    if (watch) watch("set", key);
}

void MemoryDefaults::remove(const std::string& key) {
    persistent.erase(key);
    if (watch) watch("remove", key);
}

void MemoryDefaults::restart() {
    registered.clear();
    registeredOrder.clear();
}

}  // namespace larkspire::sim
