#include "db/Device.h"

#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"
#include "db/RowSource.h"
#include "db/Sensor.h"
#include "db/Terminal.h"
#include "protocol/ConfigText.h"

#include <algorithm>

namespace tornu {

CDevice::CDevice(CTerminal* terminal, int address)
    : terminal_(terminal), address_(address) {}

CDevice::~CDevice() = default;

RowKey CDevice::Key() const {
    return {terminal_->Id(), 0, address_, {}};
}

int CDevice::LoopsToCreate() const {
    const int maximum = type_.LoopCount();
    if (loopCount_ == kTypeLoopCount)
        return maximum;
    return std::clamp(loopCount_, 0, maximum);
}

bool CDevice::SetName(std::string name) {
    return IsMessageSafe(name) && SetText("name", name_, name);
}

bool CDevice::SetPassword(std::string password) {
    NeedDependants();
    return IsMessageSafe(password) && SetText("password", password_, password);
}

bool CDevice::SetLoopCount(int count) {
    if (count < 0 || count > type_.LoopCount())
        return false;
    return SetNumber("sensor_cnt", loopCount_, count);
}

bool CDevice::SetLastTime(std::string time) {
    NeedDependants();
    return SetText("last_time", lastTime_, time);
}

void CDevice::NeedDependants() const {
    terminal_->ReadDependants();
}

CDevice::Dependants& CDevice::Block() {
    if (!dependants_)
        dependants_ = std::make_unique<Dependants>();
    return *dependants_;
}

const CDevice::Dependants& CDevice::View() const {
    static const Dependants kNone;
    return dependants_ ? *dependants_ : kNone;
}

std::string CDevice::NewPassword() const {
    return View().newPassword.Str();
}

const std::vector<CSensor*>& CDevice::Loops() const {
    NeedDependants();
    return View().loops;
}

const CRecordList<CDeviceParam>& CDevice::Params() const {
    NeedDependants();
    return View().params;
}

const CRecordList<CDevicePhone>& CDevice::Phones() const {
    NeedDependants();
    return View().phones;
}

const CRecordList<CDeviceKey>& CDevice::Keys() const {
    NeedDependants();
    return View().keys;
}

std::size_t CDevice::Count() const {
    NeedDependants();
    return View().params.size();
}

std::string_view CDevice::Name(std::size_t index) const {
    NeedDependants();
    return View().params[index]->Name();
}

std::string_view CDevice::Value(std::size_t index) const {
    NeedDependants();
    return View().params[index]->Value();
}

const CParamDesc* CDevice::Desc(std::size_t index) const {
    NeedDependants();
    return View().params[index]->Desc();
}

CDeviceParam* CDevice::FindParam(std::string_view name) const {
    NeedDependants();
    for (const auto& param : View().params)
        if (param->Name() == name)
            return param;
    return nullptr;
}

bool CDevice::SetParamValue(std::string_view name, std::string value) {
    CDeviceParam* param = FindParam(name);
    return param && param->SetValue(std::move(value));
}

bool CDevice::SetValue(std::size_t index, std::string_view stored) {
    NeedDependants();
    const auto& params = View().params;
    return index < params.size() && params[index]->SetValue(std::string(stored));
}

CDevice* CDevice::CreateSlave(int address, const CBusDeviceType& type) {
    if (!IsTopLevel())
        return nullptr;
    CDbTransaction transaction(Database());
    CDevice* slave = terminal_->CreateDevice(address, type);
    if (!slave)
        return nullptr;
    if (!slave->AttachTo(address_)) {
        terminal_->DeleteDevice(slave);
        return nullptr;
    }
    return slave;
}

bool CDevice::AttachTo(int masterAddress) {
    CDevice* master = terminal_->FindDevice(masterAddress);
    // Only a top-level device takes slaves, so that no device can end up
    // among its own slaves, directly or through another.
    if (masterAddress != kNoMaster &&
        (!master || master == this || !master->IsTopLevel() || !slaves_.empty()))
        return false;
    if (!IsTopLevel())
        if (CDevice* former = terminal_->FindDevice(master_))
            former->RemoveSlave(this);
    if (master)
        master->InsertSlave(this);
    return SetNumber("master_id", master_, masterAddress);
}

bool CDevice::CreateNew(const CBusDeviceType& type) {
    if (!type_.Copy(type))
        return false;
    typeRead_ = true;
    if (!Insert())
        return false;
    CreateDependants(nullptr);
    return true;
}

bool CDevice::Load(IRowSource& source) {
    return source.Load(*this) && typeRead_;
}

template <class Record>
void CDevice::AddDependant(Record& record, IRowSource* source, std::vector<CDbRecord*>* missing) {
    // A row that is missing is added, so that later changes of the record
    // have a row to update.
    if (!source)
        record.Insert();
    else if (!source->Load(record) && missing)
        missing->push_back(&record);
}

void CDevice::CreateDependants(IRowSource* source, std::vector<CDbRecord*>* missing) {
    const std::vector<const CParamDesc*> descs =
        SelectDeviceParams(terminal_->ParamDescs(), type_.ParamList());
    Dependants& block = Block();
    block.params.Reserve(descs.size());
    for (const CParamDesc* desc : descs)
        AddDependant(block.params.Emplace(this, desc), source, missing);
    const int perType = std::max(type_.PhoneBookLength(), 0);
    block.phones.Reserve(3 * static_cast<std::size_t>(perType));
    for (int type = 0; type < 3; ++type)
        for (int i = 0; i < perType; ++i)
            AddDependant(block.phones.Emplace(this, type), source, missing);
    block.keys.Reserve(CDeviceKey::kKeysPerDevice);
    for (int number = 0; number < CDeviceKey::kKeysPerDevice; ++number)
        AddDependant(block.keys.Emplace(this), source, missing);
}

void CDevice::LoadLoops(IRowSource& source) {
    std::vector<int> numbers;
    source.LoopIds(terminal_->Id(), address_, numbers);
    for (int number : numbers)
        if (number >= 1)
            terminal_->LoadLoop(*this, number, source);
}

bool CDevice::CreateLoops() {
    const int count = LoopsToCreate();
    for (int i = 0; i < count; ++i)
        if (!terminal_->AddLoop(*this, -1, 0, nullptr))
            // The terminal's numbers have run out, or a row failed.
            return terminal_->FirstFreeLoopNumber() == -1 ||
                   static_cast<int>(View().loops.size()) >= type_.LoopCount();
    return true;
}

void CDevice::InsertSlave(CDevice* slave) {
    auto at = std::find_if(slaves_.begin(), slaves_.end(),
                           [&](CDevice* other) { return other->Address() > slave->Address(); });
    slaves_.insert(at, slave);
}

void CDevice::RemoveSlave(CDevice* slave) {
    std::erase(slaves_, slave);
}

void CDevice::RemoveLoop(CSensor* loop) {
    if (dependants_)
        std::erase(dependants_->loops, loop);
}

CConfigDatabase* CDevice::Database() const {
    return terminal_->Database();
}

} // namespace tornu
