#pragma once
// The document: the one owner of everything the running program knows (the
// settings file, the equipment catalogue, the configuration database and the
// terminals) and of the configuration tree the views render. Views change the
// configuration only through its operations and learn of changes through its
// update hints (DocObserver.h).
//
// Every operation the operator starts takes what the dialog collected and
// reports a refusal to him through IOperator, one message per failed action.
// Records write through, so there is no save step.
#include "catalogue/Catalogue.h"
#include "catalogue/ParamEdit.h"
#include "comms/Exchange.h"
#include "db/ConfigDatabase.h"
#include "db/Terminal.h"
#include "doc/DocObserver.h"
#include "doc/ModemPortSettings.h"
#include "doc/Operator.h"
#include "doc/OptionViewModels.h"
#include "doc/ParamGridModel.h"
#include "doc/PhoneBookModel.h"
#include "doc/TreeModel.h"
#include "import/StationServer.h"
#include "settings/IniFile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

inline constexpr const char* kSettingsFileName = "tornucfg.ini";

inline constexpr const char* kEmptyPasswordMessage = "Пароль не может быть пустым";
inline constexpr const char* kWrongPasswordMessage = "Некорректный пароль";
inline constexpr const char* kEnterNumberMessage = "Введите номер устройства";
inline constexpr const char* kChooseTypeMessage = "Выберите тип устройства";
inline constexpr const char* kChooseAddressMessage = "Выберите адрес устройства";
inline constexpr const char* kTerminalNumberRangeMessage = "Номер устройства: от 0 до 65535";
inline constexpr const char* kAddTerminalFailedMessage =
    "Ошибка добавления базового модуля.\r\nВозможно устройство с таким номером уже существует";
inline constexpr const char* kEditTerminalFailedMessage =
    "Ошибка изменения параметров базового модуля";
inline constexpr const char* kAddDeviceFailedMessage = "Ошибка добавления сетевого устройства";
inline constexpr const char* kEditDeviceFailedMessage =
    "Ошибка изменения параметров сетевого устройства";
inline constexpr const char* kNoPartitionPasswordQuestion = "Не задан пароль раздела. Продолжить?";
inline constexpr const char* kNoLinkPasswordQuestion = "Не задан пароль на связь. Продолжить?";
inline constexpr const char* kExchangeStartFailedMessage = "Невозможно запустить обмен";
inline constexpr const char* kSettingsUnreadableMessage = "Невозможно прочитать файл настроек: ";
inline constexpr const char* kSettingsNotSavedMessage = "Невозможно сохранить файл настроек: ";

// What became of "Выполнить команду ...".
enum class ExchangeOutcome {
    NotStarted,  // no node, a question answered No, or the choice cancelled
    StartFailed, // "Невозможно запустить обмен"
    Finished,    // the session ended normally: see each command's result
    Failed,      // the exchange failed before or during the login
    Cancelled,   // the operator cancelled it
};

// What the "Базовый модуль" dialog collects.
struct TerminalInput {
    std::string number{}; // "Номер устройства" as typed
    int hostType = -1;    // index in the catalogue's host types; -1 none chosen
    int loopCount = 0;    // 0 for "Нет шлейфов"
    std::string phone{};
    std::string password{};
    std::string newPassword{};
};

// What the "Сетевое устройство" dialog collects.
struct DeviceInput {
    int address = -1; // -1 none chosen
    int busType = -1; // index in the catalogue's bus types; -1 none chosen
    int loopCount = 0;
    std::string name{};
    std::string password{};
    std::string newPassword{};
};

class CTornuCfgDoc {
public:
    using TerminalList = std::vector<std::unique_ptr<CTerminal>>;

    // Works in `folder` (by default the current directory): loads its
    // "tornucfg.ini" (a missing file leaves the settings empty), connects to
    // the configuration database as the settings say (by default the file
    // in that folder), creating its missing tables, and reads the phone-book
    // layouts.
    explicit CTornuCfgDoc(IOperator& op, std::filesystem::path folder = {});
    ~CTornuCfgDoc();
    CTornuCfgDoc(const CTornuCfgDoc&) = delete;
    CTornuCfgDoc& operator=(const CTornuCfgDoc&) = delete;

    // The start: the program password when one is set, the catalogue, the
    // whole configuration, the tree (kHintFillTree). False when the operator
    // cancels the login or types a wrong password: the program ends. Later
    // calls change nothing.
    bool OnNewDocument();
    // Shows nothing, empties the tree and frees the configuration in memory;
    // the rows stay.
    void OnCloseDocument();
    // "Обновить": the configuration read again from the database, where
    // another program may have changed it, and the tree built anew. The item
    // selected before is shown again when its record is still there. Returns
    // the item the tree is to make current (null: none). When the database
    // cannot be read the operator is told why and everything stays as it was;
    // during an exchange nothing is done.
    CTreeNode* Reload();
    // "Сменить пароль ...": stores the digest of the new password, or an
    // empty value that removes the login, and saves the settings file. False
    // when cancelled or the file could not be saved.
    bool ChangeProgramPassword();

