#include "doc/TornuCfgDoc.h"

#include "db/ConfigurationLoader.h"
#include "protocol/ConfigText.h"
#include "protocol/TermMessage.h"
#include "settings/Md5Digest.h"

#include <algorithm>
#include <filesystem>

namespace tornu {

namespace {

constexpr const char* kMainSection = "Main";
constexpr const char* kPasswordKey = "Password";

} // namespace

namespace {

std::filesystem::path FolderOrCurrent(std::filesystem::path folder) {
    if (!folder.empty())
        return folder;
    std::error_code ec;
    folder = std::filesystem::current_path(ec);
    return ec ? std::filesystem::path(".") : folder;
}

} // namespace

CTornuCfgDoc::CTornuCfgDoc(IOperator& op, std::filesystem::path folder)
    : operator_(op), folder_(FolderOrCurrent(std::move(folder))) {
    // The settings come first: they may name the database to connect to.
    // A missing file is a new installation; one that exists but cannot be
    // read is not, and the operator hears of it.
    const std::string settingsPath = (folder_ / kSettingsFileName).string();
    if (!settings_.Load(settingsPath) && std::filesystem::exists(settingsPath))
        settingsError_ = kSettingsUnreadableMessage + settings_.LastError();
    database_ = std::make_unique<CConfigDatabase>(settings_, folder_.string());
    catalogue_.LoadPhoneBookLayouts(settings_);
}

CTornuCfgDoc::~CTornuCfgDoc() = default;

bool CTornuCfgDoc::OnNewDocument() {
    if (started_)
        return true;
    if (!CheckProgramPassword())
        return false;
    started_ = true;
    catalogue_.LoadTypes(settings_);
    // A database that cannot be opened or read is said so once, and nothing
    // is written in it (it refuses every statement from then on); the tree
    // stays empty.
    if (!settingsError_.empty())
        operator_.Message(settingsError_);
    if (!LoadConfiguration(*database_, catalogue_.Params(), terminals_) &&
        !database_->Failure().empty())
        operator_.Message(database_->Failure());
    FillTree();
    return true;
}

bool CTornuCfgDoc::CheckProgramPassword() {
    std::string stored;
    if (!settings_.GetValue(kMainSection, kPasswordKey, stored) || stored.empty())
        return true;
    for (;;) {
        std::optional<std::string> typed = operator_.AskPassword(PasswordMode::Login);
        if (!typed)
            return false;
        if (typed->empty()) {
            operator_.Message(kEmptyPasswordMessage);
            continue;
        }
        // Exactly as stored: a digest kept in upper case never matches.
        if (CMd5Digest(*typed).Hex() == stored)
            return true;
        operator_.Message(kWrongPasswordMessage);
        return false;
    }
}

bool CTornuCfgDoc::ChangeProgramPassword() {
    std::optional<std::string> typed = operator_.AskPassword(PasswordMode::NewPassword);
    if (!typed)
        return false;
    const std::string digest = typed->empty() ? std::string() : CMd5Digest(*typed).Hex();
    if (!settings_.SetValue(kMainSection, kPasswordKey, digest))
        return false;
    if (settings_.Save())
        return true;
    operator_.Message(kSettingsNotSavedMessage + settings_.LastError());
    return false;
}

void CTornuCfgDoc::OnCloseDocument() {
    ShowNothing();
    ClearTree();
    terminals_.clear();
}

CTreeNode* CTornuCfgDoc::Reload() {
    CTreeNode* selected = SelectedNode();
    if (!started_ || !RecordsFree())
        return selected;
    TerminalList loaded;
    if (!LoadConfiguration(*database_, catalogue_.Params(), loaded)) {
        operator_.Message(database_->Failure().empty() ? database_->LastError()
                                                       : database_->Failure());
        return selected;
    }
    // The node is found again by its record's keys: the records are new.
    const int id = selected ? selected->Terminal().Id() : -1;
    const int address = selected && selected->Device() ? selected->Device()->Address() : -1;
    ShowNothing();
    ClearTree();
    terminals_ = std::move(loaded);
    FillTree();
    CTreeNode* again = id >= 0 ? FindNode(id, address) : nullptr;
    if (again)
        Select(again);
    return again;
}

void CTornuCfgDoc::AddObserver(IDocObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
        observers_.push_back(&observer);
}

void CTornuCfgDoc::RemoveObserver(IDocObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer),
                     observers_.end());
}

void CTornuCfgDoc::Tell(const std::function<void(IDocObserver&)>& call) {
    // A copy: a view may register or leave while it is told.
    const std::vector<IDocObserver*> observers = observers_;
    for (IDocObserver* observer : observers)
        call(*observer);
}

void CTornuCfgDoc::Notify(UpdateHint hint, CTreeNode* node, CTreeNode** slot,
                          const IDocObserver* sender) {
    Tell([&](IDocObserver& observer) {
        if (&observer != sender)
            observer.OnUpdate(hint, node, slot);
    });
}

void CTornuCfgDoc::ShowPane(Pane pane) {
    pane_ = pane;
    Tell([&](IDocObserver& observer) { observer.OnPaneChanged(pane); });
}

void CTornuCfgDoc::ShowNothing() {
    Notify(kHintShowNode);
    ShowPane(Pane::Empty);
}

