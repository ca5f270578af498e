#include "batch/BatchText.h"

#include "catalogue/CommandDesc.h"
#include "protocol/CommandResult.h"
#include "protocol/CommandSnapshot.h"
#include "protocol/ConfigText.h"
#include "settings/CsvField.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tornu {

namespace {

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < 0)
        return std::nullopt;
    return value;
}

std::string ResultText(const BatchResultLine& line) {
    if (line.state == kCommandDone)
        return "Успешно выполнена";
    if (line.state == kCommandNotCompleted)
        return "Не завершена";
    return line.text;
}

} // namespace

std::optional<std::vector<int>> ParseTerminalList(std::string_view text, std::string& error) {
    std::vector<int> numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos)
            comma = text.size();
        std::string_view item = text.substr(start, comma - start);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        start = comma + 1;
        const std::size_t dash = item.find('-');
        const std::optional<int> first = Number(item.substr(0, dash));
        const std::optional<int> last =
            dash == std::string_view::npos ? first : Number(item.substr(dash + 1));
        if (!first || !last || *last < *first || *last - *first > 100000) {
            error = "Неверный номер или диапазон \"" + std::string(item) + "\"";
            return std::nullopt;
        }
        for (int n = *first; n <= *last; ++n)
            if (std::find(numbers.begin(), numbers.end(), n) == numbers.end())
                numbers.push_back(n);
    }
    return numbers;
}

std::optional<std::vector<int>> ReadTerminalFile(const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "Невозможно прочитать файл " + path;
        return std::nullopt;
    }
    std::string list, line;
    while (std::getline(file, line)) {
        line = line.substr(0, std::min(line.find(';'), line.find('#')));
        for (char& c : line)
            if (c == ' ' || c == '\t' || c == '\r')
                c = ',';
        for (std::size_t at = 0; at < line.size(); ++at)
            if (line[at] != ',' || (!list.empty() && list.back() != ','))
                list += line[at];
        if (!list.empty() && list.back() != ',')
            list += ',';
    }
    while (!list.empty() && list.back() == ',')
        list.pop_back();
    if (list.empty()) {
        error = "В файле " + path + " нет номеров";
        return std::nullopt;
    }
    return ParseTerminalList(list, error);
}

std::string BatchSettingsText(const BatchSettings& settings) {
    return "ATTEMPTS=" + std::to_string(settings.attempts) +
           ";DELAY=" + std::to_string(settings.retryDelayMs / 1000) + ";";
}

BatchSettings ReadBatchSettings(std::string_view text) {
    BatchSettings settings;
    std::string value;
    if (GetConfigValue(text, "ATTEMPTS", value))
        if (const std::optional<int> n = Number(value); n && *n > 0)
            settings.attempts = *n;
    if (GetConfigValue(text, "DELAY", value))
        if (const std::optional<int> n = Number(value))
            settings.retryDelayMs = *n * 1000;
    return settings;
}

namespace {

std::string FileKey(const std::string& key, int flag) {
    return (flag == kCommandFileIn ? "FILEIN." : "FILEOUT.") + key;
}

} // namespace

std::optional<std::string> BatchFileText(const std::string& key, int flag, const std::string& path) {
    if (path.find(';') != std::string::npos)
        return std::nullopt;
    return path.empty() ? std::string() : FileKey(key, flag) + "=" + path + ";";
}

std::string BatchFileOf(std::string_view settings, const std::string& key, int flag) {
    std::string path;
    GetConfigValue(settings, FileKey(key, flag), path);
    return path;
}

std::string BatchCommandFiles(const std::vector<const CCommandDesc*>& commands, std::string& problem) {
    std::string files;
    for (const CCommandDesc* command : commands)
        for (const int flag : {kCommandFileIn, kCommandFileOut}) {
            if (!command->HasFile(flag))
                continue;
            const std::string& path = command->FileName(flag);
            const std::optional<std::string> kept = BatchFileText(command->Name(), flag, path);
            if (problem.empty() && path.empty() && flag == kCommandFileIn)
                problem = "Не задан входной файл команды " + command->Name();
            if (problem.empty() && !kept)
                problem = "Путь файла не может содержать \";\": " + path;
            files += kept.value_or("");
        }
    return files;
}

std::optional<std::string> BatchTypesText(const std::vector<std::string>& types) {
    std::string text;
    for (const std::string& type : types) {
        if (type.find_first_of("|;") != std::string::npos)
            return std::nullopt;
        text += (text.empty() ? "TYPES=" : "|") + type;
    }
    return text.empty() ? text : text + ";";
}

std::vector<std::string> BatchTypesOf(std::string_view settings) {
    std::string text;
    std::vector<std::string> types;
    if (GetConfigValue(settings, "TYPES", text))
        for (std::size_t from = 0; from <= text.size();) {
            const std::size_t bar = std::min(text.find('|', from), text.size());
            if (bar > from)
                types.push_back(text.substr(from, bar - from));
            from = bar + 1;
        }
    return types;
}

std::string BatchOutputFile(const std::string& path, int terminal, int device) {
    char number[32];
    if (device < 0)
        std::snprintf(number, sizeof number, "_%04d", terminal);
    else
        std::snprintf(number, sizeof number, "_%04d_%02d", terminal, device);
    const std::filesystem::path file(path);
    return (file.parent_path() / (file.stem().string() + number + file.extension().string())).string();
}

std::string FormatResults(const std::vector<BatchResultLine>& lines) {
    std::string text;
    for (const BatchResultLine& line : lines) {
        std::string result = line.text;
        std::replace(result.begin(), result.end(), '\t', ' ');
        std::replace(result.begin(), result.end(), '\n', ' ');
        text += line.node + '\t' + line.command + '\t' + std::to_string(line.state) + '\t' + result +
                '\n';
    }
    return text;
}

std::vector<BatchResultLine> ParseResults(std::string_view text) {
    std::vector<BatchResultLine> lines;
    std::istringstream in{std::string(text)};
    for (std::string row; std::getline(in, row);) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (int i = 0; i < 3; ++i) {
            const std::size_t tab = row.find('\t', start);
            if (tab == std::string::npos)
                break;
            fields.push_back(row.substr(start, tab - start));
            start = tab + 1;
        }
        if (fields.size() < 3)
            continue;
        lines.push_back({fields[0], fields[1], Number(fields[2]).value_or(0), row.substr(start)});
    }
    return lines;
}

std::string BatchReportCsv(const std::vector<BatchTerminal>& terminals) {
    std::string csv = "Базовый модуль,Состояние,Попыток,Узел,Команда,Результат\r\n";
    for (const BatchTerminal& row : terminals) {
        const std::string head = std::to_string(row.terminal) + "," +
                                 CsvField(BatchStateCaption(row.state)) + "," +
                                 std::to_string(row.attempts) + ",";
        const std::vector<BatchResultLine> results = ParseResults(row.results);
        // A terminal that failed before its commands (or whose call failed
        // after them) tells its cause in a row of its own.
        if (results.empty() || (row.state != kBatchDone && !row.cause.empty()))
            csv += head + ",," + CsvField(row.cause) + "\r\n";
        for (const BatchResultLine& line : results)
            csv += head + CsvField(line.node) + "," + CsvField(line.command) + "," +
                   CsvField(ResultText(line)) + "\r\n";
    }
    return csv;
}

} // namespace tornu
