#include "doc/TornuCfgDoc.h"

#include "db/Device.h"

namespace tornu {

CTornuCfgDoc::CTornuCfgDoc(IOperator& op, std::filesystem::path folder)
    : workspace_(op, std::move(folder)), tree_(workspace_.Terminals()), runs_(workspace_, tree_),
      editor_(workspace_, tree_, runs_) {}

CTornuCfgDoc::~CTornuCfgDoc() = default;

bool CTornuCfgDoc::OnNewDocument() {
    if (started_)
        return true;
    if (!workspace_.Open())
        return false;
    started_ = true;
    tree_.Fill();
    return true;
}

void CTornuCfgDoc::OnCloseDocument() {
    tree_.ShowNothing();
    tree_.Clear();
    workspace_.Terminals().clear();
}

CTreeNode* CTornuCfgDoc::Reload() {
    CTreeNode* selected = tree_.Selected();
    if (!started_ || runs_.AnyRunning())
        return selected;
    CWorkspace::TerminalList loaded;
    if (!workspace_.ReadConfiguration(loaded))
        return selected;
    // The node is found again by its record's keys: the records are new.
    const int id = selected ? selected->Terminal().Id() : -1;
    const int address = selected && selected->Device() ? selected->Device()->Address() : -1;
    tree_.ShowNothing();
    tree_.Clear();
    // Another operator's marks come with his rows.
    workspace_.Database().Pending().Forget();
    workspace_.Terminals() = std::move(loaded);
    tree_.Fill();
    CTreeNode* again = id >= 0 ? FindNode(id, address) : nullptr;
    if (again)
        tree_.Select(again);
    return again;
}

CTreeNode* CTornuCfgDoc::FindNode(int id, int address) const {
    const CTerminal* terminal = workspace_.FindTerminal(id);
    if (!terminal)
        return nullptr;
    if (address < 0)
        return tree_.Find(*terminal);
    const CDevice* device = terminal->FindDevice(address);
    return device ? tree_.Find(*device) : nullptr;
}

} // namespace tornu
