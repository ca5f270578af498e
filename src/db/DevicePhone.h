#pragma once
// One phone-book entry of a device: one row of table device_phone. A device
// has three groups (types 0, 1, 2) of "TLN" entries each, numbered from 0
// across the groups; the mask says which events the number is told of.
#include "db/CompactText.h"
#include "db/DbRecord.h"
#include "db/Tables.h"

#include <string>

namespace tornu {

class CDevice;

class CDevicePhone : public CDbRecord {
public:
    static constexpr int kMaskBits = 24;

    // Mask 0, no number; the caller inserts or selects the row.
    // Made only in its device's phone list: its number is its place there.
    CDevicePhone(CDevice* device, int type);

    RowKey Key() const override;
    const TableDesc& Describe() const override { return kDevicePhoneTable; }
    CConfigDatabase* Database() const override;
    std::string ChangeName(std::size_t column) const override;

    int Number() const;
    int Type() const { return type_; }
    int Mask() const { return mask_; }
    std::string_view Phone() const { return phone_; }

    // Keeps the digits and a "+" in the first position, then writes through:
    // "+7 (912) 345-67-89" is stored as "+79123456789", and the "F" padding
    // of a phone-book reply vanishes.
    bool SetPhoneNumber(std::string_view text);
    // Bit 0 to 23 switched on (1) or off (0), written through. Returns the
    // bit's previous state, or -1 with nothing changed for another bit or
    // flag.
    int SetMaskBit(int bit, int on);
    bool GetMaskBit(int bit) const;
    // The whole mask, written through (a phone-book reply).
    bool SetMask(int mask);

private:
    friend struct CRecordColumns;
    CDevice* device_;
    int type_;
    int mask_ = 0;
    CCompactText phone_;
};

} // namespace tornu
