// Every change of the configuration with its checks and messages, and what
// the option views show.
#include "doc/ConfigEditor.h"

#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DevicePhone.h"
#include "db/Sensor.h"
#include "db/Tables.h"
#include "doc/ConfigTree.h"
#include "doc/ExchangeRuns.h"
#include "doc/ListFiles.h"
#include "doc/Operator.h"
#include "doc/Workspace.h"
#include "import/StationImport.h"
#include "protocol/CommandSet.h"
#include "protocol/ConfigText.h"
#include "protocol/KeyCode.h"
#include "protocol/TermMessage.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

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

// The first text longer than its column of `table`: the message naming the
// field and its limit.
std::optional<std::string>
TooLong(const TableDesc& table,
        std::initializer_list<std::pair<std::string_view, std::string_view>> texts) {
    for (const auto& [column, text] : texts)
        if (const CResult fits = CheckColumnText(table, column, text); !fits)
            return fits.Error();
    return std::nullopt;
}

// One operation under a terminal: one transaction, so that a row another
// program holds ends it after one bounded wait, and nothing of it stays when
// a step fails. It first checks that the terminal is still stored.
template <class Write> bool WriteUnder(CConfigDatabase& db, CTerminal& terminal, Write&& write) {
    CDbTransaction transaction(&db);
    const bool written = terminal.StillStored() && write();
    return transaction.End(written) && written;
}

// After a write that was rolled back the records hold what was not stored:
// they read their rows again, so that memory and views show what is.
template <class... Records> void ReadBack(Records&... records) {
    (static_cast<void>(records.Select()), ...);
}

template <class Record> void ReadBackAll(const CRecordList<Record>& records) {
    for (Record* record : records)
        ReadBack(*record);
}

} // namespace

bool CConfigEditor::NewTerminal(const TerminalInput& input) {
    if (std::optional<std::string> refusal = CheckTerminalInput(input)) {
        operator_.Message(*refusal);
        return false;
    }
    CConfigDatabase& db = workspace_.Database();
    db.TakeFailedStatementError();
    if (AddTerminal(input))
        return true;
    // Not a duplicate number when the database itself is the cause.
    if (!db.IsAvailable()) {
        operator_.Message(db.Failure());
        return false;
    }
    std::string message = kAddTerminalFailedMessage;
    if (const std::string error = db.Outcome(false).Error(); !error.empty())
        message += "\r\n" + error;
    operator_.Message(message);
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
    return Failed(node, kEditTerminalFailedMessage);
}

bool CConfigEditor::UpdateTerminal(CTreeNode& node, const TerminalInput& input) {
    if (node.Kind() != NodeKind::Terminal)
        return false;
    CTerminal& terminal = node.Terminal();
    terminal.SetNewPassword(input.newPassword);
    const bool saved = WriteUnder(workspace_.Database(), terminal, [&] {
        return terminal.SetPassword(input.password) && terminal.SetPhone(input.phone);
    });
    if (!saved)
        ReadBack(terminal);
    tree_.Relabel(node);
    tree_.NodeChanged(node);
    return saved;
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
    return Failed(parent, kAddDeviceFailedMessage);
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
    const bool named = device->SetName(input.name) && device->SetPassword(input.password);
    // A count the type does not allow is refused without failing the addition.
    device->SetLoopCount(input.loopCount);
    if (!transaction.End(named) || !named) {
        // Nothing of it was kept: the object goes too.
        parent.Terminal().DeleteDevice(device);
        return nullptr;
    }
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
    return Failed(node, kEditDeviceFailedMessage);
}

