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




RowKey CDeviceParam::Key() const {
    return {device_->Terminal().Id(), device_->Address(), 0, Name()};
}

bool CDeviceParam::SetValue(std::string value) {
    return SetText("param_value", value_, value);
}

CConfigDatabase* CDeviceParam::Database() const {
    return device_->Database();
}

std::string CDeviceParam::ChangeName(std::size_t) const {
    return "Параметр " + Name();
}

} // namespace tornu
