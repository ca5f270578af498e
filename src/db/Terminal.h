#pragma once
// A terminal (base module, "Базовый модуль"): one row of table terminal. Its
// number is its database id and the address in every message header.
//
// A terminal owns its devices, sorted by address, and all of its loops,
// sorted by number; loop numbers are unique within the terminal.
//
// A loaded terminal comes with its devices only: its loops and its devices'
// parameters, phones and keys (its dependants) are read the first time
// anything asks for them, and kept. The tree needs only terminals and
// devices, and a fleet holds a hundred rows of dependants for each of those.
#include "catalogue/HostDeviceType.h"
#include "db/DbRecord.h"
#include "db/Device.h"
#include "db/Sensor.h"
#include "db/Tables.h"
#include "protocol/CommandSnapshot.h"
#include "protocol/ReplyValue.h"
#include "settings/Result.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CBusDeviceType;
class CParamDesc;
class IRowSource;

// Why a write under a terminal was refused: another program deleted it
// since this one loaded it.
inline constexpr const char* kTerminalDeletedMessage = "Базовый модуль удален другим оператором";

// The catalogue's parameter descriptions, from which devices make their
// parameter values.
using ParamDescList = std::vector<std::unique_ptr<CParamDesc>>;

class CTerminal : public CDbRecord {
public:
    // Empty fields and no type; no statement. `params` may be null (no
    // parameters) and must outlive the terminal.
    CTerminal(CConfigDatabase* db, const ParamDescList* params, int id);
    ~CTerminal() override;

    // A new terminal of `type`: inserts its row, then its own module at the
    // type's own address with `loopCount` loops chosen (a count the module's
    // type does not allow is left at 0). Null when the row cannot be
    // inserted. The caller checks that no terminal has that id.
    static std::unique_ptr<CTerminal> Create(CConfigDatabase* db, const ParamDescList* params,
                                             int id, std::string phone, std::string password,
                                             const CHostDeviceType& type, int loopCount);
    // Load form: its row, then its own module, its other devices, and the
    // slaves attached to their masters; the dependants wait for
    // ReadDependants. False when there is no row or its type description
    // does not read.
    bool Load(IRowSource& source);

    // Reads the loops and the devices' parameters, phones and keys unless
    // they are in memory (a terminal made here has them from birth). The
    // rows that are missing are added with their initial values, all in one
    // transaction, unless the terminal's own row is gone meanwhile. Every
    // accessor that reaches a dependant calls it first, on the calling
    // thread. False when they could not be read (they are tried again at the
    // next call).
    bool ReadDependants() const { return dependantsRead_ || ReadDependantsNow(); }
    bool DependantsRead() const { return dependantsRead_; }

    const TableDesc& Describe() const override { return kTerminalTable; }
    RowKey Key() const override;
    CConfigDatabase* Database() const override;

    int Id() const { return id_; }
    const std::string& Phone() const { return phone_; }
    const std::string& Password() const { return password_; }
    const std::string& NewPassword() const { return newPassword_; }
    const CHostDeviceType& Type() const { return type_; }
    // The loop configuration text last read from the terminal.
    const std::string& ReadConfiguration() const { return readConfiguration_; }
    const ParamDescList& ParamDescs() const;

    // Write through. A text that could not travel in a message
    // (IsMessageSafe) or is longer than its column is refused, nothing
    // changed.
    bool SetPhone(std::string phone);
    bool SetPassword(std::string password);
    // Memory only; refused as above.
    bool SetNewPassword(std::string password);

    const std::vector<std::unique_ptr<CDevice>>& Devices() const { return devices_; }
    std::size_t DeviceCount() const { return devices_.size(); }
    CDevice* DeviceAt(std::size_t index) const;
    CDevice* FindDevice(int address) const;
    const std::vector<std::unique_ptr<CSensor>>& Loops() const {
        ReadDependants();
        return loops_;
    }
    CSensor* FindLoop(int number) const;

    // Every bus address of the type that no device uses, ascending.
    std::vector<int> FreeAddresses() const;
    // The smallest loop number from 1 to the type's count that no loop
    // uses; -1 when all are taken.
    int FirstFreeLoopNumber() const;