bool CConfigEditor::UpdateDevice(CTreeNode& node, const DeviceInput& input) {
    CDevice* device = node.Device();
    if (!device)
        return false;
    device->SetNewPassword(input.newPassword);
    const bool saved = WriteUnder(workspace_.Database(), node.Terminal(), [&] {
        return device->SetPassword(input.password) && device->SetName(input.name);
    });
    if (!saved)
        ReadBack(*device);
    tree_.Relabel(node);
    tree_.NodeChanged(node);
    return saved;
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
    if (!device)
        return DeleteTerminal(node);
    CConfigDatabase& db = workspace_.Database();
    CDbTransaction transaction(&db);
    if (!terminal.StillStored()) {
        transaction.End(false);
        return Failed(node, kDeleteDeviceFailedMessage);
    }
    tree_.RemoveWithRecords(node);
    const bool deleted = terminal.DeleteDevice(device);
    if (transaction.End(deleted) && deleted)
        return true;
    // The items have gone with the objects; the rows stay until "Обновить"
    // shows them again.
    const std::string error = db.Outcome(false).Error();
    operator_.Message(std::string(kDeleteDeviceFailedMessage) +
                      (error.empty() ? "" : "\r\n" + error));
    return false;
}

bool CConfigEditor::DeleteTerminal(CTreeNode& node) {
    CTerminal& terminal = node.Terminal();
    // The rows first: when they cannot go, the terminal stays where it was.
    if (!terminal.DeleteRows())
        return Failed(node, kDeleteTerminalFailedMessage);
    DropTerminal(terminal);
    return true;
}

void CConfigEditor::DropTerminal(CTerminal& terminal) {
    if (CTreeNode* node = tree_.Find(terminal)) {
        tree_.RemoveWithRecords(*node);
    } else {
        // Without the structure only the devices have items.
        for (const auto& device : terminal.Devices())
            if (CTreeNode* item = tree_.Find(*device))
                tree_.RemoveWithRecords(*item);
    }
    auto owned = std::find_if(workspace_.Terminals().begin(), workspace_.Terminals().end(),
                              [&](const auto& t) { return t.get() == &terminal; });
    if (owned != workspace_.Terminals().end())
        workspace_.Terminals().erase(owned);
    if (workspace_.Terminals().empty())
        tree_.ShowNothing();
}

bool CConfigEditor::Failed(CTreeNode& node, std::string message) {
    CTerminal& terminal = node.Terminal();
    const std::string why = terminal.WriteOutcome(false).Error();
    if (!why.empty())
        message += "\r\n" + why;
    operator_.Message(message);
    if (why == kTerminalDeletedMessage)
        DropTerminal(terminal);
    return false;
}

