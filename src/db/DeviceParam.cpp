#include "db/DeviceParam.h"

#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"

namespace tornu {

CDeviceParam::CDeviceParam(CDevice* device, const CParamDesc* desc)
    : CDbRecord("device_param", device->Database()), device_(device), desc_(desc),
      name_(desc->Name()), value_(desc->Default()) {}

void CDeviceParam::BuildClause(int kind, std::string& clause) const {
    const int terminal = device_->Terminal().Id();
    const int address = device_->Address();
    switch (kind) {
    case kSelectClause:
    case kDeleteClause:
        clause = CConfigDatabase::Format("term_id=%d AND device_id=%d AND name = '%s'", terminal,
                                         address, Esc(name_).c_str());
        break;
    case kInsertClause:
        clause = CConfigDatabase::Format("%d,%d,'%s','%s'", terminal, address, Esc(name_).c_str(),
                                         Esc(value_).c_str());
        break;
    case kUpdateClause:
        clause = CConfigDatabase::Format(
            "SET param_value='%s' WHERE term_id=%d AND device_id=%d AND name = '%s'",
            Esc(value_).c_str(), terminal, address, Esc(name_).c_str());
        break;
    default:
        clause.clear();
    }
}

void CDeviceParam::ReadRow(DbRow row) {
    if (row.size() > 3)
        value_ = row[3];
}

RowKey CDeviceParam::Key() const {
    return {device_->Terminal().Id(), device_->Address(), 0, name_};
}

bool CDeviceParam::SetValue(std::string value) {
    value_ = std::move(value);
    return Update();
}

} // namespace tornu
