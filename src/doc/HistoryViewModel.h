#pragma once
// "История изменений": the history of everything, a terminal or a device,
// newest first, read with the window's filters; each entry as its columns
// show it, and the CSV of what is shown (the front end writes the same).
#include "db/ChangeHistory.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tornu {

class CConfigDatabase;
class CTreeNode;

inline constexpr const char* kHistoryTitle = "История изменений";

// "ivanov@office" or "ivanov@office (operator)" with the database user.
std::string HistoryWho(const HistoryEntry& entry);
// "12" for a terminal's own change, "12/1" for a device's.
std::string HistoryNode(const HistoryEntry& entry);
// The header line and a line per entry, UTF-8, CR LF.
void WriteHistoryCsv(const std::vector<HistoryEntry>& entries, std::ostream& out);

class CHistoryViewModel {
public:
    enum Column {
        kTimeColumn,
        kWhoColumn,
        kTerminalColumn,
        kDeviceColumn,
        kWhatColumn,
        kOldColumn,
        kNewColumn,
        kSourceColumn,
        kColumnCount
    };

    // Everything, a terminal (device unset) or one of its devices.
    CHistoryViewModel(CConfigDatabase& db, std::optional<int> terminal = std::nullopt,
                      std::optional<int> device = std::nullopt);
    // The history of a tree node: a terminal's own rows and its devices', or
    // one device's; everything without a node.
    static CHistoryViewModel ForNode(CConfigDatabase& db, const CTreeNode* node);

    static const char* ColumnTitle(int column);
    // "История изменений", "История изменений: базовый модуль 12",
    // "История изменений: устройство 12/1".
    std::string Title() const;

    // The operator's filters; the node stays the window's.
    void SetSince(std::string since) { filter_.since = std::move(since); }
    void SetWho(std::string who) { filter_.who = std::move(who); }
    void SetText(std::string text) { filter_.text = std::move(text); }
    // One of ChangeSourceText's texts; empty: every source.
    void SetSource(std::string source) { filter_.source = std::move(source); }
    const HistoryFilter& Filter() const { return filter_; }

    // Reads the entries again; false with Error() when the table cannot be read.
    bool Refresh();
    const std::string& Error() const { return error_; }
    const std::vector<HistoryEntry>& Entries() const { return entries_; }
    // The text of one cell; the time to the second, the source with its detail.
    std::string Cell(std::size_t row, int column) const;

    // What is shown, to a file; false when it cannot be written.
    bool ExportCsv(const std::string& path) const;

private:
    CConfigDatabase& db_;
    HistoryFilter filter_;
    std::vector<HistoryEntry> entries_;
    std::string error_;
};

} // namespace tornu
