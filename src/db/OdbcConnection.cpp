#include "db/OdbcConnection.h"

#include "settings/Encoding.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <strings.h>

namespace tornu {

namespace {

constexpr unsigned long kMaxBoundSize = 65536;
constexpr std::size_t kBufferSlack = 10;
// Column sizes count characters; in UTF-8 one takes up to four bytes.
constexpr unsigned long kBytesPerChar = 4;
constexpr std::size_t kChunkSize = 65536;
constexpr std::size_t kMaxPrepared = 256;

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

SQLCHAR* Sql(const std::string& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

bool IsBinaryType(SQLSMALLINT type) {
    return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

} // namespace

COdbcConnection::~COdbcConnection() {
    Close();
}

bool COdbcConnection::Fail(const std::string& error) {
    lastError_ = error;
    return false;
}

// "N, State: 42S02, Native Error: 1, Error Message: ..." from the first
// diagnostic record of the handle, or just N when there is none.
void COdbcConnection::SetDiagError(const char* operation, short handleType, void* handle) {
    lastError_ = operation;
    if (!handle)
        return;
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    std::vector<SQLCHAR> message(4096);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, 1, state, &native, message.data(),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
    if (!Succeeded(rc))
        return;
    lastError_ += ", State: ";
    lastError_ += reinterpret_cast<const char*>(state);
    lastError_ += ", Native Error: " + std::to_string(native) + ", Error Message: ";
    lastError_ += reinterpret_cast<const char*>(message.data());
}

bool COdbcConnection::Connect(const std::string& section, const CIniFile& settings) {
    settings_.CopyFrom(settings);
    section_ = section;
    Close();
    // "OEM" in any case; anything else, or nothing, means ANSI, also on a
    // later connect.
    std::string charSet;
    settings_.GetValue(section, "CharSet", charSet);
    charSet_ = strcasecmp(charSet.c_str(), "OEM") == 0 ? Oem : Ansi;
    std::string connect;
    if (!settings_.GetValue(section, "Connect", connect)) {
        settings_.ErrorText(0, lastError_);
        return false;
    }
    connected_ = Connect(connect);
    std::string script;
    if (settings_.GetValue(section, "InitScriptFileName", script))
        RunScript(script);
    return connected_;
}

bool COdbcConnection::Connect(const std::string& connectionString) {
    Close();
    connectString_ = connectionString;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
        return FailConnect("Cannot Allocate Environment Handle");
    if (!Succeeded(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION,
                                 reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
        return FailConnect("Cannot Set ODBC Version");
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_)))
        return FailConnect("Cannot Allocate Connection Handle");
    std::vector<SQLCHAR> completed(4096);
    SQLSMALLINT completedLength = 0;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, Sql(connectionString), SQL_NTS, completed.data(),
                                    static_cast<SQLSMALLINT>(completed.size()), &completedLength,
                                    SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        SetDiagError("SQLConnect", SQL_HANDLE_DBC, dbc_);
        FreeHandles();
        return false;
    }
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_))) {
        SQLDisconnect(dbc_);
        return FailConnect("Cannot Allocate Statement Handle");
    }
    // Text values are literals: no driver should rewrite "{...}" inside them.
    // Drivers that do not know the attribute refuse it; that is harmless.
    SQLSetStmtAttr(stmt_, SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(SQL_NOSCAN_ON), 0);
    SQLUINTEGER getData = 0;
    if (Succeeded(SQLGetInfo(dbc_, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr))) {
        const SQLUINTEGER needed = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND;
        getDataOnBound_ = (getData & needed) == needed;
    }
    SQLCHAR dbms[128] = {};
    SQLSMALLINT dbmsLength = 0;
    if (Succeeded(SQLGetInfo(dbc_, SQL_DBMS_NAME, dbms, sizeof dbms, &dbmsLength)))
        dbmsName_ = reinterpret_cast<const char*>(dbms);
    connected_ = true;
    return true;
}

bool COdbcConnection::SetAutoCommit(bool on) {
    if (!connected_)
        return Fail("Not Connected");
    const SQLRETURN rc =
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                          SQL_IS_UINTEGER);
    if (Succeeded(rc))
        return true;
    SetDiagError("SQLSetConnectAttr", SQL_HANDLE_DBC, dbc_);
    return false;
}

bool COdbcConnection::EndTransaction(bool commit) {
    if (!connected_)
        return Fail("Not Connected");
    CloseCursor();
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK);
    if (Succeeded(rc))
        return true;
    SetDiagError("SQLEndTran", SQL_HANDLE_DBC, dbc_);
    return false;
}

bool COdbcConnection::FailConnect(const char* error) {
    FreeHandles();
    return Fail(error);
}

