#include "db/LoopConfiguration.h"

#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>

namespace tornu {

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
    CDbTransaction transaction(Database());
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
