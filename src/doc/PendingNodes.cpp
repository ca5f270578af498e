#include "doc/PendingNodes.h"

#include "catalogue/CommandDesc.h"
#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/TreeNode.h"

namespace tornu {

bool HasPendingChanges(const CTreeNode& node) {
    CConfigDatabase* db = node.Terminal().Database();
    if (!db)
        return false;
    const int terminal = node.Terminal().Id();
    return node.Device() ? db->Pending().DeviceHasAny(terminal, node.Device()->Address())
                         : db->Pending().TerminalHasAny(terminal);
}

std::set<std::string> PendingItemsOf(const CDevice& device, PendingKind kind) {
    std::set<std::string> items;
    CConfigDatabase* db = device.Database();
    if (!db || !db->Pending().DeviceHasAny(device.Terminal().Id(), device.Address()))
        return items;
    for (const PendingItem& item : db->Pending().Items(device.Terminal().Id()))
        if (item.device == device.Address() && item.kind == kind)
            items.insert(item.item);
    return items;
}

std::set<int> PendingWriteCodes(const CTreeNode& node) {
    std::set<int> codes;
    CConfigDatabase* db = node.Terminal().Database();
    if (!db)
        return codes;
    const int device = node.Device() ? node.Device()->Address() : kTerminalItself;
    for (const PendingItem& item : db->Pending().Items(node.Terminal().Id()))
        if (item.device == device)
            codes.insert(PendingWriteCode(item.kind, node.Device() != nullptr));
    return codes;
}

std::vector<CCommandDesc*> PendingWriteCommands(const CTreeNode& node,
                                                const std::vector<CCommandDesc*>& offered) {
    const std::set<int> codes = PendingWriteCodes(node);
    const std::set<std::string> params =
        node.Device() && codes.contains(17) ? PendingItemsOf(*node.Device(), PendingKind::Param)
                                            : std::set<std::string>{};
    // A parameter write for all of them is enough; else those whose lists
    // hold a pending parameter.
    bool writesAll = false;
    for (const CCommandDesc* command : offered)
        writesAll = writesAll || (command->Code() == 17 && command->ParamList().empty());
    std::vector<CCommandDesc*> chosen;
    for (CCommandDesc* command : offered) {
        if (!codes.contains(command->Code()))
            continue;
        if (command->Code() == 17 && !command->ParamList().empty()) {
            if (writesAll)
                continue;
            bool carries = false;
            for (const std::string& name : command->ParamList())
                carries = carries || params.contains(name);
            if (!carries)
                continue;
        }
        chosen.push_back(command);
    }
    return chosen;
}

} // namespace tornu