void COdbcConnection::FreeHandles() {
    if (stmt_)
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    if (dbc_)
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_)
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    stmt_ = dbc_ = env_ = nullptr;
}

bool COdbcConnection::IsDead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    return dbc_ && connected_ &&
           Succeeded(SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

void COdbcConnection::Close() {
    columns_.clear();
    FreePrepared();
    current_ = nullptr;
    if (stmt_) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = nullptr;
    }
    if (dbc_ && connected_)
        SQLDisconnect(dbc_);
    FreeHandles();
    connected_ = false;
    getDataOnBound_ = false;
}

void COdbcConnection::StartStatement(void* handle, const std::string& statement) {
    // Only a result needs closing: closing a prepared statement without one
    // makes the SQLite driver compile it again at its next run.
    if (current_ && !columns_.empty()) {
        SQLFreeStmt(current_, SQL_CLOSE);
        SQLFreeStmt(current_, SQL_UNBIND);
    }
    columns_.clear();
    current_ = handle;
    rowCount_ = 0;
    if (trace_)
        trace_(statement);
}

bool COdbcConnection::Finish(SQLRETURN rc, const char* operation) {
    // A searched UPDATE or DELETE that matches no row reports SQL_NO_DATA.
    if (!Succeeded(rc) && rc != SQL_NO_DATA) {
        SetDiagError(operation, SQL_HANDLE_STMT, current_);
        return false;
    }
    SQLLEN rows = 0;
    if (rc != SQL_NO_DATA && Succeeded(SQLRowCount(current_, &rows)) && rows > 0)
        rowCount_ = static_cast<long>(rows);
    return BindColumns();
}

bool COdbcConnection::ExecDirect(const std::string& statement) {
    if (!stmt_)
        return Fail("Stmt is NULL");
    StartStatement(stmt_, statement);
    return Finish(SQLExecDirect(stmt_, Sql(statement), static_cast<SQLINTEGER>(statement.size())),
                  "SQLExecDirect");
}

void* COdbcConnection::Prepared(const std::string& statement) {
    if (auto found = prepared_.find(statement); found != prepared_.end())
        return found->second;
    // Statements are made from a few table descriptions, but a batch's
    // text depends on its row count: the cache starts over when it grows.
    if (prepared_.size() >= kMaxPrepared)
        FreePrepared();
    SQLHSTMT handle = nullptr;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &handle))) {
        SetDiagError("SQLAllocHandle", SQL_HANDLE_DBC, dbc_);
        return nullptr;
    }
    SQLSetStmtAttr(handle, SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(SQL_NOSCAN_ON), 0);
    if (!Succeeded(SQLPrepare(handle, Sql(statement), static_cast<SQLINTEGER>(statement.size())))) {
        SetDiagError("SQLPrepare", SQL_HANDLE_STMT, handle);
        SQLFreeHandle(SQL_HANDLE_STMT, handle);
        return nullptr;
    }
    prepared_.emplace(statement, handle);
    return handle;
}

