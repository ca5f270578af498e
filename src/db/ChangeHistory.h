#pragma once
// The history of the configuration: every change of a field an operator
// knows (a parameter, a phone-book entry, a key, a loop, a name, a phone, a
// password), who made it and how, kept in a table of its own beside the six
// configuration tables. A row is written in the transaction of the change it
// records. Passwords are recorded as changed, never their values.
#include "db/TableDesc.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CConfigDatabase;
class CDbRecord;

enum class ChangeSource { Operator, Reply, Import, FileLoad, Batch };

// "изменение оператором", "ответ прибора", ...
const char* ChangeSourceText(ChangeSource source);
inline constexpr ChangeSource kChangeSources[] = {ChangeSource::Operator, ChangeSource::Reply,
                                                  ChangeSource::Import, ChangeSource::FileLoad,
                                                  ChangeSource::Batch};

extern const TableDesc kChangeHistoryTable;

struct HistoryEntry {
    std::string time; // "2026-12-07 13:55:02", local time
    std::string osUser;
    std::string host;
    std::string dbUser;
    int terminal = -1;
    int device = -1; // -1: the terminal itself
    std::string what;
    std::string oldValue;
    std::string newValue;
    std::string source;
    std::string detail; // the command of a reply, the file of a load
};

struct HistoryFilter {
    std::optional<int> terminal{};
    std::optional<int> device{};
    std::string since{}; // entries at or after this time text; empty: all
    std::string who{};   // part of the user or host name; empty: all
    std::string text{};  // part of what, old or new value; empty: all
    std::string source{}; // a ChangeSourceText exactly; empty: all
};

class CChangeHistory {
public:
    explicit CChangeHistory(CConfigDatabase& db) : db_(db) {}

    // Who changes: the operating-system user and host, and the database
    // user named by the connection (empty on SQLite).
    void SetAuthor(std::string osUser, std::string host, std::string dbUser);
    // What makes the changes from now on, until the scope ends.
    ChangeSource Source() const { return source_; }
    const std::string& Detail() const { return detail_; }

    // The change of `column` of `record`; false when the row could not be
    // written (the change's transaction then fails with it).
    bool Record(const CDbRecord& record, std::size_t column, std::string_view oldValue,
                std::string_view newValue);
    // A terminal or device made or deleted: `what` and its new state.
    bool RecordNode(int terminal, int device, std::string_view what, std::string_view oldValue,
                    std::string_view newValue);

    // Newest first; false when the table cannot be read.
    bool Read(const HistoryFilter& filter, std::vector<HistoryEntry>& entries);

    // Writes the rows recorded while an update batch was open: a reply that
    // changes dozens of values writes their history in a few statements.
    bool Flush();

private:
    static constexpr std::size_t kColumns = 11;
    // A row's texts, kept until the batch writes them.
    using Row = std::array<std::string, kColumns>;

    friend class CChangeSourceScope;
    bool EnsureTable();
    bool Insert(int terminal, int device, std::string_view what, std::string_view oldValue,
                std::string_view newValue);

    CConfigDatabase& db_;
    std::string osUser_;
    std::string host_;
    std::string dbUser_;
    ChangeSource source_ = ChangeSource::Operator;
    std::string detail_;
    bool tableChecked_ = false;
    std::vector<Row> queued_;
};

// Sets the source of the changes made while it lives, and restores the one
// before: a reply applied inside an operator's edit stays a reply.
class CChangeSourceScope {
public:
    CChangeSourceScope(CConfigDatabase* db, ChangeSource source, std::string detail = {});
    ~CChangeSourceScope();
    CChangeSourceScope(const CChangeSourceScope&) = delete;
    CChangeSourceScope& operator=(const CChangeSourceScope&) = delete;

private:
    CChangeHistory* history_;
    ChangeSource source_ = ChangeSource::Operator;
    std::string detail_;
};

} // namespace tornu
