#pragma once

#include "platform/linux/accessibility/AccessibleObject.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace larkspire::testing {

// A recorded accessibility tree (tests/data/accessibility) standing in for the bus. It counts every
// call, as each would be a round trip. Beyond what the recorder writes, a tree may hold a child
// {"loop": N}, the object N levels up, and extents given as "nan" or "inf", so tests can build the
// garbage a broken program reports.
class RecordedTree : public std::enable_shared_from_this<RecordedTree> {
  public:
    explicit RecordedTree(nlohmann::json document) : document(std::move(document)) {}
    static std::shared_ptr<RecordedTree> load(const std::string& path);

    std::shared_ptr<const linux_desktop::AccessibleObject> frame(int index = 0) const;
    std::string application() const { return document.value("application", ""); }

    nlohmann::json document;
    mutable long calls = 0;
};

// Finds the first object of a recording, depth-first, with that role (and name, when given).
nlohmann::json* findRecorded(nlohmann::json& node, const std::string& role, const std::string& name = {});

}  // namespace larkspire::testing
