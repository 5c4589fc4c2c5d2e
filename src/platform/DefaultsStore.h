#pragma once

#include "platform/types/Value.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace larkspire {

// The per-user settings store. Registered defaults live in memory only; a stored value wins.
class DefaultsStore {
  public:
    virtual ~DefaultsStore() = default;
    virtual void
    registerDefaults(const std::vector<std::pair<std::string, Value>>& defaults) = 0;  // never persisted
    virtual std::optional<Value>
    object(const std::string& key) const = 0;  // stored, else registered, else nothing
    virtual void set(const std::string& key, const Value& value) = 0;  // persisted at once
    virtual void remove(const std::string& key) = 0;                   // the registered default shows again

    // Typed readers: a missing key or a value of another type reads as false / 0 / nothing.
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<std::vector<std::string>> stringListForKey(const std::string& key) const;
    void setBool(const std::string& key, bool value) { set(key, Value(value)); }
};

}  // namespace larkspire
