#include "platform/types/Value.h"

#include <cmath>
#include <limits>

namespace larkspire {

Value Value::stringList(const std::vector<std::string>& strings) {
    List list;
    list.reserve(strings.size());
    for (const auto& s : strings) list.emplace_back(s);
    return Value(std::move(list));
}

std::optional<bool> Value::asBool() const {
    if (auto b = get<bool>()) return *b;
    if (auto i = get<std::int64_t>()) return *i != 0;
    if (auto d = get<double>()) return *d != 0.0;
    if (auto s = get<std::string>()) {
        if (*s == "YES" || *s == "yes" || *s == "true" || *s == "1") return true;
        if (*s == "NO" || *s == "no" || *s == "false" || *s == "0") return false;
    }
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInteger() const {
    if (auto i = get<std::int64_t>()) return *i;
    if (auto b = get<bool>()) return *b ? 1 : 0;
    if (auto d = get<double>()) {
        // Out-of-range doubles would be undefined behaviour in the cast.
        if (!std::isfinite(*d) || *d >= 9.2e18 || *d <= -9.2e18) return std::nullopt;
        return static_cast<std::int64_t>(*d);
    }
    if (auto s = get<std::string>()) {
        try {
            std::size_t used = 0;
            long long v = std::stoll(*s, &used);
            if (used == s->size()) return v;
        } catch (...) {
        }
    }
    return std::nullopt;
}

std::optional<double> Value::asDouble() const {
    if (auto d = get<double>()) return *d;
    if (auto i = get<std::int64_t>()) return static_cast<double>(*i);
    if (auto b = get<bool>()) return *b ? 1.0 : 0.0;
    if (auto s = get<std::string>()) {
        try {
            std::size_t used = 0;
            double v = std::stod(*s, &used);
            if (used == s->size()) return v;
        } catch (...) {
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> Value::asStringList() const {
    auto list = get<List>();
    if (!list) return std::nullopt;
    std::vector<std::string> strings;
    strings.reserve(list->size());
    for (const auto& v : *list) {
        auto s = v.get<std::string>();
        if (!s) return std::nullopt;
        strings.push_back(*s);
    }
    return strings;
}

}  // namespace larkspire
