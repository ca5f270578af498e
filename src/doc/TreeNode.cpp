#include "doc/TreeNode.h"

#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tornu {

namespace {

// "[0007] text": the number zero-padded to `width` digits. Made by hand: the
// tree makes one for each of a fleet's hundreds of thousands of items.
std::string Numbered(int number, int width, std::string_view text) {
    char digits[16];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
    const auto length = static_cast<int>(end - digits);
    const bool negative = number < 0;
    const int pad = std::max(width - length, 0);
    std::string label;
    label.reserve(static_cast<std::size_t>(pad + length) + text.size() + 3);
    label += '[';
    if (negative)
        label += '-';
    label.append(static_cast<std::size_t>(pad), '0');
    label.append(digits + negative, end);
    label += "] ";
    label += text;
    return label;
}

} // namespace

std::string TerminalLabel(const CTerminal& terminal) {
    return Numbered(terminal.Id(), 4, terminal.Type().Name());
}

std::string DeviceLabel(const CDevice& device, bool showStructure) {
    if (showStructure)
        return Numbered(device.Address(), 2, device.Name());
    if (!device.Name().empty())
        return device.Name();
    char label[96];
    std::snprintf(label, sizeof label, "Базовый модуль [%04d], раздел [%02d]",
                  device.Terminal().Id(), device.Address());
    return label;
}

CTreeNode::CTreeNode(CTerminal& terminal, std::string label)
    : kind_(NodeKind::Terminal), terminal_(&terminal), label_(label) {}

CTreeNode::CTreeNode(CDevice& device, std::string label)
    : kind_(NodeKind::Device), device_(&device), label_(label) {}

CTerminal& CTreeNode::Terminal() const {
    return kind_ == NodeKind::Device ? device_->Terminal() : *terminal_;
}

const CTreeNode::List& CTreeNode::Children() const {
    static const List kNone;
    return children_ ? *children_ : kNone;
}

CTreeNode::List& CTreeNode::ChildList() {
    if (!children_)
        children_ = std::make_unique<List>();
    return *children_;
}

} // namespace tornu
