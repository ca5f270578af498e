#pragma once
// Every change of the configuration, with its checks and its messages to the
// operator: terminals and devices added, changed and deleted, loops
// distributed, station data imported, and what the option views and their
// dialogs change. Also what those views show. Records write through, so there
// is no save step; each change is told to the tree's observers.
#include "catalogue/ParamEdit.h"
#include "doc/OptionViewModels.h"
#include "doc/ParamGridModel.h"
#include "doc/PhoneBookModel.h"
#include "import/StationServer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CConfigTree;
class CDevice;
class CExchangeRuns;
class CTerminal;
class CTreeNode;
class CWorkspace;
class IDocObserver;
class IOperator;

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
inline constexpr const char* kDeleteTerminalFailedMessage = "Ошибка удаления базового модуля";
inline constexpr const char* kDeleteDeviceFailedMessage = "Ошибка удаления сетевого устройства";
inline constexpr const char* kDistributeLoopsFailedMessage = "Ошибка распределения шлейфов";
inline constexpr const char* kParamNotSavedMessage = "Ошибка сохранения значения параметра";
inline constexpr const char* kLoopNotSavedMessage = "Ошибка изменения параметров шлейфа";
inline constexpr const char* kPhoneNotSavedMessage = "Ошибка изменения телефонной книги";
inline constexpr const char* kKeyNotSavedMessage = "Ошибка изменения ключа";
inline constexpr const char* kTerminalBusyMessage =
    "Идет обмен с этим базовым модулем. Изменения возможны после окончания обмена";

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

class CConfigEditor {
public:
    CConfigEditor(CWorkspace& workspace, CConfigTree& tree, const CExchangeRuns& runs);

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
    // "Распределение шлейфов" for a terminal node.
    bool DistributeLoops(CTreeNode& node);

    // The import command: refused while the station's server runs, then the
    // station's folder asked for, starting at the installation folder. True
    // when the station's table was read.
    bool OnImport(std::string_view serverLock = kStationServerLock);
    // Phones and passwords of the known terminals from the station's table
    // in `folder`; the outcome is told to the operator. False when the table
    // could not be opened.
    bool ImportStationData(const std::string& folder);

    // ---- What the option views show: nothing for a node of the other kind.
    std::optional<TerminalViewModel> TerminalView(const CTreeNode& node) const;
    std::optional<DeviceViewModel> DeviceView(const CTreeNode& node) const;
    std::optional<ParamGridModel> ParamGrid(const CTreeNode& node) const;
    std::optional<PhoneBookModel> PhoneBook(const CTreeNode& node) const;
    std::optional<std::vector<KeyRow>> KeyList(const CTreeNode& node) const;

    // ---- Changes the option views and their dialogs make. Each tells the
    // operator why it refused, and tells every view but `sender`, the view
    // that made the change, that the node changed.

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

private:
    // The node's records may be changed now: no exchange holds its terminal.
    // Tells the operator when one does.
    bool Editable(const CTreeNode& node);
    CDevice* EditableDevice(CTreeNode& node);
    // Tells the operator the failure, if any; true when there was none.
    bool Told(const std::optional<std::string>& failure);
    // Tells the operator that an operation on the node failed: `message`,
    // then why: that another program deleted the terminal (which then
    // leaves the tree, as after "Обновить"), or the database's text. False;
    // `node` may be gone afterwards.
    bool Failed(CTreeNode& node, std::string message);
    // The terminal leaves memory and the tree; its rows are not touched.
    void DropTerminal(CTerminal& terminal);
    bool AddTerminal(const TerminalInput& input);
    CDevice* AddDevice(CTreeNode& parent, const DeviceInput& input);
    bool UpdateTerminal(CTreeNode& node, const TerminalInput& input);
    bool UpdateDevice(CTreeNode& node, const DeviceInput& input);
    bool DeleteTerminal(CTreeNode& node);

    CWorkspace& workspace_;
    CConfigTree& tree_;
    const CExchangeRuns& runs_;
    IOperator& operator_;
};

} // namespace tornu
