#include "db/ConnectString.h"

#include "protocol/ConfigText.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace tornu {

namespace {

bool SameKey(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool Contains(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

bool IsPasswordKey(std::string_view key) {
    return SameKey(key, "PWD") || SameKey(key, "Password");
}

// The end of a braced value that starts at `at`: just past its closing "}",
// or the end of the string when it is not closed.
std::size_t BracedEnd(std::string_view connect, std::size_t at) {
    for (std::size_t i = at + 1; i < connect.size(); ++i) {
        if (connect[i] != '}')
            continue;
        if (i + 1 < connect.size() && connect[i + 1] == '}') {
            ++i;
            continue;
        }
        return i + 1;
    }
    return connect.size();
}

// The value without its braces, "}}" read as "}".
std::string Unbraced(std::string_view value) {
    const std::string_view trimmed = TrimmedText(value);
    if (trimmed.empty() || trimmed.front() != '{')
        return std::string(trimmed);
    std::string_view inner = trimmed.substr(1);
    if (!inner.empty() && inner.back() == '}')
        inner.remove_suffix(1);
    std::string text;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        text += inner[i];
        if (inner[i] == '}' && i + 1 < inner.size() && inner[i + 1] == '}')
            ++i;
    }
    return text;
}

} // namespace

std::vector<ConnectPair> SplitConnectString(std::string_view connect) {
    std::vector<ConnectPair> pairs;
    std::size_t at = 0;
    while (at < connect.size()) {
        const std::size_t semicolon = std::min(connect.find(';', at), connect.size());
        const std::size_t equals = connect.find('=', at);
        if (equals == std::string_view::npos || equals > semicolon) {
            at = semicolon + 1;
            continue;
        }
        std::size_t valueAt = equals + 1;
        while (valueAt < connect.size() && (connect[valueAt] == ' ' || connect[valueAt] == '\t'))
            ++valueAt;
        std::size_t end = std::min(connect.find(';', equals + 1), connect.size());
        if (valueAt < connect.size() && connect[valueAt] == '{') {
            const std::size_t closed = BracedEnd(connect, valueAt);
            end = std::min(connect.find(';', closed), connect.size());
        }
        pairs.push_back({TrimmedText(connect.substr(at, equals - at)),
                         connect.substr(equals + 1, end - equals - 1), equals + 1});
        at = end + 1;
    }
    return pairs;
}

std::optional<std::string> ConnectValue(std::string_view connect, std::string_view key) {
    for (const ConnectPair& pair : SplitConnectString(connect))
        if (SameKey(pair.key, key))
            return Unbraced(pair.value);
    return std::nullopt;
}

std::string MaskConnectPasswords(std::string_view connect) {
    std::string masked;
    std::size_t copied = 0;
    for (const ConnectPair& pair : SplitConnectString(connect)) {
        if (!IsPasswordKey(pair.key))
            continue;
        masked.append(connect.substr(copied, pair.valueAt - copied)).append("***");
        copied = pair.valueAt + pair.value.size();
    }
    masked.append(connect.substr(copied));
    return masked;
}

std::vector<std::string> ConnectPasswords(std::string_view connect) {
    std::vector<std::string> passwords;
    for (const ConnectPair& pair : SplitConnectString(connect))
        if (IsPasswordKey(pair.key))
            if (std::string value = Unbraced(pair.value); !value.empty())
                passwords.push_back(std::move(value));
    return passwords;
}

std::string WithDriverLogsOff(std::string_view connect) {
    const std::optional<std::string> driver = ConnectValue(connect, "Driver");
    if (driver && !Contains(*driver, "postgres") && !Contains(*driver, "psql"))
        return std::string(connect);
    bool commLog = false;
    bool debug = false;
    for (const ConnectPair& pair : SplitConnectString(connect)) {
        commLog = commLog || SameKey(pair.key, "CommLog") || SameKey(pair.key, "B3");
        debug = debug || SameKey(pair.key, "Debug") || SameKey(pair.key, "B2");
    }
    std::string result(connect);
    const auto add = [&result](const char* pair) {
        if (!result.empty() && result.back() != ';')
            result += ';';
        result += pair;
    };
    if (!commLog)
        add("CommLog=0");
    if (!debug)
        add("Debug=0");
    return result;
}

std::string SqliteDatabaseFile(std::string_view connect) {
    const std::optional<std::string> driver = ConnectValue(connect, "Driver");
    if (!driver || !Contains(*driver, "sqlite"))
        return {};
    return ConnectValue(connect, "Database").value_or(std::string());
}

std::optional<ServerParams> PostgresParams(std::string_view connect) {
    static const std::pair<const char*, const char*> kParams[] = {
        {"Server", "host"},       {"Servername", "host"}, {"Port", "port"},
        {"Database", "dbname"},   {"UID", "user"},        {"Username", "user"},
        {"PWD", "password"},      {"Password", "password"}, {"SSLmode", "sslmode"}};
    static const char* const kLogs[] = {"CommLog", "B3", "Debug", "B2"};
    const std::optional<std::string> driver = ConnectValue(connect, "Driver");
    if (!driver || (!Contains(*driver, "postgres") && !Contains(*driver, "psql")))
        return std::nullopt;
    ServerParams server;
    for (const ConnectPair& pair : SplitConnectString(connect)) {
        const auto param = std::find_if(std::begin(kParams), std::end(kParams),
                                        [&](const auto& p) { return SameKey(pair.key, p.first); });
        if (param != std::end(kParams)) {
            // The driver takes the first of a key given twice.
            const std::string name = param->second;
            if (std::none_of(server.params.begin(), server.params.end(),
                             [&](const auto& p) { return p.first == name; }))
                server.params.emplace_back(name, Unbraced(pair.value));
        } else if (SameKey(pair.key, "ConnSettings")) {
            if (server.settings.empty())
                server.settings = Unbraced(pair.value);
        } else if (!SameKey(pair.key, "Driver") &&
                   std::none_of(std::begin(kLogs), std::end(kLogs),
                                [&](const char* log) { return SameKey(pair.key, log); })) {
            return std::nullopt;
        }
    }
    return server;
}

} // namespace tornu
