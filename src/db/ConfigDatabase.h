#pragma once
// The configuration database of the document: connects on construction,
// creates whatever tables are missing, then runs one statement at a time.
//
// By default the database is the SQLite file "tornucfg.db" in the working
// directory (created by the driver on first connect). The program's settings
// may name another ODBC data source in their "TonruDataSource" section.
//
// Every statement is its own autocommit transaction, durable when Execute
// returns: the records write through and there is no save step. An operation
// of many rows groups its statements in one transaction (CDbTransaction), so
// that a process killed half-way leaves all of it or none.
//
// A database that cannot be connected to, checked or loaded is unavailable:
// Failure() says why, once, with the driver's text, and every statement is
// refused from then on, so nothing is created or written in it.
#include "db/ChangeHistory.h"
#include "db/OdbcConnection.h"
#include "db/PendingChanges.h"
#include "db/TableDesc.h"
#include "settings/IniFile.h"

#include <map>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CDbRecord;

// Told in one line when the connection, lost since the last statement (the
// server restarted, the network was cut), has been made again.
inline constexpr const char* kReconnectedMessage = "Соединение с базой данных восстановлено";
// Begins the error of a statement that failed because the connection was lost.
inline constexpr const char* kConnectionLostText = "соединение с базой данных потеряно: ";

class CConfigDatabase {
public:
    static constexpr const char* kSection = "TonruDataSource";
    static constexpr const char* kFileName = "tornucfg.db";

    // How long a statement waits for a database another program holds
    // locked before it fails.
    static constexpr int kBusyTimeoutMs = 5000;

    // "Driver=SQLite3;Database=<directory>/tornucfg.db;JournalMode=WAL;
    // SyncPragma=NORMAL;Timeout=5000"
    static std::string DefaultConnectString(const std::string& directory);
    // The "TonruDataSource" section of the program's settings; "Connect" is
    // the default SQLite file in `directory` unless the section gives one.
    static CIniFile ConnectionSettings(const CIniFile& programSettings,
                                       const std::string& directory);

    // printf-style statement of any length.
    static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Connect with the default SQLite file in the current directory.
    CConfigDatabase();
    // Connect as the program's settings say (see ConnectionSettings); the
    // default file lies in `directory`, the current one when empty.
    explicit CConfigDatabase(const CIniFile& programSettings, const std::string& directory = {});
    ~CConfigDatabase() = default;
    CConfigDatabase(const CConfigDatabase&) = delete;
    CConfigDatabase& operator=(const CConfigDatabase&) = delete;

    bool IsConnected() const { return connected_; }
    // Connected, checked and not marked unavailable.
    bool IsAvailable() const { return connected_ && failure_.empty(); }
    // Why the database is unavailable; empty while it is available.
    const std::string& Failure() const { return failure_; }
    // The configuration could not be read from it: the database is
    // unavailable from now on; `error` is the driver's text.
    void MarkUnavailable(const std::string& error);
    const std::string& LastError() const { return connection_.LastError(); }

    // One statement; closes the cursor of the previous one.
    bool Execute(const std::string& statement);
    // One statement with `values` bound to its '?' places in order.
    bool Execute(const std::string& statement, std::span<const DbValue> values);
    // The failure of an operation refused before its statement ran (a text
    // too long for its column): taken as a failed statement would be, so
    // that the operation's transaction rolls back and its outcome says why.
    bool Refuse(const std::string& why);
    // The driver's text of the first statement that failed since the last
    // call (a locked database, a full disk), and forgets it; empty when none
    // failed. An operation that must not pass a lost write for success asks.
    std::string TakeFailedStatementError();
    // The outcome of an operation whose statements ran since the last take:
    // the first failed statement's text ("ошибка записи в базу данных: ..."),
    // else success when `done`, else a failure with nothing more to say.
    CResult Outcome(bool done);
    // True while a next row of the last statement was fetched.
    bool Fetch();
    // Column of the current row, index from 0; nothing outside the result.
    std::optional<std::string> Column(int index) const { return connection_.ColumnText(index); }
    // Leading decimal number of the column; 0 when missing, NULL or not numeric.
    int ColumnInt(int index) const { return connection_.ColumnInt(index); }
    int ColumnCount() const { return connection_.ColumnCount(); }

    // Runs a query and reads every row, each column as text.
    bool Query(const std::string& statement, std::vector<std::vector<std::string>>& rows);
    bool Query(const std::string& statement, std::span<const DbValue> values,
               std::vector<std::vector<std::string>>& rows);
    // Runs a query and reads the first column of every row as a number.
    bool QueryInts(const std::string& statement, std::vector<int>& values);
    bool QueryInts(const std::string& statement, std::span<const DbValue> values,
                   std::vector<int>& numbers);

    // A table's statements by its key, made once.
    struct TableStatements {
        std::string insert;
        std::string select;
        std::string remove;
    };
    const TableStatements& StatementsOf(const TableDesc& table);

    // Creates the tables and unique indexes that are missing, in schema
    // order; stops at the first statement that fails, and at a table that
    // cannot be read for any other reason than that it is not there.
    bool CheckSchema();
    // The driver's error text says that the table does not exist.
    static bool IsMissingTableError(std::string_view error);
    // The driver's error text says that the connection is gone.
    static bool IsConnectionLostError(std::string_view error);
    // Where the line that the connection was made again goes.
    void SetNotice(std::function<void(const std::string&)> notice) { notice_ = std::move(notice); }

    COdbcConnection& Connection() { return connection_; }
    CChangeHistory& History() { return history_; }
    CPendingChanges& Pending() { return pending_; }

    // Transactions as CDbTransaction uses them: only the outermost of nested
    // calls begins and ends one. A statement that fails inside a transaction
    // makes the others of it fail at once and the end roll it back (false).
    bool BeginTransaction();
    bool EndTransaction(bool commit);

    // Update batches (db/UpdateBatch.h): while one is open, QueueUpdate
    // takes a record's update of `columns` (true) to be written when the
    // outermost batch ends; otherwise it takes nothing (false). A queued
    // record must outlive the batch.
    bool QueueUpdate(CDbRecord& record, ColumnMask columns);
    void BeginUpdateBatch() { ++batchDepth_; }
    bool InUpdateBatch() const { return batchDepth_ > 0; }
    bool EndUpdateBatch();
    int TransactionDepth() const { return depth_; }

private:
    void Open(const CIniFile& programSettings, const std::string& directory);
    // What every connection of the program's session is set to.
    void ApplySessionSettings();
    // The statement on the connection, made again once when it was lost and
    // nothing of the open operation had run on it yet.
    bool Run(const std::string& statement, std::span<const DbValue> values);
    // Connects again with the same string and settings; tells the notice.
    bool Reconnect();
    void Fail(const char* what);
    std::string HidePasswords(std::string text) const;

    COdbcConnection connection_;
    CChangeHistory history_{*this};
    CPendingChanges pending_{*this};
    bool connected_ = false;
    std::string connect_; // masked, for the failure text
    std::vector<std::string> passwords_; // of the string, hidden in the driver's texts
    std::string failure_;
    std::string statementError_;
    int depth_ = 0;
    int batchDepth_ = 0;
    std::vector<std::pair<CDbRecord*, ColumnMask>> queued_;
    std::map<const TableDesc*, TableStatements> statements_;
    bool transactionFailed_ = false; // a statement of the open transaction failed
    CIniFile connectSettings_; // as the connection was made, for a reconnect
    std::function<void(const std::string&)> notice_;
    bool lost_ = false;           // the connection was lost and not yet made again
    int transactionStatements_ = 0; // statements that ran in the open transaction
};

} // namespace tornu
