#pragma once
// A network device on a terminal's RS485 bus (a partition or a subordinate
// device): one row of table device. The terminal's own module is a device
// too, at the terminal type's own address.
//
// A device owns its parameter values, phone-book entries and keys; its loops
// belong to the terminal (loop numbers are terminal-wide) and its slaves are
// devices of the same terminal. The loops, parameters, phones and keys of a
// loaded device are read with its terminal's the first time one is asked
// for (CTerminal::ReadDependants).
#include "catalogue/BusDeviceType.h"
#include "catalogue/ParamValue.h"
#include "db/CompactText.h"
#include "db/DbRecord.h"
#include "db/DeviceKey.h"
#include "db/DeviceParam.h"
#include "db/DevicePhone.h"
#include "db/RecordList.h"
#include "db/Tables.h"
#include "protocol/CommandSnapshot.h"
#include "protocol/ReplyValue.h"
#include "settings/Result.h"

#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CSensor;
class CTerminal;
class IRowSource;

class CDevice : public CDbRecord, public IParamValues {
public:
    static constexpr int kNoMaster = -1;
    static constexpr int kInitialSystemState = 13;
    // A loop count of -1: as many as the type allows.
    static constexpr int kTypeLoopCount = -1;

    // Initial fields (no master, last key -1, system state 13, loop count 0,
    // no type); no statement. The terminal makes devices through
    // CTerminal::CreateDevice and the load.
    CDevice(CTerminal* terminal, int address);
    ~CDevice() override;

    const TableDesc& Describe() const override { return kDeviceTable; }
    RowKey Key() const override;
    CConfigDatabase* Database() const override;

    CTerminal& Terminal() const { return *terminal_; }
    int Address() const { return address_; }
    // The password, key, state and time come with the terminal's dependants.
    std::string Password() const {
        NeedDependants();
        return password_.Str();
    }
    std::string NewPassword() const;
    std::string Name() const { return name_.Str(); }
    int Master() const { return master_; }
    bool IsTopLevel() const { return master_ == kNoMaster; }
    int LastKey() const {
        NeedDependants();
        return lastKey_;
    }
    int SystemState() const {
        NeedDependants();
        return systemState_;
    }
    std::string LastTime() const {
        NeedDependants();
        return lastTime_.Str();
    }
    const CBusDeviceType& Type() const { return type_; }
    // The loop count chosen for the device; -1 means the type's maximum.
    int LoopCountSetting() const { return loopCount_; }
    // The loops the device gets at the next distribution.
    int LoopsToCreate() const;

    // Write through. A text that could not travel in a message
    // (IsMessageSafe) or is longer than its column is refused, nothing
    // changed.
    bool SetName(std::string name);
    bool SetPassword(std::string password);
    // 0 to the type's maximum loops; anything else fails without change.
    bool SetLoopCount(int count);
    bool SetLastTime(std::string time);
    // Memory only, refused like the password.
    bool SetNewPassword(std::string password);
    // Memory only: what a status reply sets, written with the device's row.
    void SetSystemState(int state) {
        NeedDependants();
        systemState_ = state;
    }
    void SetLastKey(int key) {
        NeedDependants();
        lastKey_ = key;
    }

    const std::vector<CDevice*>& Slaves() const { return slaves_; }
    // In creation order; the terminal owns them.
    const std::vector<CSensor*>& Loops() const;
    // In catalogue order.
    const CRecordList<CDeviceParam>& Params() const;
    // Types 0, 1 and 2 of "TLN" entries each, numbered from 0.
    const CRecordList<CDevicePhone>& Phones() const;
    // Exactly 15, numbers 0 to 14.
    const CRecordList<CDeviceKey>& Keys() const;

    // The parameter of that exact name; null when there is none.
    CDeviceParam* FindParam(std::string_view name) const;
    // Writes through; fails when the device has no parameter of that name.
    bool SetParamValue(std::string_view name, std::string value);

