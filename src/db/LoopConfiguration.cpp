#include "db/LoopConfiguration.h"

#include "catalogue/DescriptionText.h"
#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "protocol/ConfigText.h"
#include "settings/Encoding.h"

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

bool CDevice::BuildLoopEntry(std::string& entry) const {
    std::string prefix = "M";
    if (!IsTopLevel())
        prefix = type_.TypeCode().empty() ? "S" : type_.TypeCode();
    entry = CConfigDatabase::Format("%s%d=%d(", prefix.c_str(), address_,
                                    static_cast<int>(loops_.size()));
    for (const CSensor* loop : loops_)
        entry += std::to_string(loop->Type()) + ",";
    entry += ")";
    return true;
}

bool CTerminal::BuildLoopConfiguration(std::string& text) const {
    text.clear();
    std::string entry;
    for (const auto& device : devices_) {
        if (!device->IsTopLevel())
            continue;
        device->BuildLoopEntry(entry);
        text += entry + ",";
        for (const CDevice* slave : device->Slaves()) {
            slave->BuildLoopEntry(entry);
            text += entry + ",";
        }
    }
    return true;
}

bool CTerminal::SetLoopConfiguration(std::string text) {
    readConfiguration_ = std::move(text);
    ApplyLoopConfiguration(readConfiguration_);
    return Update();
}

bool CTerminal::ApplyLoopConfiguration(std::string_view text) {
    for (const std::string& line : SplitLoopConfiguration(text))
        if (!ApplyLoopEntry(line))
            return false;
    return true;
}

bool CTerminal::ApplyLoopEntry(const std::string& line) {
    LoopEntry entry;
    if (!ParseLoopEntry(line, entry))
        return false;
    CDevice* device = FindDevice(entry.device);
    if (!device)
        return false;
    const std::vector<CSensor*>& loops = device->Loops();
    const std::size_t count = std::min(loops.size(), entry.types.size());
    for (std::size_t i = 0; i < count; ++i)
        loops[i]->SetType(entry.types[i]);
    return true;
}

} // namespace tornu
