#include "db/DevicePhone.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "protocol/CommandSet.h"

namespace tornu {

CDevicePhone::CDevicePhone(CDevice* device, int type) : device_(device), type_(type) {}

// The lists hold millions of records; a number kept in each would cost megabytes.
int CDevicePhone::Number() const {
    return static_cast<int>(this - device_->Phones().front());
}




RowKey CDevicePhone::Key() const {
    return {device_->Terminal().Id(), device_->Address(), Number(), {}};
}

bool CDevicePhone::SetPhoneNumber(std::string_view text) {
    return SetText("phone", phone_, StoredPhoneNumber(text));
}

int CDevicePhone::SetMaskBit(int bit, int on) {
    if (bit < 0 || bit >= kMaskBits || (on != 0 && on != 1))
        return -1;
    const int previous = GetMaskBit(bit) ? 1 : 0;
    if (on)
        mask_ |= 1 << bit;
    else
        mask_ &= ~(1 << bit);
    Update(Columns({"mask"}));
    return previous;
}

bool CDevicePhone::GetMaskBit(int bit) const {
    return bit >= 0 && bit < 32 && ((static_cast<unsigned>(mask_) >> bit) & 1u) != 0;
}

bool CDevicePhone::SetMask(int mask) {
    return SetNumber("mask", mask_, mask);
}

CConfigDatabase* CDevicePhone::Database() const {
    return device_->Database();
}

std::string CDevicePhone::ChangeName(std::size_t column) const {
    return "Телефон " + std::to_string(Number() + 1) + ": " + CDbRecord::ChangeName(column);
}

} // namespace tornu
