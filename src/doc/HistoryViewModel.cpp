#include "doc/HistoryViewModel.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/TreeNode.h"
#include "settings/CsvField.h"

#include <fstream>
#include <ostream>

namespace tornu {

namespace {

// To the second: the stored microseconds only keep the order.
std::string ShownTime(const HistoryEntry& entry) {
    return entry.time.substr(0, 19);
}

} // namespace

std::string HistoryWho(const HistoryEntry& entry) {
    std::string who = entry.osUser + "@" + entry.host;
    if (!entry.dbUser.empty())
        who += " (" + entry.dbUser + ")";
    return who;
}

std::string HistoryNode(const HistoryEntry& entry) {
    std::string node = std::to_string(entry.terminal);
    if (entry.device >= 0)
        node.append(1, '/').append(std::to_string(entry.device));
    return node;
}

void WriteHistoryCsv(const std::vector<HistoryEntry>& entries, std::ostream& out) {
    out << "Время,Кто,Устройство,Что,Было,Стало,Источник,Подробности\r\n";
    for (const HistoryEntry& entry : entries) {
        for (const std::string& field : {ShownTime(entry), HistoryWho(entry), HistoryNode(entry),
                                         entry.what, entry.oldValue, entry.newValue, entry.source})
            out << CsvField(field) << ",";
        out << CsvField(entry.detail) << "\r\n";
    }
}

CHistoryViewModel::CHistoryViewModel(CConfigDatabase& db, std::optional<int> terminal,
                                     std::optional<int> device)
    : db_(db) {
    filter_.terminal = terminal;
    filter_.device = terminal ? device : std::nullopt;
}

CHistoryViewModel CHistoryViewModel::ForNode(CConfigDatabase& db, const CTreeNode* node) {
    if (!node)
        return CHistoryViewModel(db);
    if (const CDevice* device = node->Device())
        return CHistoryViewModel(db, node->Terminal().Id(), device->Address());
    return CHistoryViewModel(db, node->Terminal().Id());
}

const char* CHistoryViewModel::ColumnTitle(int column) {
    switch (column) {
    case kTimeColumn:
        return "Время";
    case kWhoColumn:
        return "Кто";
    case kTerminalColumn:
        return "Базовый модуль";
    case kDeviceColumn:
        return "Устройство";
    case kWhatColumn:
        return "Что";
    case kOldColumn:
        return "Было";
    case kNewColumn:
        return "Стало";
    case kSourceColumn:
        return "Источник";
    default:
        return "";
    }
}

std::string CHistoryViewModel::Title() const {
    if (!filter_.terminal)
        return kHistoryTitle;
    if (!filter_.device)
        return std::string(kHistoryTitle) + ": базовый модуль " + std::to_string(*filter_.terminal);
    return std::string(kHistoryTitle) + ": устройство " + std::to_string(*filter_.terminal) + "/" +
           std::to_string(*filter_.device);
}

bool CHistoryViewModel::Refresh() {
    error_.clear();
    if (db_.History().Read(filter_, entries_))
        return true;
    error_ = "Невозможно прочитать историю изменений: " + db_.LastError();
    return false;
}

std::string CHistoryViewModel::Cell(std::size_t row, int column) const {
    if (row >= entries_.size())
        return {};
    const HistoryEntry& entry = entries_[row];
    switch (column) {
    case kTimeColumn:
        return ShownTime(entry);
    case kWhoColumn:
        return HistoryWho(entry);
    case kTerminalColumn:
        return std::to_string(entry.terminal);
    case kDeviceColumn:
        return entry.device >= 0 ? std::to_string(entry.device) : std::string();
    case kWhatColumn:
        return entry.what;
    case kOldColumn:
        return entry.oldValue;
    case kNewColumn:
        return entry.newValue;
    case kSourceColumn:
        return entry.detail.empty() ? entry.source : entry.source + ": " + entry.detail;
    default:
        return {};
    }
}

bool CHistoryViewModel::ExportCsv(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    WriteHistoryCsv(entries_, out);
    out.close();
    return static_cast<bool>(out);
}

} // namespace tornu
