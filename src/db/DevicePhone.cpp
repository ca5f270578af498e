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

void CDevicePhone::BuildClause(int kind, std::string& clause) const {
    const int terminal = device_->Terminal().Id();
    const int address = device_->Address();
    switch (kind) {
    case kSelectClause:
    case kDeleteClause:
        clause = CConfigDatabase::Format("term_id=%d AND device_id=%d AND id = %d", terminal,
                                         address, Number());
        break;
    case kInsertClause:
        clause = CConfigDatabase::Format("%d,%d,%d,%d,%d,'%s'", terminal, address, Number(), type_,
                                         mask_, Esc(phone_).c_str());
        break;
    case kUpdateClause: {
        UpdateParts parts;
        BuildUpdateParts(parts);
        clause = UpdateClause(parts);
        break;
    }
    default:
        clause.clear();
    }
}

void CDevicePhone::ReadRow(DbRow row) {
    if (row.size() <= 3)
        return;
    type_ = ColumnNumber(row[3]);
    if (row.size() <= 4)
        return;
    mask_ = ColumnNumber(row[4]);
    if (row.size() <= 5)
        return;
    phone_ = row[5];
}

bool CDevicePhone::BuildUpdateParts(UpdateParts& parts) const {
    parts.where = CConfigDatabase::Format("term_id=%d AND device_id=%d", device_->Terminal().Id(),
                                          device_->Address());
    parts.keyColumn = "id";
    parts.key = std::to_string(Number());
    parts.values = {{"phone", Literal(phone_)}, {"mask", std::to_string(mask_)}};
    return true;
}

RowKey CDevicePhone::Key() const {
    return {device_->Terminal().Id(), device_->Address(), Number(), {}};
}

bool CDevicePhone::SetPhoneNumber(std::string_view text) {
    phone_ = StoredPhoneNumber(text);
    return Update();
}

int CDevicePhone::SetMaskBit(int bit, int on) {
    if (bit < 0 || bit >= kMaskBits || (on != 0 && on != 1))
        return -1;
    const int previous = GetMaskBit(bit) ? 1 : 0;
    if (on)
        mask_ |= 1 << bit;
    else
        mask_ &= ~(1 << bit);
    Update();
    return previous;
}

bool CDevicePhone::GetMaskBit(int bit) const {
    return bit >= 0 && bit < 32 && ((static_cast<unsigned>(mask_) >> bit) & 1u) != 0;
}

bool CDevicePhone::SetMask(int mask) {
    mask_ = mask;
    return Update();
}

CConfigDatabase* CDevicePhone::Database() const {
    return device_->Database();
}

} // namespace tornu
