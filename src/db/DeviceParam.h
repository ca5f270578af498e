#pragma once
// One parameter value of a device: one row of table device_param, found by
// terminal, device and the parameter's name. The value is kept in stored
// form, the text the device itself sends and accepts.
#include "db/CompactText.h"
#include "db/DbRecord.h"

#include <string>

namespace tornu {

class CDevice;
class CParamDesc;

class CDeviceParam : public CDbRecord {
public:
    // Named after its description, holding the description's default.
    CDeviceParam(CDevice* device, const CParamDesc* desc);

    // term_id=%d AND device_id=%d AND name = '%s'
    // %d,%d,'%s','%s'   (terminal, device, name, value)
    // SET param_value='%s' WHERE term_id=%d AND device_id=%d AND name = '%s'
    void BuildClause(int kind, std::string& clause) const override;
    // 3 value.
    void ReadRow(DbRow row) override;
    RowKey Key() const override;
    bool BuildUpdateParts(UpdateParts& parts) const override;
    const char* Table() const override { return "device_param"; }
    CConfigDatabase* Database() const override;

    const std::string& Name() const;
    std::string_view Value() const { return value_; }
    // The catalogue's description; it outlives the records.
    const CParamDesc* Desc() const { return desc_; }

    // Write through.
    bool SetValue(std::string value);

private:
    CDevice* device_;
    const CParamDesc* desc_;
    CCompactText value_;
};

} // namespace tornu