    void AddObserver(IDocObserver& observer);
    void RemoveObserver(IDocObserver& observer);

    // The tree's current item (kHintCurrentNode); null when there is none.
    CTreeNode* SelectedNode();
    // The tree's selection changed: the right pane follows it.
    void Select(CTreeNode* node);
    // "Показывать структуру": the tree is built anew the other way, with
    // nothing selected.
    void ToggleStructure();
    bool ShowStructure() const { return showStructure_; }
    Pane RightPane() const { return pane_; }

    // The dialogs' own checks: the message the dialog answers with, nothing
    // when the input may go on. Texts that go into messages must be
    // IsMessageSafe; the edits check those too.
    static std::optional<std::string> CheckTerminalInput(const TerminalInput& input);
    static std::optional<std::string> CheckDeviceInput(const DeviceInput& input);
    static std::optional<std::string> CheckTerminalTexts(const TerminalInput& input);
    static std::optional<std::string> CheckDeviceTexts(const DeviceInput& input);
    // What the "Сетевое устройство" dialog offers under `parent`: the free
    // addresses of its terminal, and the bus types (catalogue indexes) that
    // may stand on a terminal or be subordinate to a device.
    std::vector<int> OfferedAddresses(const CTreeNode& parent) const;
    std::vector<int> OfferedBusTypes(const CTreeNode& parent) const;
    // "Удалить" is offered for a terminal, and for a device other than the
    // terminal's own module while the structure is shown.
    bool CanDelete(const CTreeNode& node) const;

    // "Новое устройство": a terminal of the chosen type with its own module.
    bool NewTerminal(const TerminalInput& input);
    // "Редактировать" on a terminal: new password (memory only), password
    // and phone.
    bool EditTerminal(CTreeNode& node, const TerminalInput& input);
    // "Новый раздел" under a terminal node, "Новое подчиненное устройство"
    // under a device node.
    bool NewDevice(CTreeNode& parent, const DeviceInput& input);
    // "Редактировать" on a device: new password (memory only), password and name.
    bool EditDevice(CTreeNode& node, const DeviceInput& input);
    // "Удалить": the node's record with everything under it, rows and items,
    // without a question. `node` is gone afterwards.
    bool DeleteNode(CTreeNode& node);
    // "Распределение шлейфов" for a terminal node; kHintNodeChanged follows.
    bool DistributeLoops(CTreeNode& node);

    // The import command: refused while the station's server runs, then the
    // station's folder asked for, starting at the installation folder.
    void OnImport(std::string_view serverLock = kStationServerLock);
    // Phones and passwords of the known terminals from the station's table
    // in `folder`; the outcome is told to the operator. False when the table
    // could not be opened.
    bool ImportStationData(const std::string& folder);

    // ---- What the views show (TornuCfgDocViews.cpp). Nothing while an
    // exchange runs (the worker owns the records then) or for a node of the
    // other kind.

    std::optional<TerminalViewModel> TerminalView(const CTreeNode& node) const;
    std::optional<DeviceViewModel> DeviceView(const CTreeNode& node) const;
    std::optional<ParamGridModel> ParamGrid(const CTreeNode& node) const;
    std::optional<PhoneBookModel> PhoneBook(const CTreeNode& node) const;
    std::optional<std::vector<KeyRow>> KeyList(const CTreeNode& node) const;

    // ---- Changes the option views and their dialogs make. Each tells the
    // operator why it refused, and sends kHintNodeChanged for the node to
    // every view but `sender`, the view that made the change.

    // The grid's commit of value `index`: the typed text (N, F, S, B) or the
    // chosen list item (L; none when nothing is chosen). The result carries
    // the text to put back into the cell when the edit was refused.
    EditResult EditParam(CTreeNode& node, std::size_t index, std::optional<std::string> entered,
                         const IDocObserver* sender = nullptr);
    // The same by the parameter's name.
    EditResult EditParam(CTreeNode& node, std::string_view name, std::string entered,
                         const IDocObserver* sender = nullptr);
    // "Шлейф" on a loop of the device or of one of its slaves: only what
    // changed is written. False when the loop is not there or a row failed.
    bool EditLoop(CTreeNode& node, int loopNumber, const LoopInput& input,
                  const IDocObserver* sender = nullptr);
    // Phone-book entry `entry`: one mask bit, the whole mask (0 to 2^24-1),
    // or the number after the "Номер телефона" check (false, with the
    // message, when refused: the dialog stays open).
    bool SetPhoneMaskBit(CTreeNode& node, std::size_t entry, int bit, bool on,
                         const IDocObserver* sender = nullptr);
    bool SetPhoneMask(CTreeNode& node, std::size_t entry, std::int64_t mask,
                      const IDocObserver* sender = nullptr);
    bool SetPhoneNumber(CTreeNode& node, std::size_t entry, const std::string& typed,
                        const IDocObserver* sender = nullptr);
    // "Ключ": a valid code and the owner; "Введен некорректный ключ" and
    // false otherwise, nothing stored. Nothing for `owner` keeps the owner.
    bool SetKey(CTreeNode& node, std::size_t index, const std::string& code,
                std::optional<std::string> owner, const IDocObserver* sender = nullptr);

