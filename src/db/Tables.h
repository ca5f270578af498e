#pragma once
// The six tables of the configuration, each described once: the stored
// format (the schema check creates them from these) and how each record class
// gives and takes its columns. Adding a column is one line here.
#include "db/TableDesc.h"

#include <span>

namespace tornu {

extern const TableDesc kTerminalTable;
extern const TableDesc kDeviceTable;
// What the start reads of each device row: what the tree, the lists and the
// station import need. The rest (kDeviceLaterColumns, with the id to find
// the device by) is read with the terminal's dependants.
extern const ColumnMask kDeviceStartColumns;
extern const ColumnMask kDeviceLaterColumns;
extern const TableDesc kSensorTable;
extern const TableDesc kDeviceParamTable;
extern const TableDesc kDevicePhoneTable;
extern const TableDesc kDeviceKeyTable;

// In the order they are checked and created; a device's dependants after it.
std::span<const TableDesc* const> SchemaTables();

// Gives the descriptions the record classes' private fields.
struct CRecordColumns;

} // namespace tornu
