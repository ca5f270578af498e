// The document's operations on the configuration: terminals and devices
// added, changed and deleted, loops distributed, station data imported.
#include "doc/TornuCfgDoc.h"

#include "db/DbTransaction.h"
#include "import/StationImport.h"
#include "protocol/ConfigText.h"

#include <algorithm>
#include <unordered_set>

namespace tornu {

namespace {

bool IsIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// The number field: its decimal value, 0 for text that is not a number.
int TypedNumber(const std::string& text) {
    std::int32_t value = 0;
    return ParseInteger(text, value) ? value : 0;
}

bool IsOwnModule(const CDevice& device) {
    const CHostDeviceType& type = device.Terminal().Type();
    return type.HasBuiltInDevice() && device.Address() == type.OwnDeviceAddress();
}

} // namespace

bool CTornuCfgDoc::NewTerminal(const TerminalInput& input) {
    if (std::optional<std::string> refusal = CheckTerminalInput(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (AddTerminal(input))
        return true;
    // Not a duplicate number when the database itself is the cause.
    operator_.Message(database_->IsAvailable() ? std::string(kAddTerminalFailedMessage)
                                               : database_->Failure());
    return false;
}

bool CTornuCfgDoc::AddTerminal(const TerminalInput& input) {
    const int id = TypedNumber(input.number);
    if (!IsIndex(input.hostType, catalogue_.HostTypes().size()) || FindTerminal(id))
        return false;
    const CHostDeviceType& type = *catalogue_.HostTypes()[static_cast<std::size_t>(input.hostType)];
    std::unique_ptr<CTerminal> terminal =
        CTerminal::Create(database_.get(), &catalogue_.Params(), id, input.phone, input.password,
                          type, input.loopCount);
    if (!terminal)
        return false;
    CTreeNode* parent = nullptr;
    if (showStructure_)
        parent =
            &InsertItem(nullptr, std::make_unique<CTreeNode>(*terminal, TerminalLabel(*terminal)));
    if (type.HasBuiltInDevice())
        if (CDevice* own = terminal->FindDevice(type.OwnDeviceAddress()))
            InsertDevice(parent, *own);
    terminals_.push_back(std::move(terminal));
    return true;
}

bool CTornuCfgDoc::EditTerminal(CTreeNode& node, const TerminalInput& input) {
    if (std::optional<std::string> refusal = CheckTerminalTexts(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (UpdateTerminal(node, input))
        return true;
    operator_.Message(kEditTerminalFailedMessage);
    return false;
}

bool CTornuCfgDoc::UpdateTerminal(CTreeNode& node, const TerminalInput& input) {
    if (node.Kind() != NodeKind::Terminal)
        return false;
    CTerminal& terminal = node.Terminal();
    terminal.SetNewPassword(input.newPassword);
    const bool passwordSaved = terminal.SetPassword(input.password);
    const bool phoneSaved = terminal.SetPhone(input.phone);
    Relabel(node, TerminalLabel(terminal));
    Notify(kHintNodeChanged, &node);
    return passwordSaved && phoneSaved;
}

bool CTornuCfgDoc::NewDevice(CTreeNode& parent, const DeviceInput& input) {
    if (std::optional<std::string> refusal = CheckDeviceInput(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (AddDevice(parent, input))
        return true;
    operator_.Message(kAddDeviceFailedMessage);
    return false;
}

CDevice* CTornuCfgDoc::AddDevice(CTreeNode& parent, const DeviceInput& input) {
    const std::vector<int> offered = OfferedBusTypes(parent);
    if (std::find(offered.begin(), offered.end(), input.busType) == offered.end())
        return nullptr;
    // The device with its name, password and loops, or nothing.
    CDbTransaction transaction(database_.get());
    const CBusDeviceType& type = *catalogue_.BusTypes()[static_cast<std::size_t>(input.busType)];
    CDevice* device = parent.Kind() == NodeKind::Terminal
                          ? parent.Terminal().CreateDevice(input.address, type)
                          : parent.Device()->CreateSlave(input.address, type);
    if (!device)
        return nullptr;
    device->SetName(input.name);
    device->SetPassword(input.password);
    // A count the type does not allow is refused without failing the addition.
    device->SetLoopCount(input.loopCount);
    InsertDevice(&parent, *device);
    return device;
}

bool CTornuCfgDoc::EditDevice(CTreeNode& node, const DeviceInput& input) {
    if (std::optional<std::string> refusal = CheckDeviceTexts(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (UpdateDevice(node, input))
        return true;
    operator_.Message(kEditDeviceFailedMessage);
    return false;
}

bool CTornuCfgDoc::UpdateDevice(CTreeNode& node, const DeviceInput& input) {
    CDevice* device = node.Device();
    if (!device)
        return false;
    device->SetNewPassword(input.newPassword);
    const bool passwordSaved = device->SetPassword(input.password);
    const bool nameSaved = device->SetName(input.name);
    Relabel(node, DeviceLabel(*device, showStructure_));
    Notify(kHintNodeChanged, &node);
    return passwordSaved && nameSaved;
}

std::vector<CTreeNode*> CTornuCfgDoc::DoomedItems(CTreeNode& node) const {
    // The records that go: a terminal with all its devices, or a device with
    // its slaves. Without the structure the slaves' items are not under the
    // device's item, so items are found by record, wherever they stand.
    std::unordered_set<const CDevice*> devices;
    if (CDevice* device = node.Device()) {
        devices.insert(device);
        for (const CDevice* slave : device->Slaves())
            devices.insert(slave);
    } else {
        for (const auto& device : node.Terminal().Devices())
            devices.insert(device.get());
    }
    std::vector<CTreeNode*> items{&node};
    tree_.ForEach([&](CTreeNode& item) {
        if (&item != &node && item.Device() && devices.count(item.Device()))
            items.push_back(&item);
    });
    return items;
}

void CTornuCfgDoc::RemoveItems(const std::vector<CTreeNode*>& items) {
    // Only the topmost ones: an item goes with everything under it.
    // Chosen before any goes, since removing one frees the items under it.
    std::unordered_set<const CTreeNode*> doomed(items.begin(), items.end());
    std::vector<CTreeNode*> topmost;
    for (CTreeNode* item : items)
        if (!item->Parent() || !doomed.count(item->Parent()))
            topmost.push_back(item);
    for (CTreeNode* item : topmost)
        RemoveItem(*item);
}

bool CTornuCfgDoc::CanDelete(const CTreeNode& node) const {
    return !node.Device() || (showStructure_ && !IsOwnModule(*node.Device()));
}

bool CTornuCfgDoc::DeleteNode(CTreeNode& node) {
    if (node.Device() && IsOwnModule(*node.Device()))
        return false;
    const std::vector<CTreeNode*> items = DoomedItems(node);
    // Every view showing one of them lets go of it, not only one showing the
    // node itself.
    for (CTreeNode* item : items)
        Notify(kHintNodeDeleting, item);
    CTerminal& terminal = node.Terminal();
    CDevice* device = node.Device();
    RemoveItems(items);
    if (device)
        return terminal.DeleteDevice(device);
    return DeleteTerminal(terminal);
}

bool CTornuCfgDoc::DeleteTerminal(CTerminal& terminal) {
    auto owned = std::find_if(terminals_.begin(), terminals_.end(),
                              [&](const auto& t) { return t.get() == &terminal; });
    if (owned == terminals_.end())
        return false;
    std::unique_ptr<CTerminal> doomed = std::move(*owned);
    terminals_.erase(owned);
    const bool deleted = doomed->DeleteRows();
    doomed.reset();
    if (terminals_.empty())
        ShowNothing();
    return deleted;
}

bool CTornuCfgDoc::DistributeLoops(CTreeNode& node) {
    if (node.Kind() != NodeKind::Terminal)
        return false;
    const bool distributed = node.Terminal().DistributeLoops();
    Notify(kHintNodeChanged, &node);
    return distributed;
}

void CTornuCfgDoc::OnImport(std::string_view serverLock) {
    if (IsStationServerRunning(serverLock)) {
        operator_.Message(kStationServerRunningMessage);
        return;
    }
    if (std::optional<std::string> folder = operator_.ChooseFolder(StationInstallDir()))
        ImportStationData(*folder);
}

bool CTornuCfgDoc::ImportStationData(const std::string& folder) {
    const StationImportResult result = tornu::ImportStationData(folder, terminals_);
    if (!result.opened) {
        operator_.Message(kStationTableOpenFailedMessage + result.path);
        return false;
    }
    operator_.Message(StationImportedMessage(result.count, result.skipped));
    // Phones and passwords changed under the views: the tree's filter and an
    // option view showing a terminal read them again.
    for (const auto& terminal : terminals_)
        if (CTreeNode* node = tree_.Find(*terminal))
            Notify(kHintNodeChanged, node);
    return true;
}

} // namespace tornu
