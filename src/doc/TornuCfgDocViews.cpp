// What the option views show and the changes they and their dialogs make.
// Every change is checked here and told to the other views; the views only
// render the models and hand in what the operator typed.
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DevicePhone.h"
#include "db/Sensor.h"
#include "doc/ListFiles.h"
#include "doc/TornuCfgDoc.h"
#include "protocol/ConfigText.h"
#include "protocol/KeyCode.h"

namespace tornu {

namespace {

constexpr std::int64_t kPhoneMaskLimit = std::int64_t{1} << CPhoneBookLayout::kBitCount;

} // namespace

CDevice* CTornuCfgDoc::EditableDevice(CTreeNode& node) const {
    return RecordsFree() ? node.Device() : nullptr;
}

std::optional<TerminalViewModel> CTornuCfgDoc::TerminalView(const CTreeNode& node) const {
    if (!RecordsFree() || node.Kind() != NodeKind::Terminal)
        return std::nullopt;
    return MakeTerminalViewModel(node.Terminal());
}

std::optional<DeviceViewModel> CTornuCfgDoc::DeviceView(const CTreeNode& node) const {
    if (!RecordsFree() || !node.Device())
        return std::nullopt;
    return MakeDeviceViewModel(*node.Device());
}

std::optional<ParamGridModel> CTornuCfgDoc::ParamGrid(const CTreeNode& node) const {
    if (!RecordsFree() || !node.Device())
        return std::nullopt;
    return MakeParamGridModel(*node.Device());
}

std::optional<PhoneBookModel> CTornuCfgDoc::PhoneBook(const CTreeNode& node) const {
    if (!RecordsFree() || !node.Device())
        return std::nullopt;
    return MakePhoneBookModel(*node.Device(), catalogue_);
}

std::optional<std::vector<KeyRow>> CTornuCfgDoc::KeyList(const CTreeNode& node) const {
    if (!RecordsFree() || !node.Device())
        return std::nullopt;
    return MakeKeyListModel(*node.Device());
}

EditResult CTornuCfgDoc::EditParam(CTreeNode& node, std::size_t index,
                                   std::optional<std::string> entered, const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return {};
    EditResult result = EditValue(*device, index, entered);
    const std::string_view message = EditMessage(result.outcome);
    if (!message.empty())
        operator_.Message(std::string(message));
    if (result.outcome == EditOutcome::Stored)
        Notify(kHintNodeChanged, &node, nullptr, sender);
    return result;
}

EditResult CTornuCfgDoc::EditParam(CTreeNode& node, std::string_view name, std::string entered,
                                   const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return {};
    for (std::size_t index = 0; index < device->Count(); ++index)
        if (device->Name(index) == name)
            return EditParam(node, index, std::move(entered), sender);
    return {};
}

bool CTornuCfgDoc::EditLoop(CTreeNode& node, int loopNumber, const LoopInput& input,
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
        Notify(kHintNodeChanged, &node, nullptr, sender);
    return saved;
}

bool CTornuCfgDoc::SetPhoneMaskBit(CTreeNode& node, std::size_t entry, int bit, bool on,
                                   const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device || entry >= device->Phones().size() || bit < 0 ||
        bit >= CPhoneBookLayout::kBitCount)
        return false;
    const std::int64_t mask = device->Phones()[entry]->Mask();
    const std::int64_t flag = std::int64_t{1} << bit;
    return SetPhoneMask(node, entry, on ? (mask | flag) : (mask & ~flag), sender);
}

bool CTornuCfgDoc::SetPhoneMask(CTreeNode& node, std::size_t entry, std::int64_t mask,
                                const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device || entry >= device->Phones().size() || mask < 0 || mask >= kPhoneMaskLimit)
        return false;
    const bool saved = device->Phones()[entry]->SetMask(static_cast<int>(mask));
    Notify(kHintNodeChanged, &node, nullptr, sender);
    return saved;
}

bool CTornuCfgDoc::SetPhoneNumber(CTreeNode& node, std::size_t entry, const std::string& typed,
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
    Notify(kHintNodeChanged, &node, nullptr, sender);
    return saved;
}

bool CTornuCfgDoc::SetKey(CTreeNode& node, std::size_t index, const std::string& code,
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
    Notify(kHintNodeChanged, &node, nullptr, sender);
    return saved;
}

bool CTornuCfgDoc::Told(const std::optional<std::string>& failure) {
    if (failure)
        operator_.Message(*failure);
    return !failure;
}

bool CTornuCfgDoc::LoadPhoneBook(CTreeNode& node, const std::string& path,
                                 const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return false;
    const bool loaded = Told(LoadPhoneBookFile(*device, path));
    Notify(kHintNodeChanged, &node, nullptr, sender);
    return loaded;
}

bool CTornuCfgDoc::SavePhoneBook(CTreeNode& node, const std::string& path) {
    CDevice* device = EditableDevice(node);
    return device && Told(SavePhoneBookFile(*device, path));
}

bool CTornuCfgDoc::LoadKeyList(CTreeNode& node, const std::string& path,
                               const IDocObserver* sender) {
    CDevice* device = EditableDevice(node);
    if (!device)
        return false;
    const bool loaded = Told(LoadKeyListFile(*device, path));
    Notify(kHintNodeChanged, &node, nullptr, sender);
    return loaded;
}

bool CTornuCfgDoc::SaveKeyList(CTreeNode& node, const std::string& path) {
    CDevice* device = EditableDevice(node);
    return device && Told(SaveKeyListFile(*device, path));
}

ModemPortSettings CTornuCfgDoc::ModemPort(const std::vector<ModemPortEntry>& entries) const {
    return ReadModemPortSettings(settings_, entries);
}

bool CTornuCfgDoc::SetModemPort(const ModemPortSettings& chosen) {
    if (std::optional<std::string_view> refusal = CheckModemPortSettings(chosen)) {
        operator_.Message(std::string(*refusal));
        return false;
    }
    if (!WriteModemPortSettings(settings_, chosen)) {
        operator_.Message("Невозможно сохранить " + settings_.Path());
        return false;
    }
    return true;
}

} // namespace tornu
