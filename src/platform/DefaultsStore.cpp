#include "platform/DefaultsStore.h"

namespace larkspire {

bool DefaultsStore::boolForKey(const std::string& key) const {
    auto v = object(key);
    return v ? v->asBool().value_or(false) : false;
}

std::int64_t DefaultsStore::integerForKey(const std::string& key) const {
    auto v = object(key);
    return v ? v->asInteger().value_or(0) : 0;
}

double DefaultsStore::doubleForKey(const std::string& key) const {
    auto v = object(key);
    return v ? v->asDouble().value_or(0.0) : 0.0;
}

std::optional<std::string> DefaultsStore::stringForKey(const std::string& key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto s = v->get<std::string>()) return *s;
    return std::nullopt;
}

std::optional<std::vector<std::string>> DefaultsStore::stringListForKey(const std::string& key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    return v->asStringList();
}

}  // namespace larkspire