void COdbcConnection::FreePrepared() {
    for (auto& [text, handle] : prepared_) {
        if (handle == current_) {
            current_ = nullptr;
            columns_.clear();
        }
        SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
    prepared_.clear();
}

bool COdbcConnection::Execute(const std::string& statement, std::span<const DbValue> values) {
    if (!stmt_)
        return Fail("Stmt is NULL");
    if (values.empty())
        return ExecDirect(statement);
    void* handle = Prepared(statement);
    if (!handle)
        return false;
    StartStatement(handle, statement);
    // The places of the values, alive until the statement has run.
    static const char kEmpty[] = "";
    std::vector<SQLINTEGER> numbers(values.size());
    std::vector<SQLLEN> lengths(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const DbValue& value = values[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc;
        if (value.kind == DbValue::Kind::Integer) {
            numbers[i] = value.number;
            rc = SQLBindParameter(handle, number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                  &numbers[i], 0, nullptr);
        } else {
            const bool null = value.kind == DbValue::Kind::Null;
            lengths[i] = null ? SQL_NULL_DATA : static_cast<SQLLEN>(value.text.size());
            const char* data = null || value.text.empty() ? kEmpty : value.text.data();
            rc = SQLBindParameter(handle, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                  std::max<SQLULEN>(value.text.size(), 1), 0,
                                  const_cast<char*>(data), static_cast<SQLLEN>(value.text.size()),
                                  &lengths[i]);
        }
        if (!Succeeded(rc)) {
            SetDiagError("SQLBindParameter", SQL_HANDLE_STMT, handle);
            return false;
        }
    }
    return Finish(SQLExecute(handle), "SQLExecute");
}

bool COdbcConnection::BindColumns() {
    SQLSMALLINT count = 0;
    if (!Succeeded(SQLNumResultCols(current_, &count))) {
        SetDiagError("SQLNumResultCols", SQL_HANDLE_STMT, current_);
        return false;
    }
    columns_.resize(count);
    for (int number = 1; number <= count; ++number) {
        if (!BindColumn(number)) {
            SetDiagError("BindColumn", SQL_HANDLE_STMT, current_);
            columns_.clear();
            return false;
        }
    }
    return true;
}

bool COdbcConnection::BindColumn(int number) {
    Column& column = columns_[number - 1];
    std::vector<SQLCHAR> name(257);
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!Succeeded(SQLDescribeCol(current_, static_cast<SQLUSMALLINT>(number), name.data(),
                                  static_cast<SQLSMALLINT>(name.size()), &nameLength, &type, &size,
                                  &digits, &nullable)))
        return false;
    column.name = reinterpret_cast<const char*>(name.data());
    column.sqlType = type;
    column.size = static_cast<unsigned long>(size);
    column.decimalDigits = digits;
    column.nullable = nullable;
    column.binary = IsBinaryType(type);
    // Without SQLGetData on bound columns a long value could only come back
    // cut; such drivers get every column through SQLGetData instead.
    if (!getDataOnBound_)
        return true;
    unsigned long bytes = column.binary ? column.size : column.size * kBytesPerChar;
    if (column.size == 0 || bytes > kMaxBoundSize)
        bytes = kMaxBoundSize;
    column.buffer.assign(bytes + kBufferSlack, 0);
    return Succeeded(SQLBindCol(current_, static_cast<SQLUSMALLINT>(number),
                                column.binary ? SQL_C_BINARY : SQL_C_CHAR, column.buffer.data(),
                                static_cast<SQLLEN>(column.buffer.size()),
                                reinterpret_cast<SQLLEN*>(&column.indicator)));
}

// Reads a column's whole value in chunks into `column.overflow`.
bool COdbcConnection::ReadLongValue(int number, Column& column) {
    column.overflow.clear();
    column.overflowed = true;
    column.indicator = 0;
    std::vector<char> chunk(kChunkSize + 1);
    const SQLSMALLINT target = column.binary ? SQL_C_BINARY : SQL_C_CHAR;
    const std::size_t terminator = column.binary ? 0 : 1;
    for (;;) {
        SQLLEN length = 0;
        SQLRETURN rc = SQLGetData(current_, static_cast<SQLUSMALLINT>(number), target, chunk.data(),
                                  static_cast<SQLLEN>(chunk.size()), &length);
        if (rc == SQL_NO_DATA)
            return true;
        if (!Succeeded(rc))
            return false;
        if (length == SQL_NULL_DATA) {
            column.indicator = SQL_NULL_DATA;
            return true;
        }
        const std::size_t room = chunk.size() - terminator;
        const bool whole = rc == SQL_SUCCESS && length != SQL_NO_TOTAL;
        std::size_t got = whole ? std::min<std::size_t>(length, room) : room;
        column.overflow.append(chunk.data(), got);
        if (whole)
            return true;
    }
}

void COdbcConnection::ReadOverflows() {
    for (int number = 1; number <= ColumnCount(); ++number) {
        Column& column = columns_[number - 1];
        column.overflowed = false;
        if (column.buffer.empty()) {
            ReadLongValue(number, column);
            continue;
        }
        const std::size_t room = column.buffer.size() - (column.binary ? 0 : 1);
        if (column.indicator == SQL_NO_TOTAL ||
            (column.indicator > 0 && static_cast<std::size_t>(column.indicator) > room))
            ReadLongValue(number, column);
    }
}

bool COdbcConnection::FetchRow(bool scroll) {
    if (!current_)
        return Fail("Stmt is NULL");
    for (Column& column : columns_) {
        if (!column.buffer.empty())
            column.buffer[0] = 0;
        column.indicator = SQL_NULL_DATA;
        column.overflowed = false;
    }
    fetchFailed_ = false;
    SQLRETURN rc = scroll ? SQLFetchScroll(current_, SQL_FETCH_NEXT, 0) : SQLFetch(current_);
    if (!Succeeded(rc)) {
        if (rc != SQL_NO_DATA) {
            fetchFailed_ = true;
            SetDiagError("SQLFetch", SQL_HANDLE_STMT, current_);
            return false;
        }
        // A finished cursor is closed at once so that it holds no read lock.
        if (!Succeeded(SQLMoreResults(current_)))
            CloseCursor();
        return false;
    }
    ReadOverflows();
    return true;
}

void COdbcConnection::CloseCursor() {
    if (current_)
        SQLFreeStmt(current_, SQL_CLOSE);
}

bool COdbcConnection::Fetch() {
    return FetchRow(false);
}

bool COdbcConnection::FetchNext() {
    return FetchRow(true);
}

const COdbcConnection::Column* COdbcConnection::FindColumn(int index) const {
    if (index < 0 || index >= ColumnCount())
        return nullptr;
    return &columns_[index];
}

std::optional<std::string_view> COdbcConnection::ColumnView(int index) const {
    const Column* column = FindColumn(index);
    if (!column)
        return std::nullopt;
    if (column->overflowed)
        return std::string_view(column->overflow);
    if (column->indicator <= 0 || column->buffer.empty())
        return std::string_view();
    return std::string_view(column->buffer.data(), static_cast<std::size_t>(column->indicator));
}

std::optional<std::string> COdbcConnection::ColumnText(int index) const {
    auto view = ColumnView(index);
    if (!view)
        return std::nullopt;
    return std::string(*view);
}

int COdbcConnection::ColumnInt(int index) const {
    auto view = ColumnView(index);
    if (!view)
        return 0;
    std::string_view text = *view;
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        ++pos;
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > 0x80000000LL)
            value = 0x80000000LL;
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, -0x7fffffffLL - 1, 0x7fffffffLL));
}

