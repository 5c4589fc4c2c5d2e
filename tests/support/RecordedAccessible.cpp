#include "support/RecordedAccessible.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <vector>

namespace larkspire::testing {

namespace {

using linux_desktop::AccessibleObject;
using nlohmann::json;

double number(const json& value) {
    if (value.is_number()) return value.get<double>();
    if (value.is_string()) {
        std::string text = value.get<std::string>();
        if (text == "inf") return std::numeric_limits<double>::infinity();
        if (text == "-inf") return -std::numeric_limits<double>::infinity();
    }
    return std::numeric_limits<double>::quiet_NaN();
}

class RecordedObject : public AccessibleObject {
  public:
    // `path` holds the node's ancestors, the root first, so a loop can lead back to one of them.
    RecordedObject(std::shared_ptr<const RecordedTree> tree, std::vector<const json*> path, int index)
        : tree(std::move(tree)), path(std::move(path)), index(index) {}

    std::string role() const override { return string("role"); }
    std::string name() const override { return string("name"); }
    std::vector<std::string> states() const override {
        ++tree->calls;
        std::vector<std::string> found;
        if (auto it = node().find("states"); it != node().end() && it->is_array())
            for (const auto& state : *it)
                if (state.is_string()) found.push_back(state.get<std::string>());
        return found;
    }
    std::map<std::string, std::string> attributes() const override {
        ++tree->calls;
        std::map<std::string, std::string> found;
        if (auto it = node().find("attributes"); it != node().end() && it->is_object())
            for (const auto& [key, value] : it->items())
                if (value.is_string()) found[key] = value.get<std::string>();
        return found;
    }
    std::optional<Rect> extents() const override {
        ++tree->calls;
        auto it = node().find("extents");
        if (it == node().end() || !it->is_array() || it->size() != 4) return std::nullopt;
        return Rect{number((*it)[0]), number((*it)[1]), number((*it)[2]), number((*it)[3])};
    }
    std::optional<std::string> text() const override {
        ++tree->calls;
        auto it = node().find("text");
        if (it == node().end() || !it->is_string()) return std::nullopt;
        return it->get<std::string>();
    }
    int childCount() const override {
        ++tree->calls;
        auto it = node().find("childCount");
        if (it != node().end() && it->is_number_integer()) return it->get<int>();
        return int(children().size());
    }
    std::shared_ptr<const AccessibleObject> child(int i) const override {
        ++tree->calls;
        return childObject(i);
    }
    std::optional<std::vector<int>> selectedRows() const override {
        ++tree->calls;
        auto it = node().find("selectedRows");
        if (it == node().end() || !it->is_array()) return std::nullopt;
        std::vector<int> rows;
        for (const auto& row : *it)
            if (row.is_number_integer()) rows.push_back(row.get<int>());
        return rows;
    }
    std::shared_ptr<const AccessibleObject> childAtPoint(double x, double y) const override {
        ++tree->calls;
        // As a toolkit answers: the first direct child whose rectangle holds the point.
        const json& list = children();
        for (std::size_t i = 0; i < list.size(); ++i) {
            auto it = list[i].find("extents");
            if (it == list[i].end() || !it->is_array() || it->size() != 4) continue;
            double cx = number((*it)[0]), cy = number((*it)[1]), w = number((*it)[2]), h = number((*it)[3]);
            if (x >= cx && x < cx + w && y >= cy && y < cy + h) return childObject(int(i));
        }
        return nullptr;
    }
    int indexInParent() const override {
        ++tree->calls;
        return index;
    }

  private:
    const json& node() const { return *path.back(); }
    const json& children() const {
        static const json none = json::array();
        auto it = node().find("children");
        return it != node().end() && it->is_array() ? *it : none;
    }
    std::string string(const char* key) const {
        ++tree->calls;
        auto it = node().find(key);
        return it != node().end() && it->is_string() ? it->get<std::string>() : std::string();
    }
    std::shared_ptr<const AccessibleObject> childObject(int i) const {
        const json& list = children();
        if (i < 0 || i >= int(list.size())) return nullptr;
        const json& found = list[std::size_t(i)];
        std::vector<const json*> next = path;
        if (auto loop = found.find("loop"); loop != found.end() && loop->is_number_integer()) {
            int up = loop->get<int>();
            if (up < 0 || up > int(path.size()) - 1) return nullptr;
            next.resize(path.size() - std::size_t(up));
            return std::make_shared<RecordedObject>(tree, next, i);
        }
        next.push_back(&found);
        return std::make_shared<RecordedObject>(tree, next, i);
    }

    std::shared_ptr<const RecordedTree> tree;
    std::vector<const json*> path;
    int index;
};

}  // namespace

std::shared_ptr<RecordedTree> RecordedTree::load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("no recording " + path);
    return std::make_shared<RecordedTree>(json::parse(in));
}

std::shared_ptr<const AccessibleObject> RecordedTree::frame(int index) const {
    const json& frames = document.at("frames");
    if (index < 0 || index >= int(frames.size())) return nullptr;
    return std::make_shared<RecordedObject>(shared_from_this(),
                                            std::vector<const json*>{&frames[std::size_t(index)]}, index);
}

json* findRecorded(json& node, const std::string& role, const std::string& name) {
    if (node.value("role", "") == role && (name.empty() || node.value("name", "") == name)) return &node;
    if (auto it = node.find("children"); it != node.end() && it->is_array())
        for (auto& child : *it)
            if (json* found = findRecorded(child, role, name)) return found;
    return nullptr;
}

}  // namespace larkspire::testing
