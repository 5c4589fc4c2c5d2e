// Writes the accessibility tree of a program's windows as JSON, for the tests of the file-manager
// readers. Usage: record_accessible_tree APPLICATION [MAX_CHILDREN]
//   APPLICATION   the program's name on the bus ("Thunar", "pcmanfm-qt", "org.gnome.Nautilus")
//   MAX_CHILDREN  how many children of one object are written (default 400); childCount keeps the true
//                 number, so a reader sees a long list as long.
// Writes {"application": …, "processIdentifier": …, "frames": [tree, …]} to standard output.
#include "platform/linux/accessibility/LiveAccessibleObject.h"

#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

using namespace larkspire::linux_desktop;
using nlohmann::json;

namespace {

json recorded(const AccessibleObject& object, int maxChildren, int depth) {
    json node;
    node["role"] = object.role();
    node["name"] = object.name();
    node["states"] = object.states();
    if (auto attributes = object.attributes(); !attributes.empty()) node["attributes"] = attributes;
    if (auto extents = object.extents())
        node["extents"] = {extents->x, extents->y, extents->width, extents->height};
    if (auto text = object.text()) node["text"] = *text;
    if (auto rows = object.selectedRows()) node["selectedRows"] = *rows;
    int count = object.childCount();
    node["childCount"] = count;
    if (depth >= 40) return node;
    json children = json::array();
    for (int i = 0; i < count && i < maxChildren; ++i)
        if (auto child = object.child(i)) children.push_back(recorded(*child, maxChildren, depth + 1));
    node["children"] = std::move(children);
    return node;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: record_accessible_tree APPLICATION [MAX_CHILDREN]\n";
        return 2;
    }
    std::string wanted = argv[1];
    int maxChildren = argc > 2 ? std::atoi(argv[2]) : 400;
    if (auto problem = connectAccessibilityBus()) {
        std::cerr << *problem << "\n";
        return 1;
    }
    for (const auto& application : accessibleApplications()) {
        if (application->name() != wanted) continue;
        json out;
        out["application"] = wanted;
        out["processIdentifier"] = application->processIdentifier();
        out["frames"] = json::array();
        int count = application->childCount();
        for (int i = 0; i < count; ++i)
            if (auto frame = application->child(i)) out["frames"].push_back(recorded(*frame, maxChildren, 0));
        std::cout << out.dump(1) << "\n";
        return 0;
    }
    std::cerr << "no application named " << wanted << " on the bus; there are:";
    for (const auto& application : accessibleApplications())
        std::cerr << " \"" << application->name() << "\"";
    std::cerr << "\n";
    return 1;
}
