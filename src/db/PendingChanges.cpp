#include "db/PendingChanges.h"

#include "db/ConfigDatabase.h"
#include "db/DbRecord.h"
#include "db/Tables.h"
#include "protocol/TimeStamp.h"

#include <algorithm>
#include <ctime>

namespace tornu {

namespace {

constexpr ColumnType kInt = ColumnType::Integer;
constexpr ColumnType kText = ColumnType::Text;

constexpr ColumnDesc kPendingColumns[] = {
    {"term_id", kInt, 0, true, nullptr, nullptr, nullptr},
    {"device_id", kInt, 0, true, nullptr, nullptr, nullptr},
    {"kind", kText, 20, true, nullptr, nullptr, nullptr},
    {"item", kText, 40, true, nullptr, nullptr, nullptr},
    {"since", kText, 40, false, nullptr, nullptr, nullptr},
    {"who", kText, 100, false, nullptr, nullptr, nullptr},
};

constexpr const char* kKindNames[] = {"param", "phone", "key", "loops", "password"};

bool Is(const char* name, std::string_view wanted) {
    return std::string_view(name) == wanted;
}

} // namespace

const TableDesc kPendingChangeTable{"pending_change", kPendingColumns};

const char* PendingKindName(PendingKind kind) {
    return kKindNames[static_cast<int>(kind)];
}

std::optional<PendingKind> PendingKindOf(std::string_view name) {
    for (int kind = 0; kind < 5; ++kind)
        if (name == kKindNames[kind])
            return static_cast<PendingKind>(kind);
    return std::nullopt;
}

int PendingWriteCode(PendingKind kind, bool device) {
    switch (kind) {
    case PendingKind::Param:
        return 17;
    case PendingKind::Phone:
        return 24;
    case PendingKind::Key:
        return 9;
    case PendingKind::Loops:
        return 40;
    case PendingKind::Password:
        return device ? 96 : 97;
    }
    return 0;
}

std::optional<PendingKind> KindWrittenBy(int code) {
    switch (code) {
    case 17:
        return PendingKind::Param;
    case 24:
        return PendingKind::Phone;
    case 9:
        return PendingKind::Key;
    case 40:
        return PendingKind::Loops;
    case 96:
    case 97:
        return PendingKind::Password;
    default:
        return std::nullopt;
    }
}

bool CPendingChanges::EnsureTable() {
    if (tableChecked_)
        return true;
    // Made when first needed, as the history is: no failing probe that would
    // end a server's open transaction.
    std::string create = kPendingChangeTable.CreateStatement();
    create.insert(std::string_view("CREATE TABLE ").size(), "IF NOT EXISTS ");
    std::string index = kPendingChangeTable.IndexStatement();
    index.insert(std::string_view("CREATE UNIQUE INDEX ").size(), "IF NOT EXISTS ");
    tableChecked_ = db_.Execute(create) && db_.Execute(index);
    return tableChecked_;
}

std::optional<std::pair<int, PendingItem>> CPendingChanges::ItemOf(const CDbRecord& record,
                                                                   std::size_t column) const {
    const TableDesc& table = record.Describe();
    const char* name = table.columns[column].name;
    // Only the dependants' and devices' tables carry items: each has both.
    if (&table == &kTerminalTable)
        return std::nullopt;
    auto value = [&](const char* of) { return record.Value(table.IndexOf(of)); };
    auto number = [&](const char* of) { return value(of).number; };
    if (&table == &kDeviceParamTable && Is(name, "param_value"))
        return std::pair{number("term_id"), PendingItem{number("device_id"), PendingKind::Param,
                                                        std::string(value("name").text)}};
    if (&table == &kDevicePhoneTable && (Is(name, "phone") || Is(name, "mask")))
        return std::pair{number("term_id"), PendingItem{number("device_id"), PendingKind::Phone,
                                                        std::to_string(number("id"))}};
    // The owner is the program's own note: the terminal gets only the codes.
    if (&table == &kDeviceKeyTable && Is(name, "key_value"))
        return std::pair{number("term_id"), PendingItem{number("device_id"), PendingKind::Key,
                                                        std::to_string(number("id"))}};
    // The loop configuration is built from the loop types, the devices'
    // loop counts and who is whose slave.
    if ((&table == &kSensorTable && Is(name, "type")) ||
        (&table == &kDeviceTable && (Is(name, "sensor_cnt") || Is(name, "master_id"))))
        return std::pair{number("term_id"), PendingItem{kTerminalItself, PendingKind::Loops, {}}};
    return std::nullopt;
}

bool CPendingChanges::Changed(const CDbRecord& record, std::size_t column) {
    const auto item = ItemOf(record, column);
    return !item || Mark(item->first, item->second);
}

bool CPendingChanges::Mark(int terminal, const PendingItem& item) {
    // What a terminal told is what it has.
    const ChangeSource source = db_.History().Source();
    if (source == ChangeSource::Reply || source == ChangeSource::Batch)
        return true;
    if (item.kind == PendingKind::Password) {
        local_.insert({terminal, item});
        if (std::set<PendingItem>* items = ItemsOf(terminal); items && items->insert(item).second)
            Recount(terminal);
        return true;
    }
    if (!EnsureTable())
        return false;
    const std::string statement = kPendingChangeTable.InsertStatement() + " ON CONFLICT DO NOTHING";
    const std::string since = SortableTimeStamp(std::time(nullptr));
    const DbValue values[] = {terminal, item.device, PendingKindName(item.kind), item.item, since,
                              db_.History().OsUser()};
    if (!db_.Execute(statement, values))
        return false;
    if (std::set<PendingItem>* items = ItemsOf(terminal); items && items->insert(item).second)
        Recount(terminal);
    return true;
}

bool CPendingChanges::Clear(int terminal, int device, PendingKind kind,
                            const std::vector<std::string>& only) {
    if (!EnsureTable())
        return false;
    std::string statement = "DELETE FROM pending_change WHERE term_id=? AND device_id=? AND kind=?";
    std::vector<DbValue> values{terminal, device, PendingKindName(kind)};
    for (std::size_t at = 0; at < only.size(); ++at) {
        statement += at ? ",?" : " AND item IN (?";
        values.emplace_back(only[at]);
    }
    if (!only.empty())
        statement += ")";
    if (!db_.Execute(statement, values))
        return false;
    if (kind == PendingKind::Password)
        local_.erase({terminal, {device, kind, {}}});
    if (std::set<PendingItem>* items = ItemsOf(terminal)) {
        std::erase_if(*items, [&](const PendingItem& marked) {
            return marked.device == device && marked.kind == kind &&
                   (only.empty() || std::find(only.begin(), only.end(), marked.item) != only.end());
        });
        Recount(terminal);
    }
    return true;
}

bool CPendingChanges::Drop(int terminal, std::optional<int> device) {
    if (!EnsureTable())
        return false;
    std::vector<DbValue> values{terminal};
    if (device)
        values.emplace_back(*device);
    if (!db_.Execute(device ? "DELETE FROM pending_change WHERE term_id=? AND device_id=?"
                            : "DELETE FROM pending_change WHERE term_id=?",
                     values))
        return false;
    std::erase_if(local_, [&](const auto& marked) {
        return marked.first == terminal && (!device || marked.second.device == *device);
    });
    if (std::set<PendingItem>* items = ItemsOf(terminal)) {
        std::erase_if(*items, [&](const PendingItem& marked) {
            return !device || marked.device == *device;
        });
        Recount(terminal);
    }
    return true;
}

bool CPendingChanges::MayReplace(const CDbRecord& record, std::size_t column,
                                 std::string_view stored, std::string_view read) {
    const ChangeSource source = db_.History().Source();
    if (stored == read || (source != ChangeSource::Reply && source != ChangeSource::Batch))
        return true;
    const auto item = ItemOf(record, column);
    if (!item || !IsPending(item->first, item->second))
        return true;
    if (guard_ && !guard_({item->first, item->second, record.ChangeName(column),
                           std::string(stored), std::string(read)}))
        return false;
    // The value is the terminal's again. A failed statement fails the
    // reply's transaction with it. The loop configuration is one mark for
    // all loops: one loop taken from the terminal leaves the others the
    // operator changed, so only the write clears it.
    if (item->second.kind != PendingKind::Loops)
        Clear(item->first, item->second.device, item->second.kind, {item->second.item});
    return true;
}

std::map<int, std::map<int, int>>* CPendingChanges::Nodes() {
    if (nodes_)
        return &*nodes_;
    if (!EnsureTable())
        return nullptr;
    std::vector<std::vector<std::string>> rows;
    if (!db_.Query("SELECT term_id,device_id,COUNT(*) FROM pending_change "
                   "GROUP BY term_id,device_id",
                   rows))
        return nullptr;
    nodes_.emplace();
    for (const auto& row : rows)
        if (row.size() == 3)
            (*nodes_)[CDbRecord::ColumnNumber(row[0])][CDbRecord::ColumnNumber(row[1])] =
                CDbRecord::ColumnNumber(row[2]);
    for (const auto& [terminal, item] : local_)
        ++(*nodes_)[terminal][item.device];
    return &*nodes_;
}

std::set<PendingItem>* CPendingChanges::ItemsOf(int terminal) {
    if (const auto found = items_.find(terminal); found != items_.end())
        return &found->second;
    if (!EnsureTable())
        return nullptr;
    std::vector<std::vector<std::string>> rows;
    const DbValue key[] = {terminal};
    if (!db_.Query("SELECT device_id,kind,item FROM pending_change WHERE term_id=?", key, rows))
        return nullptr;
    std::set<PendingItem>& items = items_[terminal];
    for (auto& row : rows)
        if (const auto kind = row.size() == 3 ? PendingKindOf(row[1]) : std::nullopt)
            items.insert({CDbRecord::ColumnNumber(row[0]), *kind, std::move(row[2])});
    for (const auto& [marked, item] : local_)
        if (marked == terminal)
            items.insert(item);
    return &items;
}

void CPendingChanges::Recount(int terminal) {
    std::map<int, std::map<int, int>>* nodes = Nodes();
    const std::set<PendingItem>* items = ItemsOf(terminal);
    if (!nodes || !items)
        return;
    std::map<int, int> counts;
    for (const PendingItem& item : *items)
        ++counts[item.device];
    std::map<int, int>& before = (*nodes)[terminal];
    if (before.empty() != counts.empty())
        flipped_.insert({terminal, kTerminalNode});
    for (const auto& [device, count] : counts)
        if (!before.contains(device))
            flipped_.insert({terminal, device});
    for (const auto& [device, count] : before)
        if (!counts.contains(device))
            flipped_.insert({terminal, device});
    before = std::move(counts);
    if (before.empty())
        nodes->erase(terminal);
}

bool CPendingChanges::TerminalHasAny(int terminal) {
    const auto* nodes = Nodes();
    return nodes && nodes->contains(terminal);
}

bool CPendingChanges::DeviceHasAny(int terminal, int device) {
    const auto* nodes = Nodes();
    if (!nodes)
        return false;
    const auto found = nodes->find(terminal);
    return found != nodes->end() && found->second.contains(device);
}

std::vector<PendingItem> CPendingChanges::Items(int terminal) {
    if (!TerminalHasAny(terminal))
        return {};
    const std::set<PendingItem>* items = ItemsOf(terminal);
    return items ? std::vector<PendingItem>(items->begin(), items->end())
                 : std::vector<PendingItem>{};
}

bool CPendingChanges::IsPending(int terminal, const PendingItem& item) {
    if (!TerminalHasAny(terminal))
        return false;
    const std::set<PendingItem>* items = ItemsOf(terminal);
    return items && items->contains(item);
}

void CPendingChanges::Forget() {
    nodes_.reset();
    items_.clear();
}

CPendingGuardScope::CPendingGuardScope(CConfigDatabase* db, CPendingChanges::Guard guard)
    : pending_(db ? &db->Pending() : nullptr) {
    if (pending_)
        pending_->SetGuard(std::move(guard));
}

CPendingGuardScope::~CPendingGuardScope() {
    if (pending_)
        pending_->SetGuard({});
}

} // namespace tornu
