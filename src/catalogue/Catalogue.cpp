#include "catalogue/Catalogue.h"

#include "settings/IniFile.h"

#include <utility>

namespace tornu {

std::string DescribeDroppedEntry(const DroppedEntry& entry) {
    return "[" + entry.section + "] " + entry.key + ": " + entry.reason;
}

template <class T, class Read>
void CCatalogue::LoadSection(CIniFile& file, const char* section, List<T>& list, Read read) {
    list.clear();
    const int count = file.CountEntries(section);
    for (int i = 0; i < count; ++i) {
        std::string key;
        std::string value;
        if (!file.GetEntry(section, i, key, value))
            continue;
        auto item = std::make_unique<T>();
        std::string reason;
        if (read(*item, key, value, reason))
            list.push_back(std::move(item));
        else
            report_.push_back({section, std::move(key),
                               reason.empty() ? "описание не принято" : std::move(reason)});
    }
}

void CCatalogue::LoadPhoneBookLayouts(CIniFile& file) {
    layouts_.clear();
    const int count = file.CountEntries(kPhoneBookSection);
    for (int i = 0; i < count; ++i) {
        std::string key;
        std::string value;
        if (!file.GetEntry(kPhoneBookSection, i, key, value))
            continue;
        // Looked up again by key, so a layout always shows the value the
        // settings file gives for its name.
        file.GetValue(kPhoneBookSection, key, value);
        auto layout = std::make_unique<CPhoneBookLayout>();
        layout->Read(key, value);
        layouts_.push_back(std::move(layout));
    }
}

void CCatalogue::LoadTypes(CIniFile& file) {
    report_.clear();
    LoadSection(file, kHostTypeSection, hostTypes_,
                [](CHostDeviceType& type, const std::string&, const std::string& value,
                   std::string& reason) { return type.Read(value, &reason); });
    LoadSection(file, kBusTypeSection, busTypes_,
                [](CBusDeviceType& type, const std::string&, const std::string& value,
                   std::string& reason) { return type.Read(value, &reason); });
    LoadSection(file, kParamSection, params_,
                [](CParamDesc& param, const std::string&, const std::string& value,
                   std::string& reason) { return param.Read(value, &reason); });
    LoadSection(file, kCommandSection, commands_,
                [](CCommandDesc& command, const std::string& key, const std::string& value,
                   std::string& reason) { return command.Read(key, value, &reason); });
}

const CParamDesc* CCatalogue::FindParam(std::string_view name) const {
    for (const auto& param : params_) {
        if (param->Name() == name)
            return param.get();
    }
    return nullptr;
}

const CPhoneBookLayout* CCatalogue::FindPhoneBookLayout(std::string_view layoutName) const {
    if (layoutName.empty())
        layoutName = CPhoneBookLayout::kDefaultName;
    for (const auto& layout : layouts_) {
        if (layout->Name() == layoutName)
            return layout.get();
    }
    return nullptr;
}

} // namespace tornu
