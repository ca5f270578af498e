#include "catalogue/CommandOffer.h"

#include "catalogue/Catalogue.h"
#include "settings/IniFile.h"

namespace tornu {
namespace {

constexpr int kFileFlags[] = {kCommandFileIn, kCommandFileOut};

} // namespace

CommandNode DeviceCommandNode(std::int32_t masterId) {
    return masterId == -1 ? CommandNode::TopLevelDevice : CommandNode::SubordinateDevice;
}

bool IsCommandOffered(const CCommandDesc& command, CommandNode node) {
    switch (command.Kind()) {
    case CommandKind::Terminal:
        return node == CommandNode::Terminal;
    case CommandKind::Device:
        return node != CommandNode::Terminal;
    case CommandKind::TopLevel:
        return node == CommandNode::TopLevelDevice;
    case CommandKind::Subordinate:
        return node == CommandNode::SubordinateDevice;
    case CommandKind::None:
        break;
    }
    return false;
}

std::string CommandFileKey(const CCommandDesc& command, int flag) {
    return command.Name() + (flag == kCommandFileIn ? "_FileIn" : "_FileOut");
}

std::vector<CCommandDesc*> PrepareCommandOffer(CCatalogue& catalogue, CIniFile& settings,
                                               CommandNode node) {
    std::vector<CCommandDesc*> offered;
    for (const auto& command : catalogue.Commands()) {
        command->SetResult(kCommandNotCompleted);
        for (const int flag : kFileFlags) {
            std::string fileName;
            if (command->HasFile(flag) &&
                settings.GetValue(kCommandFilesSection, CommandFileKey(*command, flag), fileName))
                command->SetFileName(flag, fileName);
        }
        if (IsCommandOffered(*command, node))
            offered.push_back(command.get());
    }
    return offered;
}

bool RememberCommandFiles(const std::vector<CCommandDesc*>& offered, CIniFile& settings) {
    bool stored = true;
    for (const CCommandDesc* command : offered) {
        for (const int flag : kFileFlags) {
            if (command->HasFile(flag) &&
                !settings.SetValue(kCommandFilesSection, CommandFileKey(*command, flag),
                                   command->FileName(flag)))
                stored = false;
        }
    }
    return settings.Save() && stored;
}

} // namespace tornu
