#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace larkspire {

// Raw bytes, kept apart from text so a stored blob never turns into a string.
struct Data {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Data&) const = default;
};

// A property-list value: what the defaults store keeps under one key.
class Value {
  public:
    using List = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;
    using Storage = std::variant<bool, std::int64_t, double, std::string, Data, List, Dictionary>;

    Value(bool v) : storage(v) {}
    Value(int v) : storage(std::int64_t{v}) {}
    Value(std::int64_t v) : storage(v) {}
    Value(double v) : storage(v) {}
    Value(const char* v) : storage(std::string(v)) {}
    Value(std::string v) : storage(std::move(v)) {}
    Value(Data v) : storage(std::move(v)) {}
    Value(List v) : storage(std::move(v)) {}
    Value(Dictionary v) : storage(std::move(v)) {}
    static Value stringList(const std::vector<std::string>& strings);

    template <class T> bool is() const { return std::holds_alternative<T>(storage); }
    template <class T> const T* get() const { return std::get_if<T>(&storage); }
    const Storage& variant() const { return storage; }

    // Readers with the conversions a defaults store makes; nothing when the type does not fit.
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<double> asDouble() const;
    std::optional<std::vector<std::string>> asStringList() const;  // only when every element is a string

    bool operator==(const Value&) const = default;

  private:
    Storage storage;
};

}  // namespace larkspire