int COdbcConnection::ColumnType(int index) const {
    const Column* column = FindColumn(index);
    return column ? column->sqlType : 0;
}

unsigned long COdbcConnection::ColumnSize(int index) const {
    const Column* column = FindColumn(index);
    return column ? column->size : 0;
}

std::optional<std::string> COdbcConnection::ColumnName(int index) const {
    const Column* column = FindColumn(index);
    if (!column)
        return std::nullopt;
    return column->name;
}

// Scripts

namespace {

// Length in bytes of the name character at `pos` (Latin or Cyrillic letter,
// digit, underscore), 0 when there is none.
std::size_t NameCharLength(std::string_view text, std::size_t pos) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')
        return 1;
    // U+0400..U+04FF, the Cyrillic block, is D0 80 .. D3 BF in UTF-8.
    if (c >= 0xD0 && c <= 0xD3 && pos + 1 < text.size()) {
        unsigned char next = static_cast<unsigned char>(text[pos + 1]);
        if (next >= 0x80 && next <= 0xBF)
            return 2;
    }
    return 0;
}

// Lines "name=value" separated by CR LF; the first line of a name wins.
std::optional<std::string_view> FindParameter(std::string_view parameters, std::string_view name) {
    while (!parameters.empty()) {
        std::size_t end = parameters.find("\r\n");
        std::string_view line = parameters.substr(0, end);
        parameters =
            end == std::string_view::npos ? std::string_view() : parameters.substr(end + 2);
        std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && line.substr(0, equals) == name)
            return line.substr(equals + 1);
    }
    return std::nullopt;
}

} // namespace

std::string SubstituteScriptParameters(std::string_view script, std::string_view parameters) {
    std::string result;
    result.reserve(script.size());
    std::size_t pos = 0;
    while (pos < script.size()) {
        if (script[pos] != '%') {
            result += script[pos++];
            continue;
        }
        std::size_t end = pos + 1;
        while (end < script.size()) {
            std::size_t length = NameCharLength(script, end);
            if (length == 0)
                break;
            end += length;
        }
        if (end == pos + 1 || end >= script.size() || script[end] != '%') {
            // Not a reference: the "%" stays and scanning goes on after it.
            result += script[pos++];
            continue;
        }
        std::string_view reference = script.substr(pos, end + 1 - pos);
        auto value = FindParameter(parameters, reference.substr(1, reference.size() - 2));
        result += value ? *value : reference;
        pos = end + 1;
    }
    return result;
}

bool COdbcConnection::RunScript(const std::string& fileName, const std::string* parameters) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return Fail("Невозможно открыть файл скрипта: " + fileName);
    std::string script;
    try {
        script.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } catch (const std::bad_alloc&) {
        return Fail("Ошибка выделения памяти");
    }
    if (script.empty())
        return Fail("Файла скрипта пустой: " + fileName);
    if (script.find('\0') != std::string::npos)
        return Fail("Файла скрипта должен быть текстовым: " + fileName);
    // Scripts written with the old Windows tools are in Windows-1251.
    if (!IsValidUtf8(script))
        script = Cp1251ToUtf8(script);
    if (parameters)
        script = SubstituteScriptParameters(script, *parameters);
    return ExecDirect(script);
}

} // namespace tornu