    // The phone-book and key-list files of a device (the file chosen by the
    // caller); a failure is told to the operator. A load keeps what it
    // applied before it stopped, and tells the views.
    bool LoadPhoneBook(CTreeNode& node, const std::string& path,
                       const IDocObserver* sender = nullptr);
    bool SavePhoneBook(CTreeNode& node, const std::string& path);
    bool LoadKeyList(CTreeNode& node, const std::string& path,
                     const IDocObserver* sender = nullptr);
    bool SaveKeyList(CTreeNode& node, const std::string& path);

    // "Настройка порта модема": what it shows, and the choice written with
    // the settings file saved ("Выберите порт" / "Выберите скорость", or the
    // save failure, told to the operator).
    ModemPortSettings ModemPort(const std::vector<ModemPortEntry>& entries) const;
    bool SetModemPort(const ModemPortSettings& chosen);

    // ---- Exchange (TornuCfgDocExchange.cpp)

    // True from the start of an exchange until its worker has ended.
    bool ExchangeRunning() const { return exchangeRunning_; }

    // "Выполнение команд..." / "Выполнить команду ...": for the tree's
    // current node, the password questions, the commands offered by kind
    // with their remembered files, the operator's choice, the exchange with
    // its log, then kHintNodeChanged and, when asked for, the results.
    ExchangeOutcome RunCommands();
    CExchange& Exchange() { return *exchange_; }

    CIniFile& Settings() { return settings_; }
    // Why the settings file that exists could not be read; empty otherwise.
    const std::string& SettingsError() const { return settingsError_; }
    CCatalogue& Catalogue() { return catalogue_; }
    const CCatalogue& Catalogue() const { return catalogue_; }
    CConfigDatabase& Database() { return *database_; }
    const TerminalList& Terminals() const { return terminals_; }
    CTerminal* FindTerminal(int id) const;
    const CTreeModel& Tree() const { return tree_; }
    // The item of terminal `id` (device address < 0) or of its device at
    // `address`; null when there is none.
    CTreeNode* FindNode(int id, int address = -1) const;
    const std::filesystem::path& Folder() const { return folder_; }

private:
    bool CheckProgramPassword();
    void Notify(UpdateHint hint, CTreeNode* node = nullptr, CTreeNode** slot = nullptr,
                const IDocObserver* sender = nullptr);
    void Tell(const std::function<void(IDocObserver&)>& call);
    // The records behind a node may be read and changed now.
    bool RecordsFree() const { return !exchangeRunning_; }
    CDevice* EditableDevice(CTreeNode& node) const;
    // Tells the operator the failure, if any; true when there was none.
    bool Told(const std::optional<std::string>& failure);
    void ShowPane(Pane pane);
    // Hint 1 with no node and the empty view.
    void ShowNothing();
    void FillTree();
    void ClearTree();
    // The tree's single changes, told to the views before and after.
    CTreeNode& InsertItem(CTreeNode* parent, std::unique_ptr<CTreeNode> node);
    CTreeNode& InsertDevice(CTreeNode* parent, CDevice& device);
    void Relabel(CTreeNode& node, std::string label);
    void RemoveItem(CTreeNode& node);

    bool AddTerminal(const TerminalInput& input);
    CDevice* AddDevice(CTreeNode& parent, const DeviceInput& input);
    bool UpdateTerminal(CTreeNode& node, const TerminalInput& input);
    bool UpdateDevice(CTreeNode& node, const DeviceInput& input);
    // Every item whose record goes with `node`'s record, `node` first.
    std::vector<CTreeNode*> DoomedItems(CTreeNode& node) const;
    void RemoveItems(const std::vector<CTreeNode*>& items);
    bool DeleteTerminal(CTerminal& terminal);
    bool ConfirmPasswords(const CTreeNode& node);
    void EndExchange();

    IOperator& operator_;
    std::filesystem::path folder_;
    std::vector<IDocObserver*> observers_;
    CIniFile settings_;
    std::string settingsError_;
    CCatalogue catalogue_;
    std::unique_ptr<CConfigDatabase> database_;
    // After the catalogue and the database: terminals refer to both.
    TerminalList terminals_;
    CTreeModel tree_;
    // Last: it is cancelled and gone before the records it talks to.
    std::unique_ptr<CExchange> exchange_ = std::make_unique<CExchange>(settings_);
    bool showStructure_ = true;
    Pane pane_ = Pane::Empty;
    bool started_ = false;
    bool exchangeRunning_ = false;
};

} // namespace tornu
