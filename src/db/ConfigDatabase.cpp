#include "db/ConfigDatabase.h"

#include "db/ConnectString.h"
#include "db/Tables.h"
#include "protocol/ConfigText.h"
#include "settings/PrivateFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace tornu {

namespace {

std::string OsUser() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : "";
}

std::string HostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string CurrentDirectory() {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::current_path(ec);
    return ec ? std::string(".") : path.string();
}

} // namespace

std::string CConfigDatabase::DefaultConnectString(const std::string& directory) {
    std::string path = directory;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += kFileName;
    return "Driver=SQLite3;Database=" + path + ";JournalMode=WAL;SyncPragma=NORMAL;Timeout=" +
           std::to_string(kBusyTimeoutMs);
}

CIniFile CConfigDatabase::ConnectionSettings(const CIniFile& programSettings,
                                             const std::string& directory) {
    CIniFile settings;
    const int count = programSettings.CountEntries(kSection);
    for (int index = 0; index < count; ++index) {
        std::string key, value;
        if (programSettings.GetEntry(kSection, index, key, value))
            settings.SetValue(kSection, key, value);
    }
    std::string connect;
    if (!settings.GetValue(kSection, "Connect", connect) || connect.empty())
        settings.SetValue(kSection, "Connect", DefaultConnectString(directory));
    return settings;
}

std::string CConfigDatabase::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(result.data(), result.size(), format, args);
        result.resize(static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}

CConfigDatabase::CConfigDatabase() {
    Open(CIniFile(), {});
}

CConfigDatabase::CConfigDatabase(const CIniFile& programSettings, const std::string& directory) {
    Open(programSettings, directory);
}

void CConfigDatabase::Open(const CIniFile& programSettings, const std::string& directory) {
    CIniFile settings =
        ConnectionSettings(programSettings, directory.empty() ? CurrentDirectory() : directory);
    std::string connect;
    settings.GetValue(kSection, "Connect", connect);
    connect_ = MaskConnectPasswords(connect);
    passwords_ = ConnectPasswords(connect);
    // The file holds every link and partition password: a new one is made
    // for its owner before the driver makes it for everyone, and SQLite
    // gives its journal files the mode of the database.
    if (const std::string file = SqliteDatabaseFile(connect); !file.empty())
        CreatePrivateFile(file);
    settings.SetValue(kSection, "Connect", WithDriverLogsOff(connect));
    connectSettings_.CopyFrom(settings);
    connected_ = connection_.Connect(kSection, settings);
    history_.SetAuthor(OsUser(), HostName(), ConnectValue(connect, "UID").value_or(""));
    if (connected_)
        ApplySessionSettings();
    // Without a connection every step would fail and only hide the
    // connection's error text. A failed step leaves later tables unchecked.
    if (!connected_)
        Fail("Невозможно подключиться к базе данных");
    else if (!CheckSchema())
        Fail("Невозможно проверить структуру базы данных");
}

void CConfigDatabase::ApplySessionSettings() {
    // SQLite's Timeout bounds the wait for a file another program holds; a
    // server would wait for a row another program writes until that one ends.
    if (connection_.DbmsName() == "PostgreSQL")
        connection_.ExecDirect(Format("SET lock_timeout = %d", kBusyTimeoutMs));
}

bool CConfigDatabase::Reconnect() {
    lost_ = !connection_.Connect(kSection, connectSettings_);
    if (lost_)
        return false;
    ApplySessionSettings();
    if (depth_ > 0 && !connection_.SetAutoCommit(false))
        return false;
    if (notice_)
        notice_(kReconnectedMessage);
    return true;
}

bool CConfigDatabase::IsConnectionLostError(std::string_view error) {
    // The standard class 08, PostgreSQL's shutdown states, and what its
    // driver says when it finds the socket closed.
    for (std::string_view sign :
         {"State: 08", "State: 57P01", "State: 57P02", "State: 57P03", "connection dead",
          "server closed the connection", "no connection to the server"})
        if (error.find(sign) != std::string_view::npos)
            return true;
    return false;
}

// Only what had not yet run anything of its operation on the lost
// connection is run again: a statement outside a transaction, or the first
// of one. A transaction that had done more on it is over: the server has
// dropped it, so it fails whole.
bool CConfigDatabase::Run(const std::string& statement, std::span<const DbValue> values) {
    const bool fresh = depth_ == 0 || transactionStatements_ == 0;
    if (lost_ && (!fresh || !Reconnect()))
        return false;
    if (connection_.Execute(statement, values))
        return true;
    if (!IsConnectionLostError(connection_.LastError()) && !connection_.IsDead())
        return false;
    lost_ = true;
    return fresh && Reconnect() && connection_.Execute(statement, values);
}

void CConfigDatabase::Fail(const char* what) {
    failure_ = std::string(what) + " (" + connect_ + "): " + HidePasswords(connection_.LastError());
}

void CConfigDatabase::MarkUnavailable(const std::string& error) {
    if (failure_.empty())
        failure_ = "Невозможно прочитать базу данных (" + connect_ + "): " + HidePasswords(error);
}

// A driver may quote the string, or part of it, in its error.
std::string CConfigDatabase::HidePasswords(std::string text) const {
    for (const std::string& password : passwords_)
        for (std::size_t at = text.find(password); at != std::string::npos;
             at = text.find(password, at + 3))
            text.replace(at, password.size(), "***");
    return text;
}

bool CConfigDatabase::Execute(const std::string& statement) {
    return Execute(statement, {});
}

