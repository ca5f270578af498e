#pragma once
// The texts of a fleet job: the terminal list an operator types, the job's
// settings as they are stored, and the report exported to CSV.
#include "batch/BatchQueue.h"
#include "batch/BatchStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CCommandDesc;

// "12,15-20" in the order written, each number once; nothing, with why, on
// a malformed or reversed entry.
std::optional<std::vector<int>> ParseTerminalList(std::string_view text, std::string& error);
// The same from a file: numbers and ranges separated by commas, blanks or
// lines; ";" or "#" starts a comment to the end of its line.
std::optional<std::vector<int>> ReadTerminalFile(const std::string& path, std::string& error);

// "ATTEMPTS=3;DELAY=60;" (the delay in seconds) and back; what is missing
// keeps its default.
std::string BatchSettingsText(const BatchSettings& settings);
BatchSettings ReadBatchSettings(std::string_view text);

// The files of a job's commands, kept in its settings text so that a run
// on any machine uses the same ones: "FILEIN.<key>=<path>;" and
// "FILEOUT.<key>=<path>;". A path holding ";" cannot be kept (nothing is
// returned); an empty path is none.
std::optional<std::string> BatchFileText(const std::string& key, int flag, const std::string& path);
std::string BatchFileOf(std::string_view settings, const std::string& key, int flag);
// The files of `commands` as a job keeps them, each command's own names (as
// chosen or remembered); `problem` says why they cannot go: an input file
// not named ("Не задан входной файл команды <key>"), a path holding ";".
std::string BatchCommandFiles(const std::vector<const CCommandDesc*>& commands, std::string& problem);

// The device types a job's device commands are kept to ("TYPES=a|b;" in its
// settings); none: every device that offers them. A name holding "|" or ";"
// cannot be kept (nothing is returned).
std::optional<std::string> BatchTypesText(const std::vector<std::string>& types);
std::vector<std::string> BatchTypesOf(std::string_view settings);

// Where one node's reply file goes: every terminal (and device) of a job
// writes its own, the number before the extension ("events.txt" becomes
// "events_0012.txt", or "events_0012_03.txt" for device 3).
std::string BatchOutputFile(const std::string& path, int terminal, int device);

// A command's line in a terminal's results: node ("12" or "12/1"), command
// key, outcome state, result text.
struct BatchResultLine {
    std::string node;
    std::string command;
    int state = 0;
    std::string text;
};
std::string FormatResults(const std::vector<BatchResultLine>& lines);
std::vector<BatchResultLine> ParseResults(std::string_view text);

// The report: a header and one row per terminal and command with its result
// text (a terminal that never got to its commands has one row with its
// state and cause), UTF-8, comma-separated, fields quoted where needed.
std::string BatchReportCsv(const std::vector<BatchTerminal>& terminals);

} // namespace tornu
