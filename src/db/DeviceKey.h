#pragma once
// One electronic key of a device: one row of table device_key. A device has
// exactly 15 keys, numbered 0 to 14; key 0 is the master key.
#include "db/CompactText.h"
#include "db/DbRecord.h"
#include "db/Tables.h"

#include <string>
#include <string_view>

namespace tornu {

class CDevice;

class CDeviceKey : public CDbRecord {
public:
    static constexpr int kKeysPerDevice = 15;

    // No code, no owner; the caller inserts or selects the row.
    // Made only in its device's key list: its number is its place there.
    explicit CDeviceKey(CDevice* device);

    RowKey Key() const override;
    const TableDesc& Describe() const override { return kDeviceKeyTable; }
    CConfigDatabase* Database() const override;
    std::string ChangeName(std::size_t column) const override;

    int Number() const;
    // 16 hexadecimal digits, or empty.
    std::string_view Code() const { return code_; }
    std::string_view Owner() const { return owner_; }

    // Stores only a valid 1-Wire key code, exactly as given (letter case
    // kept), and writes through; anything else fails and changes nothing.
    bool SetKeyCode(std::string_view code);
    // Write through.
    bool SetOwner(std::string owner);

private:
    friend struct CRecordColumns;
    CDevice* device_;
    CCompactText code_;
    CCompactText owner_;
};

} // namespace tornu
