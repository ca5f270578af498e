#include "doc/TreeNode.h"

#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>
#include <cstdio>

namespace tornu {

namespace {

std::string Printf(const char* format, int number, const std::string& text) {
    const int length = std::snprintf(nullptr, 0, format, number, text.c_str());
    std::string result(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(result.data(), result.size(), format, number, text.c_str());
    result.resize(result.size() - 1);
    return result;
}

} // namespace

std::string TerminalLabel(const CTerminal& terminal) {
    return Printf("[%04d] %s", terminal.Id(), terminal.Type().Name());
}

std::string DeviceLabel(const CDevice& device, bool showStructure) {
    if (showStructure)
        return Printf("[%02d] %s", device.Address(), device.Name());
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
