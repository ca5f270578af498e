#include "db/Terminal.h"

#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"
#include "db/RowSource.h"
#include "protocol/ConfigText.h"
#include "protocol/TermMessage.h"

#include <algorithm>

namespace tornu {

namespace {

const ParamDescList kNoParams;

// How the history names a node made or deleted: its type, then "удален".
constexpr const char* kTerminalNode = "Базовый модуль";
constexpr const char* kDeviceNode = "Сетевое устройство";
constexpr const char* kDeletedNode = "удален";

// Index of the first element whose number is not below `number`.
template <class List, class Number> auto LowerBound(const List& list, int number, Number numberOf) {
    return std::lower_bound(list.begin(), list.end(), number,
                            [&](const auto& item, int n) { return numberOf(*item) < n; });
}

} // namespace

CTerminal::CTerminal(CConfigDatabase* db, const ParamDescList* params, int id)
    : db_(db), id_(id), params_(params) {}

CTerminal::~CTerminal() = default;

std::unique_ptr<CTerminal> CTerminal::Create(CConfigDatabase* db, const ParamDescList* params,
                                             int id, std::string phone, std::string password,
                                             const CHostDeviceType& type, int loopCount) {
    // The number is the address in every message header.
    if (id < 0 || id > CTermMessage::kMaxNumber || !IsMessageSafe(phone) ||
        !IsMessageSafe(password))
        return nullptr;
    CDbTransaction transaction(db);
    auto terminal = std::make_unique<CTerminal>(db, params, id);
    terminal->phone_ = std::move(phone);
    terminal->password_ = std::move(password);
    if (!terminal->type_.Copy(type) || !terminal->Insert() ||
        !db->History().RecordNode(id, -1, kTerminalNode, {}, type.Name()))
        return nullptr;
    terminal->typeRead_ = true;
    if (type.HasBuiltInDevice())
        if (CDevice* own = terminal->CreateDevice(type.OwnDeviceAddress(), type.DevicePart()))
            own->SetLoopCount(loopCount);
    return terminal;
}

bool CTerminal::Load(IRowSource& source) {
    if (!source.Load(*this) || !typeRead_)
        return false;
    dependantsRead_ = false;
    const int ownAddress = type_.OwnDeviceAddress();
    CDevice* own = ownAddress >= 0 ? LoadDevice(ownAddress, source) : nullptr;
    std::vector<int> addresses;
    source.DeviceIds(id_, addresses);
    // Every valid address counts, 0 included: a terminal without a built-in
    // module has its first network device there.
    for (int address : addresses)
        if (!own || address != ownAddress)
            LoadDevice(address, source);
    AttachLoadedSlaves();
    return true;
}

bool CTerminal::ReadDependantsNow() const {
    // The accessors that reach the dependants are const; reading them is no
    // change anyone sees.
    CTerminal& self = const_cast<CTerminal&>(*this);
    CTerminalRowSource rows(id_);
    if (!db_ || !rows.Read(*db_))
        return false;
    // Set first: making the records asks for the lists being filled.
    dependantsRead_ = true;
    for (const auto& device : devices_)
        rows.LoadLaterColumns(*device, device->Address());
    std::vector<CDbRecord*> missing;
    // The order of the whole load: the own module's loops take their numbers
    // first, then the other devices' in address order.
    const int ownAddress = type_.OwnDeviceAddress();
    CDevice* own = ownAddress >= 0 ? FindDevice(ownAddress) : nullptr;
    auto read = [&](CDevice& device) {
        device.CreateDependants(&rows, &missing);
        device.LoadLoops(rows);
    };
    if (own)
        read(*own);
    for (const auto& device : devices_)
        if (device.get() != own)
            read(*device);
    if (!missing.empty())
        self.InsertMissing(missing);
    return true;
}

void CTerminal::InsertMissing(const std::vector<CDbRecord*>& missing) {
    // A catalogue that grew can leave hundreds of rows to add: one
    // transaction, so that a process killed half-way adds all or none.
    // Another operator may have deleted the terminal since the load: its
    // rows are not to come back.
    CDbTransaction transaction(db_);
    if (!StillStored())
        return;
    for (CDbRecord* record : missing)
        record->Insert();
}

void CTerminal::AttachLoadedSlaves() {
    for (const auto& device : devices_) {
        if (device->IsTopLevel())
            continue;
        // A slave whose master is missing, or is no top-level device, stays
        // unattached: it keeps its row but shows nowhere.
        CDevice* master = FindDevice(device->Master());
        if (master && master != device.get() && master->IsTopLevel())
            master->InsertSlave(device.get());
    }
}

RowKey CTerminal::Key() const {
    return {0, 0, id_, {}};
}

const ParamDescList& CTerminal::ParamDescs() const {
    return params_ ? *params_ : kNoParams;
}

bool CTerminal::SetPhone(std::string phone) {
    return IsMessageSafe(phone) && SetText("phone", phone_, phone);
}

bool CTerminal::SetPassword(std::string password) {
    return IsMessageSafe(password) && SetText("password", password_, password);
}

CDevice* CTerminal::DeviceAt(std::size_t index) const {
    return index < devices_.size() ? devices_[index].get() : nullptr;
}

CDevice* CTerminal::FindDevice(int address) const {
    auto at = LowerBound(devices_, address, [](const CDevice& d) { return d.Address(); });
    return at != devices_.end() && (*at)->Address() == address ? at->get() : nullptr;
}

CSensor* CTerminal::FindLoop(int number) const {
    ReadDependants();
    auto at = LowerBound(loops_, number, [](const CSensor& s) { return s.Number(); });
    return at != loops_.end() && (*at)->Number() == number ? at->get() : nullptr;
}

std::vector<int> CTerminal::FreeAddresses() const {
    std::vector<int> free;
    for (int address = 0; address < type_.BusAddressCount(); ++address)
        if (!FindDevice(address))
            free.push_back(address);
    return free;
}

int CTerminal::FirstFreeLoopNumber() const {
    for (int number = 1; number <= type_.LoopNumberCount(); ++number)
        if (!FindLoop(number))
            return number;
    return -1;
}

bool CTerminal::CanTakeDevice(int address) const {
    return address >= 0 && address < type_.BusAddressCount() && !FindDevice(address);
}

CDevice* CTerminal::PlaceDevice(std::unique_ptr<CDevice> device) {
    auto at =
        LowerBound(devices_, device->Address() + 1, [](const CDevice& d) { return d.Address(); });
    return devices_.insert(at, std::move(device))->get();
}

CDevice* CTerminal::CreateDevice(int address, const CBusDeviceType& type) {
    if (!CanTakeDevice(address))
        return nullptr;
    // Its loops take numbers the others leave free.
    ReadDependants();
    CDbTransaction transaction(Database());
    if (!StillStored())
        return nullptr;
    auto device = std::make_unique<CDevice>(this, address);
    if (!device->CreateNew(type) ||
        !Database()->History().RecordNode(id_, address, kDeviceNode, {}, type.Name()) ||
        !Database()->Pending().Mark(id_, {kTerminalItself, PendingKind::Loops, {}}))
        return nullptr;
    return PlaceDevice(std::move(device));
}

CDevice* CTerminal::LoadDevice(int address, IRowSource& source) {
    if (!CanTakeDevice(address))
        return nullptr;
    auto device = std::make_unique<CDevice>(this, address);
    if (!device->Load(source))
        return nullptr;
    return PlaceDevice(std::move(device));
}

bool CTerminal::DeleteDevice(CDevice* device) {
    auto owned = std::find_if(devices_.begin(), devices_.end(),
                              [&](const auto& d) { return d.get() == device; });
    if (owned == devices_.end())
        return false;
    CDbTransaction transaction(Database());
    bool ok = true;
    const std::vector<CDevice*> slaves = device->Slaves();
    for (CDevice* slave : slaves)
        if (--slave->referenceCount_ <= 0)
            ok = DeleteDevice(slave) && ok;
    // The slaves' deletion moved the list: find the device again.
    owned = std::find_if(devices_.begin(), devices_.end(),
                         [&](const auto& d) { return d.get() == device; });
    std::unique_ptr<CDevice> doomed = std::move(*owned);
    devices_.erase(owned);
    for (const auto& other : devices_)
        other->RemoveSlave(device);
    // Not read for a deletion: the statements below take the rows either way.
    const std::vector<CSensor*> loops = device->View().loops;
    for (CSensor* loop : loops)
        ok = DeleteLoop(loop) && ok;
    // By device rather than by record, so that no row of the address is
    // left behind for a later device there to trip over.
    const DbValue keys[] = {id_, device->Address()};
    for (const TableDesc* table :
         {&kDeviceParamTable, &kDevicePhoneTable, &kDeviceKeyTable, &kSensorTable})
        ok = Database() &&
             Database()->Execute(std::string("DELETE FROM ") + table->name +
                                     " WHERE term_id=? AND device_id=?",
                                 keys) &&
             ok;
    ok = Database() &&
         Database()->History().RecordNode(id_, doomed->Address(), kDeviceNode,
                                          doomed->Type().Name(), kDeletedNode) &&
         Database()->Pending().Drop(id_, doomed->Address()) &&
         Database()->Pending().Mark(id_, {kTerminalItself, PendingKind::Loops, {}}) && ok;
    return doomed->Delete() && ok;
}

CSensor* CTerminal::CreateLoop(CDevice& device, int number, int type) {
    ReadDependants();
    CDbTransaction transaction(Database());
    if (!StillStored())
        return nullptr;
    return AddLoop(device, number, type, nullptr);
}

CSensor* CTerminal::LoadLoop(CDevice& device, int number, IRowSource& source) {
    return AddLoop(device, number, -1, &source);
}

CSensor* CTerminal::AddLoop(CDevice& device, int number, int type, IRowSource* source) {
    if (number == -1)
        number = FirstFreeLoopNumber();
    if (number == -1 || static_cast<int>(loops_.size()) >= type_.LoopNumberCount() ||
        FindLoop(number))
        return nullptr;
    if (static_cast<int>(device.Loops().size()) >= device.Type().LoopCount())
        return nullptr;
    auto loop = std::make_unique<CSensor>(&device, number, type);
    if (source ? !source->Load(*loop) : !loop->Insert())
        return nullptr;
    auto at = LowerBound(loops_, number, [](const CSensor& s) { return s.Number(); });
    CSensor* added = loops_.insert(at, std::move(loop))->get();
    device.AddLoop(added);
    return added;
}

bool CTerminal::DeleteLoop(CSensor* loop) {
    auto owned =
        std::find_if(loops_.begin(), loops_.end(), [&](const auto& l) { return l.get() == loop; });
    if (owned == loops_.end())
        return false;
    std::unique_ptr<CSensor> doomed = std::move(*owned);
    loops_.erase(owned);
    doomed->Device().RemoveLoop(loop);
    return doomed->Delete();
}

bool CTerminal::DistributeLoops() {
    ReadDependants();
    CDbTransaction transaction(Database());
    if (!StillStored())
        return false;
    bool ok = true;
    std::vector<CDevice*> topLevel;
    for (const auto& device : devices_) {
        const std::vector<CSensor*> loops = device->Loops();
        for (CSensor* loop : loops)
            ok = DeleteLoop(loop) && ok;
        if (device->IsTopLevel())
            topLevel.push_back(device.get());
    }
    for (CDevice* device : topLevel) {
        ok = device->CreateLoops() && ok;
        for (CDevice* slave : device->Slaves())
            ok = slave->CreateLoops() && ok;
    }
    return transaction.End() && ok;
}

bool CTerminal::DeleteRows() {
    if (!Database())
        return false;
    CDbTransaction transaction(Database());
    // Asked first: on a server this holds the row against another program
    // adding a device under it, or waits for that one to end, and the rows
    // it added go too. A terminal another program deleted has nothing left.
    if (!StillStored())
        return transaction.End();
    bool ok = Delete();
    // Rows the load left out of memory go too, so that a terminal made
    // later with this number starts clean.
    const DbValue key[] = {id_};
    for (const TableDesc* table : SchemaTables().subspan(1))
        ok = Database()->Execute(std::string("DELETE FROM ") + table->name + " WHERE term_id=?",
                                 key) &&
             ok;
    ok = Database()->History().RecordNode(id_, -1, kTerminalNode, type_.Name(), kDeletedNode) &&
         Database()->Pending().Drop(id_) && ok;
    return transaction.End() && ok;
}

bool CTerminal::StillStored() {
    CConfigDatabase* db = Database();
    if (!db)
        return true;
    // SQLite has no row locks: its writer holds the whole file instead.
    const bool server = db->Connection().DbmsName() == "PostgreSQL";
    const DbValue key[] = {id_};
    std::vector<int> found;
    return db->QueryInts(server ? "SELECT 1 FROM terminal WHERE id=? FOR SHARE"
                                : "SELECT 1 FROM terminal WHERE id=?",
                         key, found) &&
           !found.empty();
}

CResult CTerminal::WriteOutcome(bool written) {
    CConfigDatabase* db = Database();
    if (!db)
        return written ? CResult::Ok() : CResult::Fail({});
    CResult outcome = db->Outcome(written);
    // Refused without a statement error: asked again outside the
    // transaction, where a failing query says nothing about the terminal.
    if (!outcome && outcome.Error().empty() && !StillStored() &&
        db->TakeFailedStatementError().empty())
        return CResult::Fail(kTerminalDeletedMessage);
    return outcome;
}

CConfigDatabase* CTerminal::Database() const {
    return db_;
}

} // namespace tornu