    // A new network device at a free address of the type's range, with its
    // parameters, phones and keys. Null when the address is out of range or
    // taken, or its row cannot be inserted.
    CDevice* CreateDevice(int address, const CBusDeviceType& type);
    // Deletes the device with its slaves, loops, parameters, phones and keys,
    // rows and objects. False when a statement failed; the objects go anyway.
    bool DeleteDevice(CDevice* device);
    // A new loop of `device`: number -1 takes the first free one. Null when
    // the terminal or the device has all the loops its type allows, the
    // number is taken, or its row cannot be inserted.
    CSensor* CreateLoop(CDevice& device, int number, int type);
    bool DeleteLoop(CSensor* loop);
    // "Распределение шлейфов": every loop is deleted, then each top-level
    // device in address order and after it each of its slaves gets its loop
    // count of new loops, numbered from 1 on, type 0, no name, until the
    // terminal's loop numbers run out.
    bool DistributeLoops();
    // Deletes every row of the terminal in all six tables; the caller then
    // destroys the object.
    bool DeleteRows();
    // Its row is still in the database: another program may have deleted the
    // terminal since it was loaded. Asked inside the transaction of a write
    // under the terminal, so that nothing is written under a deleted one; on
    // a server it holds the row until that transaction ends. False also when
    // the query failed (the database's text is kept for the caller).
    bool StillStored();

    // Every device with its loops, as the loop configuration text shows
    // them: each top-level device followed by its slaves, then the slaves
    // whose master is gone (left out of the text).
    std::vector<LoopLayoutEntry> LoopLayout() const;
    // The loop configuration text: each top-level device's entry and ",",
    // each followed by its slaves' entries and ",":  M1=2(1,0,),S5=1(16,),
    bool BuildLoopConfiguration(std::string& text) const;
    // Keeps the text read from the terminal, applies it and writes the row.
    bool SetLoopConfiguration(std::string text);
    // Sets the loop types the text gives, device by device, by position in
    // each device's loop list. Stops at the first malformed entry (false);
    // entries before it stay applied. It never adds or removes loops.
    bool ApplyLoopConfiguration(std::string_view text);

    // ---- Terminal protocol (TerminalProtocol.cpp)
    // What the terminal's commands are built from, and its phone and link
    // password; taken on the calling thread when an exchange starts.
    TerminalSnapshot Snapshot() const;
    // Applies a reply to one of the terminal's commands in one transaction
    // and writes the row. A failure when the reply is not one a terminal
    // takes or its output file cannot be written, and with the database's
    // text when the row cannot be written.
    CResult ApplyReply(const ReplyValue& reply);

    // The outcome of a write under the terminal that ran since the last
    // take of the database's errors: the first failed statement's text,
    // else kTerminalDeletedMessage when the row is gone, else success when
    // `written`.
    CResult WriteOutcome(bool written);
    // The outcome says that the rows could not be written (the database's
    // text, or the terminal deleted), not that the reply was refused: a
    // refusal has nothing more to say.
    static bool IsStoreFailure(const CResult& outcome) {
        return !outcome && !outcome.Error().empty();
    }

private:
    bool WriteReply(const ReplyValue& reply);
    friend class CDevice;
    friend struct CRecordColumns;

    bool ReadDependantsNow() const;
    void InsertMissing(const std::vector<CDbRecord*>& missing);
    CDevice* LoadDevice(int address, IRowSource& source);
    CSensor* LoadLoop(CDevice& device, int number, IRowSource& source);
    CSensor* AddLoop(CDevice& device, int number, int type, IRowSource* source);
    bool CanTakeDevice(int address) const;
    CDevice* PlaceDevice(std::unique_ptr<CDevice> device);
    void AttachLoadedSlaves();
    bool ApplyLoopEntries(std::span<const LoopEntry> entries);
    bool StoreLoopConfiguration(std::string text, std::span<const LoopEntry> entries);

    CConfigDatabase* db_;
    int id_;
    std::string phone_;
    std::string password_;
    std::string newPassword_;
    CHostDeviceType type_;
    bool typeRead_ = false;
    std::string readConfiguration_;
    const ParamDescList* params_;
    std::vector<std::unique_ptr<CDevice>> devices_;
    std::vector<std::unique_ptr<CSensor>> loops_;
    // Set by the load, cleared (for good) by the first read of the dependants.
    mutable bool dependantsRead_ = true;
};

} // namespace tornu
