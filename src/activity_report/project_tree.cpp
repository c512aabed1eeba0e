#include "activity_report/project_tree.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace report {

namespace {

struct Node {
    std::int64_t ms = 0;
    std::map<std::string, Node, std::less<>> children;
};

void flatten(const Node& node, const std::string& path, int level, std::vector<TreeRow>& out) {
    std::vector<std::pair<std::string_view, const Node*>> order;
    for (const auto& [name, child] : node.children) {
        order.emplace_back(name, &child);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.second->ms > b.second->ms; });
    for (const auto& [name, child] : order) {
        const std::string childPath =
            path.empty() ? std::string(name) : path + "/" + std::string(name);
        out.push_back({childPath, std::string(name), level, child->ms});
        flatten(*child, childPath, level + 1, out);
    }
}

} // namespace

std::vector<TreeRow> projectTree(const std::vector<Row>& rows) {
    Node root;
    for (const Row& row : rows) {
        Node* node = &root;
        std::string_view rest = row.name;
        for (;;) {
            const std::size_t slash = rest.find('/');
            const std::string_view level = rest.substr(0, slash);
            node = &node->children.try_emplace(std::string(level)).first->second;
            node->ms += row.ms;
            if (slash == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(slash + 1);
        }
    }
    std::vector<TreeRow> out;
    flatten(root, {}, 0, out);
    return out;
}

} // namespace report
