#include "db/DeviceKey.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "protocol/ConfigText.h"
#include "protocol/KeyCode.h"

namespace tornu {

CDeviceKey::CDeviceKey(CDevice* device) : device_(device) {}

// The lists hold millions of records; a number kept in each would cost megabytes.
int CDeviceKey::Number() const {
    return static_cast<int>(this - device_->Keys().front());
}

void CDeviceKey::BuildClause(int kind, std::string& clause) const {
    const int terminal = device_->Terminal().Id();
    const int address = device_->Address();
    switch (kind) {
    case kSelectClause:
    case kDeleteClause:
        clause = CConfigDatabase::Format("term_id=%d AND device_id=%d AND id = %d", terminal,
                                         address, Number());
        break;
    case kInsertClause:
        clause = CConfigDatabase::Format("%d,%d,%d,'%s','%s'", terminal, address, Number(),
                                         Esc(code_).c_str(), Esc(owner_).c_str());
        break;
    case kUpdateClause: {
        UpdateParts parts;
        BuildUpdateParts(parts);
        clause = UpdateClause(parts);
        break;
    }
    default:
        clause.clear();
    }
}

void CDeviceKey::ReadRow(DbRow row) {
    if (row.size() <= 3)
        return;
    code_ = row[3];
    if (row.size() <= 4)
        return;
    owner_ = row[4];
}

bool CDeviceKey::BuildUpdateParts(UpdateParts& parts) const {
    parts.where = CConfigDatabase::Format("term_id=%d AND device_id=%d", device_->Terminal().Id(),
                                          device_->Address());
    parts.keyColumn = "id";
    parts.key = std::to_string(Number());
    parts.values = {{"key_value", Literal(code_)}, {"key_owner", Literal(owner_)}};
    return true;
}

RowKey CDeviceKey::Key() const {
    return {device_->Terminal().Id(), device_->Address(), Number(), {}};
}

bool CDeviceKey::SetKeyCode(std::string_view code) {
    if (!IsValidKeyCode(code))
        return false;
    code_ = std::string(code);
    return Update();
}

bool CDeviceKey::SetOwner(std::string owner) {
    if (!IsMessageSafe(owner))
        return false;
    owner_ = std::move(owner);
    return Update();
}

CConfigDatabase* CDeviceKey::Database() const {
    return device_->Database();
}

} // namespace tornu
