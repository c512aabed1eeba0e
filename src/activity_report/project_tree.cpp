#include "activity_report/project_tree.h"

#include <algorithm>
#include <map>

namespace report {

namespace {

// The tree's nodes side by side, each naming its children by their place: no node owns
// another, so that neither building nor freeing the tree recurses.
struct Node {
    std::string_view name; // in the rows' names
    int level = 0;
    std::int64_t ms = 0;
    std::map<std::string_view, std::size_t> children;
};

std::vector<Node> nodesOf(const std::vector<Row>& rows) {
    std::vector<Node> nodes(1); // the root
    for (const Row& row : rows) {
        std::size_t node = 0;
        std::string_view rest = row.name;
        for (;;) {
            const std::size_t slash = rest.find('/');
            const std::string_view name = rest.substr(0, slash);
            const auto [child, added] = nodes[node].children.try_emplace(name, nodes.size());
            const std::size_t index = child->second;
            if (added) {
                nodes.push_back({name, nodes[node].level + 1, 0, {}});
            }
            nodes[index].ms += row.ms;
            node = index;
            if (slash == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(slash + 1);
        }
    }
    return nodes;
}

// Depth first, siblings largest first and then by name (the map's order, kept by a
// stable sort): each node's children go on the stack last first.
std::vector<TreeRow> inTreeOrder(const std::vector<Node>& nodes) {
    std::vector<TreeRow> out;
    out.reserve(nodes.size() - 1);
    std::vector<std::size_t> stack{0};
    std::vector<std::size_t> order;
    while (!stack.empty()) {
        const Node& node = nodes[stack.back()];
        stack.pop_back();
        if (node.level > 0) {
            out.push_back({std::string(node.name), node.level - 1, node.ms});
        }
        order.clear();
        for (const auto& [name, child] : node.children) {
            order.push_back(child);
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return nodes[a].ms > nodes[b].ms; });
        stack.insert(stack.end(), order.rbegin(), order.rend());
    }
    return out;
}

} // namespace

std::size_t projectLevels(std::string_view path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/')) + 1;
}

std::vector<TreeRow> projectTree(const std::vector<Row>& rows) {
    return inTreeOrder(nodesOf(rows));
}

} // namespace report
