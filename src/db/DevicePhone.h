#pragma once
// One phone-book entry of a device: one row of table device_phone. A device
// has three groups (types 0, 1, 2) of "TLN" entries each, numbered from 0
// across the groups; the mask says which events the number is told of.
#include "db/CompactText.h"
#include "db/DbRecord.h"

#include <string>

namespace tornu {

class CDevice;

class CDevicePhone : public CDbRecord {
public:
    static constexpr int kMaskBits = 24;

    // Mask 0, no number; the caller inserts or selects the row.
    // Made only in its device's phone list: its number is its place there.
    CDevicePhone(CDevice* device, int type);

    // term_id=%d AND device_id=%d AND id = %d
    // %d,%d,%d,%d,%d,'%s'   (terminal, device, number, type, mask, phone)
    // SET phone='%s',mask=%d WHERE term_id=%d AND device_id=%d AND id = %d
    void BuildClause(int kind, std::string& clause) const override;
    // 3 type, 4 mask, 5 phone.
    void ReadRow(DbRow row) override;
    RowKey Key() const override;
    bool BuildUpdateParts(UpdateParts& parts) const override;
    const char* Table() const override { return "device_phone"; }
    CConfigDatabase* Database() const override;

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
    CDevice* device_;
    int type_;
    int mask_ = 0;
    CCompactText phone_;
};

} // namespace tornu
