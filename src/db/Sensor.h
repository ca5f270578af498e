#pragma once
// A loop ("шлейф") of a network device: one row of table sensor. Loop
// numbers run from 1 and are unique within the terminal, so the row is found
// by terminal and number; the device column only says whose loop it is.
#include "db/CompactText.h"
#include "db/DbRecord.h"
#include "db/Tables.h"

#include <string>

namespace tornu {

class CDevice;

class CSensor : public CDbRecord {
public:
    // State 0, no name; the caller inserts or selects the row.
    CSensor(CDevice* device, int number, int type);

    RowKey Key() const override;
    const TableDesc& Describe() const override { return kSensorTable; }
    CConfigDatabase* Database() const override;
    std::string ChangeName(std::size_t column) const override;

    CDevice& Device() const { return *device_; }
    int Number() const { return number_; }
    int State() const { return state_; }
    // Flag bits of the loop's kind.
    int Type() const { return type_; }
    std::string_view Name() const { return name_; }

    // Write through.
    bool SetState(int state);
    bool SetType(int type);
    bool SetName(std::string name);

private:
    friend struct CRecordColumns;
    int TerminalId() const;

    CDevice* device_;
    int number_;
    int state_ = 0;
    int type_;
    CCompactText name_;
};

} // namespace tornu
