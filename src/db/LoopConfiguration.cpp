#include "db/LoopConfiguration.h"

#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/Terminal.h"

#include <algorithm>

namespace tornu {
namespace {

LoopLayoutEntry LayoutOf(const CDevice& device, bool listed) {
    LoopLayoutEntry entry{LoopEntryPrefix(device.IsTopLevel(), device.Type().TypeCode()),
                          {device.Address(), {}},
                          listed};
    entry.loops.types.reserve(device.Loops().size());
    for (const CSensor* loop : device.Loops())
        entry.loops.types.push_back(loop->Type());
    return entry;
}

} // namespace

std::vector<LoopLayoutEntry> CTerminal::LoopLayout() const {
    std::vector<LoopLayoutEntry> layout;
    std::vector<const CDevice*> listed;
    for (const auto& device : devices_) {
        if (!device->IsTopLevel())
            continue;
        layout.push_back(LayoutOf(*device, true));
        listed.push_back(device.get());
        for (const CDevice* slave : device->Slaves()) {
            layout.push_back(LayoutOf(*slave, true));
            listed.push_back(slave);
        }
    }
    for (const auto& device : devices_)
        if (std::find(listed.begin(), listed.end(), device.get()) == listed.end())
            layout.push_back(LayoutOf(*device, false));
    return layout;
}

bool CTerminal::BuildLoopConfiguration(std::string& text) const {
    text = LoopConfigurationText(LoopLayout());
    return true;
}

bool CTerminal::SetLoopConfiguration(std::string text) {
    std::vector<LoopEntry> entries;
    ReadLoopEntries(text, entries);
    return StoreLoopConfiguration(std::move(text), entries);
}

bool CTerminal::StoreLoopConfiguration(std::string text, std::span<const LoopEntry> entries) {
    ReadDependants();
    CDbTransaction transaction(Database());
    readConfiguration_ = std::move(text);
    ApplyLoopEntries(entries);
    return Update(Columns({"term_config"}));
}

bool CTerminal::ApplyLoopConfiguration(std::string_view text) {
    std::vector<LoopEntry> entries;
    const bool whole = ReadLoopEntries(text, entries);
    return ApplyLoopEntries(entries) && whole;
}

bool CTerminal::ApplyLoopEntries(std::span<const LoopEntry> entries) {
    for (const LoopEntry& entry : entries) {
        CDevice* device = FindDevice(entry.device);
        if (!device)
            return false;
        const std::vector<CSensor*>& loops = device->Loops();
        const std::size_t count = std::min(loops.size(), entry.types.size());
        for (std::size_t i = 0; i < count; ++i)
            loops[i]->SetType(entry.types[i]);
    }
    return true;
}

} // namespace tornu
