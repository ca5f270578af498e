// Every change of the configuration with its checks and messages, and what
// the option views show.
#include "doc/ConfigEditor.h"

#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DevicePhone.h"
#include "db/Sensor.h"
#include "doc/ConfigTree.h"
#include "doc/ExchangeRuns.h"
#include "doc/ListFiles.h"
#include "doc/Operator.h"
#include "doc/Workspace.h"
#include "import/StationImport.h"
#include "protocol/ConfigText.h"
#include "protocol/KeyCode.h"
#include "protocol/TermMessage.h"

#include <algorithm>

namespace tornu {


namespace {

constexpr std::int64_t kPhoneMaskLimit = std::int64_t{1} << CPhoneBookLayout::kBitCount;

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

bool CConfigEditor::NewTerminal(const TerminalInput& input) {
    if (std::optional<std::string> refusal = CheckTerminalInput(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (AddTerminal(input))
        return true;
    // Not a duplicate number when the database itself is the cause.
    operator_.Message(workspace_.Database().IsAvailable() ? std::string(kAddTerminalFailedMessage)
                                               : workspace_.Database().Failure());
    return false;
}

bool CConfigEditor::AddTerminal(const TerminalInput& input) {
    const int id = TypedNumber(input.number);
    if (!IsIndex(input.hostType, workspace_.Catalogue().HostTypes().size()) || workspace_.FindTerminal(id))
        return false;
    const CHostDeviceType& type = *workspace_.Catalogue().HostTypes()[static_cast<std::size_t>(input.hostType)];
    std::unique_ptr<CTerminal> terminal =
        CTerminal::Create(&workspace_.Database(), &workspace_.Catalogue().Params(), id, input.phone, input.password,
                          type, input.loopCount);
    if (!terminal)
        return false;
    CTreeNode* parent = tree_.ShowStructure() ? &tree_.InsertTerminal(*terminal) : nullptr;
    if (type.HasBuiltInDevice())
        if (CDevice* own = terminal->FindDevice(type.OwnDeviceAddress()))
            tree_.InsertDevice(parent, *own);
    workspace_.Terminals().push_back(std::move(terminal));
    return true;
}

bool CConfigEditor::EditTerminal(CTreeNode& node, const TerminalInput& input) {
    if (!Editable(node))
        return false;
    if (std::optional<std::string> refusal = CheckTerminalTexts(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (UpdateTerminal(node, input))
        return true;
    operator_.Message(kEditTerminalFailedMessage);
    return false;
}

bool CConfigEditor::UpdateTerminal(CTreeNode& node, const TerminalInput& input) {
    if (node.Kind() != NodeKind::Terminal)
        return false;
    CTerminal& terminal = node.Terminal();
    terminal.SetNewPassword(input.newPassword);
    const bool passwordSaved = terminal.SetPassword(input.password);
    const bool phoneSaved = terminal.SetPhone(input.phone);
    tree_.Relabel(node);
    tree_.NodeChanged(node);
    return passwordSaved && phoneSaved;
}

bool CConfigEditor::NewDevice(CTreeNode& parent, const DeviceInput& input) {
    if (!Editable(parent))
        return false;
    if (std::optional<std::string> refusal = CheckDeviceInput(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (AddDevice(parent, input))
        return true;
    operator_.Message(kAddDeviceFailedMessage);
    return false;
}

CDevice* CConfigEditor::AddDevice(CTreeNode& parent, const DeviceInput& input) {
    const std::vector<int> offered = OfferedBusTypes(parent);
    if (std::find(offered.begin(), offered.end(), input.busType) == offered.end())
        return nullptr;
    // The device with its name, password and loops, or nothing.
    CDbTransaction transaction(&workspace_.Database());
    const CBusDeviceType& type = *workspace_.Catalogue().BusTypes()[static_cast<std::size_t>(input.busType)];
    CDevice* device = parent.Kind() == NodeKind::Terminal
                          ? parent.Terminal().CreateDevice(input.address, type)
                          : parent.Device()->CreateSlave(input.address, type);
    if (!device)
        return nullptr;
    device->SetName(input.name);
    device->SetPassword(input.password);
    // A count the type does not allow is refused without failing the addition.
    device->SetLoopCount(input.loopCount);
    tree_.InsertDevice(&parent, *device);
    return device;
}

bool CConfigEditor::EditDevice(CTreeNode& node, const DeviceInput& input) {
    if (!Editable(node))
        return false;
    if (std::optional<std::string> refusal = CheckDeviceTexts(input)) {
        operator_.Message(*refusal);
        return false;
    }
    if (UpdateDevice(node, input))
        return true;
    operator_.Message(kEditDeviceFailedMessage);
    return false;
}

bool CConfigEditor::UpdateDevice(CTreeNode& node, const DeviceInput& input) {
    CDevice* device = node.Device();
    if (!device)
        return false;
    device->SetNewPassword(input.newPassword);
    const bool passwordSaved = device->SetPassword(input.password);
    const bool nameSaved = device->SetName(input.name);
    tree_.Relabel(node);
    tree_.NodeChanged(node);
    return passwordSaved && nameSaved;
}

bool CConfigEditor::CanDelete(const CTreeNode& node) const {
    return !node.Device() || (tree_.ShowStructure() && !IsOwnModule(*node.Device()));
}

bool CConfigEditor::DeleteNode(CTreeNode& node) {
    if (node.Device() && IsOwnModule(*node.Device()))
        return false;
    if (!Editable(node))
        return false;
    CTerminal& terminal = node.Terminal();
    CDevice* device = node.Device();
    tree_.RemoveWithRecords(node);
    if (device)
        return terminal.DeleteDevice(device);
    return DeleteTerminal(terminal);
}

bool CConfigEditor::DeleteTerminal(CTerminal& terminal) {
    auto owned = std::find_if(workspace_.Terminals().begin(), workspace_.Terminals().end(),
                              [&](const auto& t) { return t.get() == &terminal; });
    if (owned == workspace_.Terminals().end())
        return false;
    std::unique_ptr<CTerminal> doomed = std::move(*owned);
    workspace_.Terminals().erase(owned);
    const bool deleted = doomed->DeleteRows();
    doomed.reset();
    if (workspace_.Terminals().empty())
        tree_.ShowNothing();
    return deleted;
}

bool CConfigEditor::DistributeLoops(CTreeNode& node) {
    if (!Editable(node))
        return false;
    if (node.Kind() != NodeKind::Terminal)
        return false;
    const bool distributed = node.Terminal().DistributeLoops();
    tree_.NodeChanged(node);
    return distributed;
}

bool CConfigEditor::OnImport(std::string_view serverLock) {
    if (IsStationServerRunning(serverLock)) {
        operator_.Message(kStationServerRunningMessage);
        return false;
    }
    std::optional<std::string> folder = operator_.ChooseFolder(StationInstallDir());
    return folder && ImportStationData(*folder);
}

bool CConfigEditor::ImportStationData(const std::string& folder) {
    CChangeSourceScope source(&workspace_.Database(), ChangeSource::Import, folder);
    const StationImportResult result = tornu::ImportStationData(folder, workspace_.Terminals());
    if (!result.opened) {
        operator_.Message(kStationTableOpenFailedMessage + result.path);
        return false;
    }
    operator_.Inform(StationImportedMessage(result.count, result.skipped));
    // Phones and passwords changed under the views: the tree's filter and an
    // option view showing a terminal read them again.
    for (const auto& terminal : workspace_.Terminals())
        if (CTreeNode* node = tree_.Find(*terminal))
            tree_.NodeChanged(*node);
    return true;
}


std::optional<std::string> CConfigEditor::CheckTerminalInput(const TerminalInput& input) {
    if (input.number.empty())
        return kEnterNumberMessage;
    // The number is the address in every message header. A text that is no
    // number at all still reads as 0; a number no header can carry is refused.
    std::int32_t number = 0;
    const std::string_view digits = TrimmedText(input.number);
    const bool numeric = !digits.empty() && digits.find_first_not_of("-0123456789") ==
                                                std::string_view::npos;
    if (numeric && (!ParseInteger(digits, number) || number < 0 ||
                    number > CTermMessage::kMaxNumber))
        return kTerminalNumberRangeMessage;
    if (input.hostType < 0)
        return kChooseTypeMessage;
    return CheckTerminalTexts(input);
}

std::optional<std::string> CConfigEditor::CheckTerminalTexts(const TerminalInput& input) {
    for (const std::string* text : {&input.phone, &input.password, &input.newPassword})
        if (!IsMessageSafe(*text))
            return kUnsafeTextMessage;
    return std::nullopt;
}

std::optional<std::string> CConfigEditor::CheckDeviceInput(const DeviceInput& input) {
    if (input.address < 0)
        return kChooseAddressMessage;
    if (input.busType < 0)
        return kChooseTypeMessage;
    return CheckDeviceTexts(input);
}

std::optional<std::string> CConfigEditor::CheckDeviceTexts(const DeviceInput& input) {
    for (const std::string* text : {&input.name, &input.password, &input.newPassword})
        if (!IsMessageSafe(*text))
            return kUnsafeTextMessage;
    return std::nullopt;
}

std::vector<int> CConfigEditor::OfferedAddresses(const CTreeNode& parent) const {
    return parent.Terminal().FreeAddresses();
}

std::vector<int> CConfigEditor::OfferedBusTypes(const CTreeNode& parent) const {
    const bool underTerminal = parent.Kind() == NodeKind::Terminal;
    std::vector<int> offered;
    const auto& types = workspace_.Catalogue().BusTypes();
    for (std::size_t index = 0; index < types.size(); ++index)
        if (underTerminal ? types[index]->CanBeTopLevel() : types[index]->CanBeSubordinate())
            offered.push_back(static_cast<int>(index));
    return offered;
}





CConfigEditor::CConfigEditor(CWorkspace& workspace, CConfigTree& tree, const CExchangeRuns& runs)
    : workspace_(workspace), tree_(tree), runs_(runs), operator_(workspace.Operator()) {}

bool CConfigEditor::Editable(const CTreeNode& node) {
    if (!runs_.Holds(node.Terminal()))
        return true;
    operator_.Message(kTerminalBusyMessage);
    return false;
}

CDevice* CConfigEditor::EditableDevice(CTreeNode& node) {
    return node.Device() && Editable(node) ? node.Device() : nullptr;
}

std::optional<TerminalViewModel> CConfigEditor::TerminalView(const CTreeNode& node) const {
    if (node.Kind() != NodeKind::Terminal)
        return std::nullopt;
    return MakeTerminalViewModel(node.Terminal());
}

std::optional<DeviceViewModel> CConfigEditor::DeviceView(const CTreeNode& node) const {
    if (!node.Device())
        return std::nullopt;
    return MakeDeviceViewModel(*node.Device());
}

std::optional<ParamGridModel> CConfigEditor::ParamGrid(const CTreeNode& node) const {
    if (!node.Device())
        return std::nullopt;
    return MakeParamGridModel(*node.Device());
}

std::optional<PhoneBookModel> CConfigEditor::PhoneBook(const CTreeNode& node) const {
    if (!node.Device())
        return std::nullopt;
    return MakePhoneBookModel(*node.Device(), workspace_.Catalogue());
}

std::optional<std::vector<KeyRow>> CConfigEditor::KeyList(const CTreeNode& node) const {
    if (!node.Device())
        return std::nullopt;
    return MakeKeyListModel(*node.Device());
}

EditResult CConfigEditor::EditParam(CTreeNode& node, std::size_t index,
                                   std::optional<std::string> entered, const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return {};
    EditResult result = EditValue(*device, index, entered);
    const std::string_view message = EditMessage(result.outcome);
    if (!message.empty())
        operator_.Message(std::string(message));
    if (result.outcome == EditOutcome::Stored)
        tree_.NodeChanged(node, sender);
    return result;
}

EditResult CConfigEditor::EditParam(CTreeNode& node, std::string_view name, std::string entered,
                                   const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return {};
    for (std::size_t index = 0; index < device->Count(); ++index)
        if (device->Name(index) == name)
            return EditParam(node, index, std::move(entered), sender);
    return {};
}

bool CConfigEditor::EditLoop(CTreeNode& node, int loopNumber, const LoopInput& input,
                            const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    CSensor* loop = device ? device->Terminal().FindLoop(loopNumber) : nullptr;
    // Only a loop of the device's own list or of one of its slaves'.
    if (!loop || (&loop->Device() != device && loop->Device().Master() != device->Address()))
        return false;
    const int type = LoopTypeFromBoxes(input.boxes);
    bool saved = true;
    bool changed = false;
    if (type != loop->Type()) {
        saved = loop->SetType(type) && saved;
        changed = true;
    }
    if (input.comment != loop->Name()) {
        saved = loop->SetName(input.comment) && saved;
        changed = true;
    }
    if (changed)
        tree_.NodeChanged(node, sender);
    return saved;
}

bool CConfigEditor::SetPhoneMaskBit(CTreeNode& node, std::size_t entry, int bit, bool on,
                                   const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device || entry >= device->Phones().size() || bit < 0 ||
        bit >= CPhoneBookLayout::kBitCount)
        return false;
    const std::int64_t mask = device->Phones()[entry]->Mask();
    const std::int64_t flag = std::int64_t{1} << bit;
    return SetPhoneMask(node, entry, on ? (mask | flag) : (mask & ~flag), sender);
}

bool CConfigEditor::SetPhoneMask(CTreeNode& node, std::size_t entry, std::int64_t mask,
                                const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device || entry >= device->Phones().size() || mask < 0 || mask >= kPhoneMaskLimit)
        return false;
    const bool saved = device->Phones()[entry]->SetMask(static_cast<int>(mask));
    tree_.NodeChanged(node, sender);
    return saved;
}

bool CConfigEditor::SetPhoneNumber(CTreeNode& node, std::size_t entry, const std::string& typed,
                                  const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device || entry >= device->Phones().size())
        return false;
    CDevicePhone& phone = *device->Phones()[entry];
    if (std::optional<std::string_view> refusal = CheckPhoneNumberInput(typed, phone.Type())) {
        operator_.Message(std::string(*refusal));
        return false;
    }
    // Trimmed first: a "+" after a blank would not count as the first character.
    std::string number = typed;
    TrimText(number);
    const bool saved = phone.SetPhoneNumber(number);
    tree_.NodeChanged(node, sender);
    return saved;
}

bool CConfigEditor::SetKey(CTreeNode& node, std::size_t index, const std::string& code,
                          std::optional<std::string> owner, const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device || index >= device->Keys().size())
        return false;
    CDeviceKey& key = *device->Keys()[index];
    if (!IsValidKeyCode(code)) {
        operator_.Message(std::string(kBadKeyMessage));
        return false;
    }
    // Checked before the code is written, so that nothing is half stored.
    if (owner && !IsMessageSafe(*owner)) {
        operator_.Message(kUnsafeTextMessage);
        return false;
    }
    bool saved = key.SetKeyCode(code);
    if (owner)
        saved = key.SetOwner(std::move(*owner)) && saved;
    tree_.NodeChanged(node, sender);
    return saved;
}

bool CConfigEditor::Told(const std::optional<std::string>& failure) {
    if (failure)
        operator_.Message(*failure);
    return !failure;
}

bool CConfigEditor::LoadPhoneBook(CTreeNode& node, const std::string& path,
                                 const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return false;
    CChangeSourceScope source(&workspace_.Database(), ChangeSource::FileLoad, path);
    const bool loaded = Told(LoadPhoneBookFile(*device, path));
    tree_.NodeChanged(node, sender);
    return loaded;
}

bool CConfigEditor::SavePhoneBook(CTreeNode& node, const std::string& path) {
    CDevice* device = EditableDevice(node);
    return device && Told(SavePhoneBookFile(*device, path));
}

bool CConfigEditor::LoadKeyList(CTreeNode& node, const std::string& path,
                               const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return false;
    CChangeSourceScope source(&workspace_.Database(), ChangeSource::FileLoad, path);
    const bool loaded = Told(LoadKeyListFile(*device, path));
    tree_.NodeChanged(node, sender);
    return loaded;
}

bool CConfigEditor::SaveKeyList(CTreeNode& node, const std::string& path) {
    CDevice* device = EditableDevice(node);
    return device && Told(SaveKeyListFile(*device, path));
}

} // namespace tornu
