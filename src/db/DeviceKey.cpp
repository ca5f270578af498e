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




RowKey CDeviceKey::Key() const {
    return {device_->Terminal().Id(), device_->Address(), Number(), {}};
}

bool CDeviceKey::SetKeyCode(std::string_view code) {
    if (!IsValidKeyCode(code))
        return false;
    return SetText("key_value", code_, code);
}

bool CDeviceKey::SetOwner(std::string owner) {
    return IsMessageSafe(owner) && SetText("key_owner", owner_, owner);
}

CConfigDatabase* CDeviceKey::Database() const {
    return device_->Database();
}

std::string CDeviceKey::ChangeName(std::size_t column) const {
    // Position 0 is the master key, as the key list shows it.
    const std::string key = Number() == 0 ? "Мастер" : std::to_string(Number());
    return "Ключ " + key + ": " + CDbRecord::ChangeName(column);
}

} // namespace tornu