void CTornuCfgDoc::FillTree() {
    Tell([](IDocObserver& observer) { observer.OnTreeResetting(); });
    tree_.Fill(terminals_, showStructure_);
    Tell([](IDocObserver& observer) { observer.OnTreeReset(); });
    Notify(kHintFillTree);
}

void CTornuCfgDoc::ClearTree() {
    Notify(kHintClearTree);
    Tell([](IDocObserver& observer) { observer.OnTreeResetting(); });
    tree_.Clear();
    Tell([](IDocObserver& observer) { observer.OnTreeReset(); });
}

CTreeNode* CTornuCfgDoc::SelectedNode() {
    CTreeNode* node = nullptr;
    Notify(kHintCurrentNode, nullptr, &node);
    return node;
}

void CTornuCfgDoc::Select(CTreeNode* node) {
    if (!node) {
        ShowNothing();
        return;
    }
    ShowPane(node->Kind() == NodeKind::Terminal ? Pane::TerminalOptions : Pane::DeviceOptions);
    Notify(kHintShowNode, node);
}

void CTornuCfgDoc::ToggleStructure() {
    ShowNothing();
    ClearTree();
    showStructure_ = !showStructure_;
    FillTree();
}

CTreeNode& CTornuCfgDoc::InsertItem(CTreeNode* parent, std::unique_ptr<CTreeNode> node) {
    const std::size_t row = tree_.InsertRow(parent, node->Label());
    Tell([&](IDocObserver& observer) { observer.OnItemInserting(parent, row); });
    CTreeNode& item = tree_.Insert(parent, std::move(node));
    Tell([&](IDocObserver& observer) { observer.OnItemInserted(item); });
    return item;
}

CTreeNode& CTornuCfgDoc::InsertDevice(CTreeNode* parent, CDevice& device) {
    // Without the structure every device stands at the root, as a fill puts it.
    return InsertItem(showStructure_ ? parent : nullptr,
                      std::make_unique<CTreeNode>(device, DeviceLabel(device, showStructure_)));
}

void CTornuCfgDoc::Relabel(CTreeNode& node, std::string label) {
    const std::size_t from = tree_.Row(node);
    const std::size_t to = tree_.RelabelRow(node, label);
    if (from != to)
        Tell([&](IDocObserver& observer) { observer.OnItemMoving(node, from, to); });
    tree_.Relabel(node, std::move(label));
    if (from != to)
        Tell([&](IDocObserver& observer) { observer.OnItemMoved(node); });
    Tell([&](IDocObserver& observer) { observer.OnItemRelabelled(node); });
}

void CTornuCfgDoc::RemoveItem(CTreeNode& node) {
    Tell([&](IDocObserver& observer) { observer.OnItemRemoving(node); });
    CTreeNode* parent = node.Parent();
    const std::size_t row = tree_.Row(node);
    tree_.Remove(node);
    Tell([&](IDocObserver& observer) { observer.OnItemRemoved(parent, row); });
}

CTerminal* CTornuCfgDoc::FindTerminal(int id) const {
    for (const auto& terminal : terminals_)
        if (terminal->Id() == id)
            return terminal.get();
    return nullptr;
}

CTreeNode* CTornuCfgDoc::FindNode(int id, int address) const {
    const CTerminal* terminal = FindTerminal(id);
    if (!terminal)
        return nullptr;
    if (address < 0)
        return tree_.Find(*terminal);
    const CDevice* device = terminal->FindDevice(address);
    return device ? tree_.Find(*device) : nullptr;
}

std::optional<std::string> CTornuCfgDoc::CheckTerminalInput(const TerminalInput& input) {
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

std::optional<std::string> CTornuCfgDoc::CheckTerminalTexts(const TerminalInput& input) {
    for (const std::string* text : {&input.phone, &input.password, &input.newPassword})
        if (!IsMessageSafe(*text))
            return kUnsafeTextMessage;
    return std::nullopt;
}

std::optional<std::string> CTornuCfgDoc::CheckDeviceInput(const DeviceInput& input) {
    if (input.address < 0)
        return kChooseAddressMessage;
    if (input.busType < 0)
        return kChooseTypeMessage;
    return CheckDeviceTexts(input);
}

std::optional<std::string> CTornuCfgDoc::CheckDeviceTexts(const DeviceInput& input) {
    for (const std::string* text : {&input.name, &input.password, &input.newPassword})
        if (!IsMessageSafe(*text))
            return kUnsafeTextMessage;
    return std::nullopt;
}

std::vector<int> CTornuCfgDoc::OfferedAddresses(const CTreeNode& parent) const {
    return parent.Terminal().FreeAddresses();
}

std::vector<int> CTornuCfgDoc::OfferedBusTypes(const CTreeNode& parent) const {
    const bool underTerminal = parent.Kind() == NodeKind::Terminal;
    std::vector<int> offered;
    const auto& types = catalogue_.BusTypes();
    for (std::size_t index = 0; index < types.size(); ++index)
        if (underTerminal ? types[index]->CanBeTopLevel() : types[index]->CanBeSubordinate())
            offered.push_back(static_cast<int>(index));
    return offered;
}

} // namespace tornu