    // The values as the conversions and the editing rule see them; SetValue
    // writes through.
    std::size_t Count() const override;
    std::string_view Name(std::size_t index) const override;
    std::string_view Value(std::size_t index) const override;
    const CParamDesc* Desc(std::size_t index) const override;
    bool SetValue(std::size_t index, std::string_view stored) override;

    // A new subordinate device at `address` of this device's terminal. Only a
    // device without a master takes slaves. Null when it cannot be made.
    CDevice* CreateSlave(int address, const CBusDeviceType& type);
    // Makes this device a slave of the device at `masterAddress` (written
    // through), leaving its former master. -1 detaches it. Fails when no
    // device has that address, when it is this device or a slave itself, and
    // when this device has slaves of its own.
    bool AttachTo(int masterAddress);

    // ---- Terminal protocol (DeviceProtocol.cpp)
    // What the device's commands are built from; taken on the calling
    // thread when an exchange starts.
    DeviceSnapshot Snapshot() const;
    std::vector<PhoneEntry> PhoneEntries() const;
    // Applies a reply to one of the device's commands in one transaction;
    // a usable reply sets last_time from `now` and writes the row. A failure
    // when the reply is not one a device takes or its output file cannot be
    // written, and with the database's text when a row cannot be written.
    CResult ApplyReply(const ReplyValue& reply, std::time_t now = std::time(nullptr));
    // The phone book a reply or a file gives, written through.
    bool ApplyPhoneBook(const PhoneBookReply& book);

private:
    bool WriteReply(const ReplyValue& reply, std::time_t now);
    friend class CTerminal;
    friend struct CRecordColumns;

    // New form: the row is inserted with the type's description, then the
    // parameters, phones and keys. False, with nothing kept, when the row
    // cannot be inserted.
    bool CreateNew(const CBusDeviceType& type);
    // Load form: the row and the type it stores. False when there is no
    // row or its type description does not read.
    bool Load(IRowSource& source);
    // The terminal's dependants, read when this device's are asked for.
    void NeedDependants() const;
    // Parameters, phones and keys; new form (no source): each is inserted;
    // load form: each takes its row, and one without a row is put in
    // `missing`, to be inserted with its initial value.
    void CreateDependants(IRowSource* source, std::vector<CDbRecord*>* missing = nullptr);
    template <class Record>
    void AddDependant(Record& record, IRowSource* source, std::vector<CDbRecord*>* missing);
    void LoadLoops(IRowSource& source);
    // Loops of the distribution: first free numbers, type 0. False when a
    // row could not be written.
    bool CreateLoops();

    // The columns of the device's own row it changed.
    ColumnMask ApplyStatus(const StatusReply& status);
    void ApplyKeys(const KeyReply& keys);

    void InsertSlave(CDevice* slave);
    void RemoveSlave(CDevice* slave);
    void AddLoop(CSensor* loop) { Block().loops.push_back(loop); }
    void RemoveLoop(CSensor* loop);

    // Texts in 16 bytes each, the numbers packed: a fleet holds hundreds of
    // thousands of devices, all in memory from the start.
    CTerminal* terminal_;
    int address_;
    int master_ = kNoMaster;
    CCompactText password_;
    CCompactText name_;
    CCompactText lastTime_;
    int lastKey_ = -1;
    int systemState_ = kInitialSystemState;
    CBusDeviceType type_;
    int loopCount_ = 0;
    int referenceCount_ = 1;
    bool typeRead_ = false;
    std::vector<CDevice*> slaves_;
    // What comes with the terminal's dependants, made when they are read (a
    // device made here, at birth): none of it takes room before.
    struct Dependants {
        std::vector<CSensor*> loops;
        CRecordList<CDeviceParam> params;
        CRecordList<CDevicePhone> phones;
        CRecordList<CDeviceKey> keys;
        CCompactText newPassword;
    };
    Dependants& Block();
    // Empty lists before they are read.
    const Dependants& View() const;
    std::unique_ptr<Dependants> dependants_;
};

} // namespace tornu
