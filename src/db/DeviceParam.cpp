#include "db/DeviceParam.h"

#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"

namespace tornu {

CDeviceParam::CDeviceParam(CDevice* device, const CParamDesc* desc)
    : device_(device), desc_(desc), value_(desc->Default()) {}

// The name is the description's: a parameter record is made only for a
// description, and keeping a copy in each of them costs megabytes.
const std::string& CDeviceParam::Name() const {
    return desc_->Name();
}

void CDeviceParam::BuildClause(int kind, std::string& clause) const {
    const int terminal = device_->Terminal().Id();
    const int address = device_->Address();
    switch (kind) {
    case kSelectClause:
    case kDeleteClause:
        clause = CConfigDatabase::Format("term_id=%d AND device_id=%d AND name = '%s'", terminal,
                                         address, Esc(Name()).c_str());
        break;
    case kInsertClause:
        clause = CConfigDatabase::Format("%d,%d,'%s','%s'", terminal, address, Esc(Name()).c_str(),
                                         Esc(value_).c_str());
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

void CDeviceParam::ReadRow(DbRow row) {
    if (row.size() > 3)
        value_ = row[3];
}

bool CDeviceParam::BuildUpdateParts(UpdateParts& parts) const {
    parts.where = CConfigDatabase::Format("term_id=%d AND device_id=%d", device_->Terminal().Id(),
                                          device_->Address());
    parts.keyColumn = "name";
    parts.key = Literal(Name());
    parts.values = {{"param_value", Literal(value_)}};
    return true;
}

RowKey CDeviceParam::Key() const {
    return {device_->Terminal().Id(), device_->Address(), 0, Name()};
}

bool CDeviceParam::SetValue(std::string value) {
    value_ = std::move(value);
    return Update();
}

CConfigDatabase* CDeviceParam::Database() const {
    return device_->Database();
}

} // namespace tornu