bool CConfigDatabase::Refuse(const std::string& why) {
    if (statementError_.empty())
        statementError_ = why;
    if (depth_ > 0)
        transactionFailed_ = true;
    return false;
}

const CConfigDatabase::TableStatements& CConfigDatabase::StatementsOf(const TableDesc& table) {
    auto [at, made] = statements_.try_emplace(&table);
    if (made)
        at->second = {table.InsertStatement(), table.SelectStatement(), table.DeleteStatement()};
    return at->second;
}

bool CConfigDatabase::Execute(const std::string& statement, std::span<const DbValue> values) {
    // A database that failed to open or load is left exactly as it is.
    if (!failure_.empty()) {
        if (statementError_.empty())
            statementError_ = failure_;
        return false;
    }
    // Once a statement of a transaction has failed, the transaction will be
    // rolled back: the rest need not wait for a lock again to fail too.
    if (depth_ > 0 && transactionFailed_)
        return false;
    const bool ran = Run(statement, values);
    if (depth_ > 0)
        ++transactionStatements_;
    if (ran)
        return true;
    const std::string error = HidePasswords(connection_.LastError());
    return Refuse(lost_ ? kConnectionLostText + error : error);
}

std::string CConfigDatabase::TakeFailedStatementError() {
    return std::exchange(statementError_, {});
}

CResult CConfigDatabase::Outcome(bool done) {
    const std::string error = TakeFailedStatementError();
    if (!error.empty())
        return CResult::Fail("ошибка записи в базу данных: " + error);
    return done ? CResult::Ok() : CResult::Fail({});
}

bool CConfigDatabase::BeginTransaction() {
    if (depth_++ > 0)
        return true;
    transactionStatements_ = 0;
    // The connection is made again by the transaction's first statement.
    if (!IsAvailable() || lost_ || connection_.SetAutoCommit(false))
        return true;
    if (IsConnectionLostError(connection_.LastError()) || connection_.IsDead()) {
        lost_ = true;
        return true;
    }
    depth_ = 0;
    return false;
}

bool CConfigDatabase::EndTransaction(bool commit) {
    if (depth_ == 0 || --depth_ > 0)
        return true;
    if (!IsAvailable())
        return false;
    const bool failed = std::exchange(transactionFailed_, false);
    const bool ended = connection_.EndTransaction(commit && !failed) && !failed;
    // The commit itself failed: the operation says why, as for a statement.
    if (!ended && !failed && commit) {
        lost_ = lost_ || IsConnectionLostError(connection_.LastError()) || connection_.IsDead();
        const std::string error = HidePasswords(connection_.LastError());
        if (statementError_.empty())
            statementError_ = lost_ ? kConnectionLostText + error : error;
    }
    // Back to one transaction per statement even when the end failed: the
    // driver has rolled back what it could not commit.
    if (!ended)
        connection_.EndTransaction(false);
    // The marks of rolled-back changes are read again when next asked.
    if (!ended || !commit)
        pending_.Forget();
    return connection_.SetAutoCommit(true) && ended;
}

bool CConfigDatabase::Fetch() {
    return connection_.Fetch();
}

bool CConfigDatabase::Query(const std::string& statement,
                            std::vector<std::vector<std::string>>& rows) {
    return Query(statement, {}, rows);
}

bool CConfigDatabase::Query(const std::string& statement, std::span<const DbValue> values,
                            std::vector<std::vector<std::string>>& rows) {
    rows.clear();
    if (!Execute(statement, values))
        return false;
    const int count = ColumnCount();
    while (Fetch()) {
        std::vector<std::string>& row = rows.emplace_back();
        row.reserve(count);
        for (int index = 0; index < count; ++index)
            row.emplace_back(*connection_.ColumnView(index));
    }
    return true;
}

bool CConfigDatabase::QueryInts(const std::string& statement, std::vector<int>& numbers) {
    return QueryInts(statement, {}, numbers);
}

bool CConfigDatabase::QueryInts(const std::string& statement, std::span<const DbValue> values,
                                std::vector<int>& numbers) {
    numbers.clear();
    if (!Execute(statement, values))
        return false;
    while (Fetch())
        numbers.push_back(ColumnInt(0));
    return true;
}

bool CConfigDatabase::CheckSchema() {
    for (const TableDesc* table : SchemaTables()) {
        // Whether the table is there, without counting a fleet's millions
        // of rows at every start.
        if (Execute(std::string("SELECT COUNT(*) FROM (SELECT 1 FROM ") + table->name +
                    " LIMIT 1) AS probe")) {
            connection_.CloseCursor();
            continue;
        }
        // Only a table that is not there is created: a file that cannot be
        // read (damaged, cut short, its journal not writable) is not written to.
        if (!IsMissingTableError(LastError()))
            return false;
        if (Execute(table->CreateStatement())) {
            if (!Execute(table->IndexStatement()))
                return false;
            continue;
        }
        // Another program starting at the same moment made it first: found,
        // and that one makes its index.
        if (!Execute(std::string("SELECT COUNT(*) FROM ") + table->name)) {
            connection_.CloseCursor();
            return false;
        }
        connection_.CloseCursor();
        TakeFailedStatementError();
    }
    return true;
}

bool CConfigDatabase::IsMissingTableError(std::string_view error) {
    // The standard state, PostgreSQL's own, and SQLite's text (its driver
    // reports every error as HY000).
    for (std::string_view sign : {"State: 42S02", "State: 42P01", "no such table"})
        if (error.find(sign) != std::string_view::npos)
            return true;
    return false;
}

} // namespace tornu
