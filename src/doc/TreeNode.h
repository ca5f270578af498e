#pragma once
// One item of the configuration tree: a terminal or a network device, with
// the label and picture the tree shows and the items under it, kept sorted
// by label. The node refers to its record; it owns only the items under it.
#include "db/CompactText.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CDevice;
class CTerminal;

enum class NodeKind { Terminal = 1, Device = 2 };

// Pictures of the tree's image strip.
inline constexpr int kTerminalImage = 0;
inline constexpr int kDeviceImage = 1;

// "[0007] БМ-4": terminal number and the name of its type.
std::string TerminalLabel(const CTerminal& terminal);
// With the structure shown "[03] Склад"; without it the name alone, or
// "Базовый модуль [0007], раздел [03]" for a device without a name.
std::string DeviceLabel(const CDevice& device, bool showStructure);

class CTreeNode {
public:
    using List = std::vector<std::unique_ptr<CTreeNode>>;

    CTreeNode(CTerminal& terminal, std::string label);
    CTreeNode(CDevice& device, std::string label);
    CTreeNode(const CTreeNode&) = delete;
    CTreeNode& operator=(const CTreeNode&) = delete;

    NodeKind Kind() const { return kind_; }
    // The terminal of a terminal node, or the terminal the device is on.
    CTerminal& Terminal() const;
    // Null for a terminal node.
    CDevice* Device() const { return kind_ == NodeKind::Device ? device_ : nullptr; }

    std::string_view Label() const { return label_.View(); }
    int Image() const { return kind_ == NodeKind::Terminal ? kTerminalImage : kDeviceImage; }
    // Null for an item at the root.
    CTreeNode* Parent() const { return parent_; }
    const List& Children() const;

private:
    friend class CTreeModel;

    // Made with the first item under the node.
    List& ChildList();

    // A tree holds an item for each of a fleet's hundreds of thousands of
    // devices, most of them without items under them: kept small.
    NodeKind kind_;
    union {
        CTerminal* terminal_;
        CDevice* device_;
    };
    CBasicCompactText<24> label_;
    CTreeNode* parent_ = nullptr;
    std::unique_ptr<List> children_;
};

} // namespace tornu
