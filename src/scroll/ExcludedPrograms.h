#pragma once

#include "platform/DefaultsStore.h"

#include <string>
#include <vector>

// The programs in which smooth scrolling leaves the wheel alone, as the settings store keeps them.
namespace larkspire::ExcludedPrograms {

// The stored names in their order. What is not a name reads as none: a single string counts as a
// list of one, other elements of a list and values of other types are skipped.
std::vector<std::string> read(const DefaultsStore& defaults);
// Adds a program at the end, once; everything else stored under the key stays as it was.
void add(DefaultsStore& defaults, const std::string& program);
// Removes every entry of that name.
void remove(DefaultsStore& defaults, const std::string& program);
// Window classes are compared without regard to ASCII case: "firefox" names "Firefox" too.
bool contains(const std::vector<std::string>& programs, const std::string& program);

}  // namespace larkspire::ExcludedPrograms
