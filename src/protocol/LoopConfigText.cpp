#include "protocol/LoopConfigText.h"

#include "protocol/ConfigText.h"
#include "settings/Encoding.h"

#include <algorithm>

namespace tornu {

namespace {

bool IsLatinLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::vector<std::string> SplitLoopConfiguration(std::string_view text) {
    std::string lines;
    lines.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ',') {
            lines += text[i];
        } else if (i + 1 == text.size()) {
            // The last entry's "," ends the text.
        } else if (IsLatinLetter(text[i + 1])) {
            lines += "\r\n";
        } else {
            lines += ',';
        }
    }
    return SplitLines(lines);
}

bool ParseLoopEntry(std::string_view line, LoopEntry& entry) {
    std::string name, value;
    if (!GetField(line, '=', 0, false, name) || !GetField(line, '=', 1, false, value) ||
        Utf8Length(name) < 2 || Utf8Length(value) < 3)
        return false;
    std::size_t digits = 0;
    while (digits < name.size() && IsLatinLetter(name[digits]))
        ++digits;
    const std::size_t open = value.find('(');
    if (open == std::string::npos)
        return false;
    const std::size_t close = value.find(')', open + 1);
    if (close == std::string::npos)
        return false;
    const int count = ReadLenientInteger(std::string_view(value).substr(0, open));
    const std::vector<std::string> items = SplitList(value.substr(open + 1, close - open - 1));
    if (count < 0 || items.size() != static_cast<std::size_t>(count))
        return false;
    entry.device = ReadLenientInteger(std::string_view(name).substr(digits));
    entry.types.clear();
    for (const std::string& item : items)
        entry.types.push_back(ReadLenientInteger(item));
    return true;
}

bool ReadLoopEntries(std::string_view text, std::vector<LoopEntry>& entries) {
    entries.clear();
    for (const std::string& line : SplitLoopConfiguration(text)) {
        LoopEntry entry;
        if (!ParseLoopEntry(line, entry))
            return false;
        entries.push_back(std::move(entry));
    }
    return true;
}

std::string LoopEntryPrefix(bool topLevel, std::string_view typeCode) {
    if (topLevel)
        return "M";
    return typeCode.empty() ? "S" : std::string(typeCode);
}

std::string LoopConfigurationText(std::span<const LoopLayoutEntry> layout) {
    std::string text;
    for (const LoopLayoutEntry& device : layout) {
        if (!device.listed)
            continue;
        text += device.prefix + std::to_string(device.loops.device) + "=" +
                std::to_string(device.loops.types.size()) + "(";
        for (const int type : device.loops.types)
            text += std::to_string(type) + ",";
        text += "),";
    }
    return text;
}

bool ApplyLoopEntries(std::span<LoopLayoutEntry> layout, std::span<const LoopEntry> entries) {
    for (const LoopEntry& entry : entries) {
        auto device = std::find_if(layout.begin(), layout.end(), [&](const LoopLayoutEntry& d) {
            return d.loops.device == entry.device;
        });
        if (device == layout.end())
            return false;
        std::vector<int>& types = device->loops.types;
        const std::size_t count = std::min(types.size(), entry.types.size());
        std::copy_n(entry.types.begin(), count, types.begin());
    }
    return true;
}

} // namespace tornu