bool CConfigEditor::DistributeLoops(CTreeNode& node) {
    if (!Editable(node))
        return false;
    if (node.Kind() != NodeKind::Terminal)
        return false;
    const bool distributed = node.Terminal().DistributeLoops();
    tree_.NodeChanged(node);
    return distributed || Failed(node, kDistributeLoopsFailedMessage);
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
    // Told as a failure when some values could not be written.
    if (result.failed > 0)
        operator_.Message(StationImportedMessage(result));
    else
        operator_.Inform(StationImportedMessage(result));
    // Phones and passwords changed under the views: the tree's filter and an
    // option view showing a terminal read them again.
    for (const auto& terminal : workspace_.Terminals())
        if (CTreeNode* node = tree_.Find(*terminal))
            tree_.NodeChanged(*node);
    return result.failed == 0;
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
    // The new password is stored as the password once the terminal took it.
    return TooLong(kTerminalTable, {{"phone", input.phone},
                                    {"password", input.password},
                                    {"password", input.newPassword}});
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
    return TooLong(kDeviceTable, {{"name", input.name},
                                  {"password", input.password},
                                  {"password", input.newPassword}});
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
    // What the operation's statements say is theirs alone.
    workspace_.Database().TakeFailedStatementError();
    if (!runs_.Holds(node.Terminal()))
        return true;
    operator_.Message(runs_.HeldByBatch(node.Terminal().Id()) ? kTerminalInBatchMessage
                                                              : kTerminalBusyMessage);
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
    // Stays so when the terminal is gone.
    EditResult result;
    result.outcome = EditOutcome::StoreFailed;
    const bool stored = WriteUnder(workspace_.Database(), node.Terminal(), [&] {
        result = EditValue(*device, index, entered);
        return result.outcome == EditOutcome::Stored;
    });
    if (!stored && result.outcome == EditOutcome::Stored)
        result.outcome = EditOutcome::StoreFailed;
    if (result.outcome == EditOutcome::StoreFailed && index < device->Params().size())
        ReadBack(*device->Params()[index]);
    const std::string_view message = EditMessage(result.outcome);
    if (!message.empty())
        operator_.Message(std::string(message));
    if (result.outcome == EditOutcome::Stored)
        tree_.NodeChanged(node, sender);
    if (result.outcome == EditOutcome::StoreFailed)
        Failed(node, kParamNotSavedMessage);
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
    const bool changed = type != loop->Type() || input.comment != loop->Name();
    if (!changed)
        return true;
    if (std::optional<std::string> refusal = TooLong(kSensorTable, {{"name", input.comment}})) {
        operator_.Message(*refusal);
        return false;
    }
    const bool saved = WriteUnder(workspace_.Database(), node.Terminal(), [&] {
        return (type == loop->Type() || loop->SetType(type)) &&
               (input.comment == loop->Name() || loop->SetName(input.comment));
    });
    if (!saved)
        ReadBack(*loop);
    tree_.NodeChanged(node, sender);
    return saved || Failed(node, kLoopNotSavedMessage);
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
    CDevicePhone& phone = *device->Phones()[entry];
    const bool saved = WriteUnder(workspace_.Database(), node.Terminal(),
                                  [&] { return phone.SetMask(static_cast<int>(mask)); });
    if (!saved)
        ReadBack(phone);
    tree_.NodeChanged(node, sender);
    return saved || Failed(node, kPhoneNotSavedMessage);
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
    if (std::optional<std::string> refusal =
            TooLong(kDevicePhoneTable, {{"phone", StoredPhoneNumber(number)}})) {
        operator_.Message(*refusal);
        return false;
    }
    const bool saved = WriteUnder(workspace_.Database(), node.Terminal(),
                                  [&] { return phone.SetPhoneNumber(number); });
    if (!saved)
        ReadBack(phone);
    tree_.NodeChanged(node, sender);
    return saved || Failed(node, kPhoneNotSavedMessage);
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
    if (std::optional<std::string> refusal =
            TooLong(kDeviceKeyTable, {{"key_owner", owner.value_or(std::string())}})) {
        operator_.Message(*refusal);
        return false;
    }
    const bool saved = WriteUnder(workspace_.Database(), node.Terminal(), [&] {
        return key.SetKeyCode(code) && (!owner || key.SetOwner(std::move(*owner)));
    });
    if (!saved)
        ReadBack(key);
    tree_.NodeChanged(node, sender);
    return saved || Failed(node, kKeyNotSavedMessage);
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
    std::optional<std::string> failure;
    const bool loaded = WriteUnder(workspace_.Database(), node.Terminal(), [&] {
        failure = LoadPhoneBookFile(*device, path);
        return !failure;
    });
    if (!loaded)
        ReadBackAll(device->Phones());
    tree_.NodeChanged(node, sender);
    return loaded || Failed(node, failure.value_or(std::string(kPhoneBookDataMessage)));
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
    std::optional<std::string> failure;
    const bool loaded = WriteUnder(workspace_.Database(), node.Terminal(), [&] {
        failure = LoadKeyListFile(*device, path);
        return !failure;
    });
    if (!loaded)
        ReadBackAll(device->Keys());
    tree_.NodeChanged(node, sender);
    return loaded || Failed(node, failure.value_or(std::string(kKeyListNotSavedMessage)));
}

bool CConfigEditor::SaveKeyList(CTreeNode& node, const std::string& path) {
    CDevice* device = EditableDevice(node);
    return device && Told(SaveKeyListFile(*device, path));
}

} // namespace tornu
