#include "scroll/ExcludedPrograms.h"

#include "scroll/ScrollSettings.h"

#include <algorithm>

namespace larkspire::ExcludedPrograms {

namespace {

bool sameProgram(const std::string& a, const std::string& b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The stored value as a list to change, keeping what this program cannot read.
Value::List storedList(const DefaultsStore& defaults) {
    auto stored = defaults.object(Settings::smoothScrollExcludedProgramsKey);
    if (!stored) return {};
    if (const auto* list = stored->get<Value::List>()) return *list;
    if (const auto* one = stored->get<std::string>()) return {Value(*one)};
    return {};
}

}  // namespace

std::vector<std::string> read(const DefaultsStore& defaults) {
    std::vector<std::string> programs;
    for (const auto& entry : storedList(defaults))
        if (const auto* name = entry.get<std::string>(); name && !name->empty()) programs.push_back(*name);
    return programs;
}

void add(DefaultsStore& defaults, const std::string& program) {
    if (program.empty() || contains(read(defaults), program)) return;
    auto list = storedList(defaults);
    list.push_back(Value(program));
    defaults.set(Settings::smoothScrollExcludedProgramsKey, Value(std::move(list)));
}

void remove(DefaultsStore& defaults, const std::string& program) {
    auto list = storedList(defaults);
    auto removed = std::erase_if(list, [&](const Value& entry) {
        const auto* name = entry.get<std::string>();
        return name && sameProgram(*name, program);
    });
    if (removed > 0) defaults.set(Settings::smoothScrollExcludedProgramsKey, Value(std::move(list)));
}

bool contains(const std::vector<std::string>& programs, const std::string& program) {
    return std::any_of(programs.begin(), programs.end(),
                       [&](const std::string& entry) { return sameProgram(entry, program); });
}

}  // namespace larkspire::ExcludedPrograms
