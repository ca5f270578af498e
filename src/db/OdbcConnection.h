#pragma once
// A thin ODBC 3 wrapper: one connection, one statement handle, one statement
// at a time. Executing a statement closes the cursor of the previous one, so a
// result is read to the end (or abandoned) before the next statement.
//
// Text goes through the narrow API as it is (UTF-8 with the SQLite driver).
// Result columns are bound; a value longer than its bound buffer is read back
// whole with SQLGetData, so no column is ever cut short.
#include "db/DbValue.h"
#include "settings/IniFile.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

namespace tornu {

class COdbcConnection {
public:
    enum CharSet { Ansi = 0, Oem = 1 };

    // A result column of the last executed statement.
    struct Column {
        std::string name;
        int sqlType = 0;
        unsigned long size = 0;
        int decimalDigits = 0;
        int nullable = 0;
        bool binary = false;
        std::vector<char> buffer;
        long indicator = 0;
        // The whole value when it did not fit the buffer.
        std::string overflow;
        bool overflowed = false;
    };

    COdbcConnection() = default;
    ~COdbcConnection();
    COdbcConnection(const COdbcConnection&) = delete;
    COdbcConnection& operator=(const COdbcConnection&) = delete;

    // Keys of `section` in `settings`: "Connect" (required), "CharSet"
    // ("ANSI"/"OEM", any case) and "InitScriptFileName" (run once after a
    // successful connection, outcome ignored).
    bool Connect(const std::string& section, const CIniFile& settings);
    bool Connect(const std::string& connectionString);
    void Close();
    bool IsConnected() const { return connected_; }
    // The driver finds the connection gone: the server closed it or the
    // network failed. False for a driver that cannot tell.
    bool IsDead() const;
    // The database product as the driver names it ("SQLite", "PostgreSQL").
    const std::string& DbmsName() const { return dbmsName_; }
    // The connection string of the last Connect, as given.
    const std::string& ConnectString() const { return connectString_; }

    bool ExecDirect(const std::string& statement);
    // Runs `statement` with `values` bound to its '?' places in order. The
    // statement is prepared the first time the connection runs it and kept
    // prepared; without values it runs directly.
    bool Execute(const std::string& statement, std::span<const DbValue> values);
    // Rows the last statement changed (an update or delete); 0 when none or
    // when the driver cannot tell.
    long RowCount() const { return rowCount_; }

    // Manual transactions: with autocommit off the driver opens a transaction
    // at the next statement, and EndTransaction commits or rolls it back.
    bool SetAutoCommit(bool on);
    bool EndTransaction(bool commit);
    bool Fetch();
    bool FetchNext();
    // The last fetch ended in an error rather than at the end of the result.
    bool FetchFailed() const { return fetchFailed_; }
    // Abandons the rest of the current result (columns stay described).
    void CloseCursor();

    // Column index from 0; nothing when outside the result. NULL reads as "".
    std::optional<std::string> ColumnText(int index) const;
    // The column's text without a copy, valid until the next fetch or statement.
    std::optional<std::string_view> ColumnView(int index) const;
    // Leading decimal number of the column's text; 0 when missing, NULL or not numeric.
    int ColumnInt(int index) const;
    int ColumnType(int index) const;
    unsigned long ColumnSize(int index) const;
    std::optional<std::string> ColumnName(int index) const;
    int ColumnCount() const { return static_cast<int>(columns_.size()); }

    const std::string& LastError() const { return lastError_; }
    CharSet GetCharSet() const { return charSet_; }
    const std::string& Section() const { return section_; }
    const CIniFile& Settings() const { return settings_; }

    // `parameters`: lines "name=value" separated by CR LF; "%name%" in the
    // script becomes the value. The whole text runs as one statement.
    bool RunScript(const std::string& fileName, const std::string* parameters = nullptr);

    // Sees every statement text before it runs (diagnostics and tests).
    void SetTrace(std::function<void(const std::string&)> trace) { trace_ = std::move(trace); }

private:
    bool Fail(const std::string& error);
    bool FailConnect(const char* error);
    void SetDiagError(const char* operation, short handleType, void* handle);
    bool BindColumns();
    bool BindColumn(int number);
    bool ReadLongValue(int number, Column& column);
    void ReadOverflows();
    const Column* FindColumn(int index) const;
    bool FetchRow(bool scroll);
    void FreeHandles();
    // Closes the result of the last statement and makes `handle` the one
    // whose result the fetches read.
    void StartStatement(void* handle, const std::string& statement);
    bool Finish(short rc, const char* operation);
    void* Prepared(const std::string& statement);
    void FreePrepared();

    void* env_ = nullptr;
    void* dbc_ = nullptr;
    void* stmt_ = nullptr;
    // The statement whose result is read: stmt_ or a prepared one.
    void* current_ = nullptr;
    std::unordered_map<std::string, void*> prepared_;
    long rowCount_ = 0;
    bool connected_ = false;
    // The driver lets SQLGetData read bound columns in any order.
    bool getDataOnBound_ = false;
    bool fetchFailed_ = false;
    std::vector<Column> columns_;
    std::string lastError_;
    std::string dbmsName_;
    std::string connectString_;
    CIniFile settings_;
    std::string section_;
    CharSet charSet_ = Ansi;
    std::function<void(const std::string&)> trace_;
};

// The text of a script with every "%name%" whose name is in `parameters`
// (lines "name=value" separated by CR LF) replaced by its value; names are
// letters (Latin or Cyrillic), digits and underscores.
std::string SubstituteScriptParameters(std::string_view script, std::string_view parameters);

} // namespace tornu
