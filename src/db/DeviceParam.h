#pragma once
// One parameter value of a device: one row of table device_param, found by
// terminal, device and the parameter's name. The value is kept in stored
// form, the text the device itself sends and accepts.
#include "db/CompactText.h"
#include "db/DbRecord.h"
#include "db/Tables.h"

#include <string>

namespace tornu {

class CDevice;
class CParamDesc;

class CDeviceParam : public CDbRecord {
public:
    // Named after its description, holding the description's default.
    CDeviceParam(CDevice* device, const CParamDesc* desc);

    RowKey Key() const override;
    const TableDesc& Describe() const override { return kDeviceParamTable; }
    CConfigDatabase* Database() const override;
    std::string ChangeName(std::size_t column) const override;

    const std::string& Name() const;
    std::string_view Value() const { return value_; }
    // The catalogue's description; it outlives the records.
    const CParamDesc* Desc() const { return desc_; }

    // Write through.
    bool SetValue(std::string value);

private:
    friend struct CRecordColumns;
    CDevice* device_;
    const CParamDesc* desc_;
    CCompactText value_;
};

} // namespace tornu
