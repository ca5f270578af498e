#include "db/Sensor.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"

namespace tornu {

CSensor::CSensor(CDevice* device, int number, int type)
    : device_(device), number_(number), type_(type) {}

int CSensor::TerminalId() const {
    return device_->Terminal().Id();
}

void CSensor::BuildClause(int kind, std::string& clause) const {
    switch (kind) {
    case kSelectClause:
    case kDeleteClause:
        clause = CConfigDatabase::Format("term_id=%d AND id=%d", TerminalId(), number_);
        break;
    case kInsertClause:
        clause = CConfigDatabase::Format("%d,%d,%d,%d,%d,'%s'", TerminalId(), device_->Address(),
                                         number_, state_, type_, Esc(name_).c_str());
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

void CSensor::ReadRow(DbRow row) {
    if (row.size() <= 3)
        return;
    state_ = ColumnNumber(row[3]);
    if (row.size() <= 4)
        return;
    type_ = ColumnNumber(row[4]);
    if (row.size() <= 5)
        return;
    name_ = row[5];
}

RowKey CSensor::Key() const {
    return {TerminalId(), 0, number_, {}};
}

bool CSensor::BuildUpdateParts(UpdateParts& parts) const {
    parts.where = CConfigDatabase::Format("term_id=%d", TerminalId());
    parts.keyColumn = "id";
    parts.key = std::to_string(number_);
    parts.values = {{"device_id", std::to_string(device_->Address())},
                    {"state", std::to_string(state_)},
                    {"type", std::to_string(type_)},
                    {"name", Literal(name_)}};
    return true;
}

bool CSensor::SetState(int state) {
    state_ = state;
    return Update();
}

bool CSensor::SetType(int type) {
    type_ = type;
    return Update();
}

bool CSensor::SetName(std::string name) {
    name_ = std::move(name);
    return Update();
}

CConfigDatabase* CSensor::Database() const {
    return device_->Database();
}

} // namespace tornu
