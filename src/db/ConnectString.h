#pragma once
// Reading an ODBC connection string: "key=value" pairs separated by ";",
// where a value in braces may hold ";" and "=" ("PWD={Ab;Cd3f}") and a
// doubled "}}" inside the braces stands for one "}".
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tornu {

struct ConnectPair {
    std::string_view key;    // trimmed
    std::string_view value;  // as written, braces included
    std::size_t valueAt = 0; // offset of the value in the string
};

// The pairs in order; a text without "=" before the next ";" is skipped, and
// an unclosed brace runs to the end of the string.
std::vector<ConnectPair> SplitConnectString(std::string_view connect);

// The value of the first pair whose key equals `key` in any case, braces
// removed; nothing when there is none.
std::optional<std::string> ConnectValue(std::string_view connect, std::string_view key);

// The string with the whole value of every password key ("PWD", "Password",
// any case) shown as "***", braced values included.
std::string MaskConnectPasswords(std::string_view connect);

// The password values of the string, braces removed, for hiding them in
// texts that quote them (a driver's error).
std::vector<std::string> ConnectPasswords(std::string_view connect);

// The PostgreSQL driver keeps a communication log and a debug log in /tmp
// when its registration says so, one file per connection. Unless the string
// asks for one ("CommLog"/"B3", "Debug"/"B2"), both are turned off here. A
// string naming another driver is left as it is; a data source name may
// stand for that driver, and other drivers ignore keys they do not know.
std::string WithDriverLogsOff(std::string_view connect);

// The file a string for the SQLite driver names ("Database"); empty for any
// other driver and for a data source name.
std::string SqliteDatabaseFile(std::string_view connect);

// How PostgreSQL's own client library reaches the server a string for the
// PostgreSQL driver names: its parameters ("host", "port", "dbname", "user",
// "password", "sslmode") and what the driver runs after connecting
// ("ConnSettings"). Nothing for another driver, a data source name, or a
// string with a key the library would not follow as the driver does.
struct ServerParams {
    std::vector<std::pair<std::string, std::string>> params;
    std::string settings;
};
std::optional<ServerParams> PostgresParams(std::string_view connect);

} // namespace tornu
