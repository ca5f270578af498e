#pragma once
// The document: the owner of the running program's parts, each with one job.
// The workspace holds the settings, the catalogue, the database and the
// terminals; the tree is what the views render, with the selection and the
// observers; the editor makes every change with its checks and messages; the
// exchange runs carry commands to the terminals. Views change the
// configuration only through the editor and the runs, and learn of changes
// through the tree's notifications (DocObserver.h).
#include "doc/ConfigEditor.h"
#include "doc/ConfigTree.h"
#include "doc/ExchangeRuns.h"
#include "doc/Operator.h"
#include "doc/Workspace.h"

#include <filesystem>

namespace tornu {

class CTornuCfgDoc {
public:
    explicit CTornuCfgDoc(IOperator& op, std::filesystem::path folder = {});
    ~CTornuCfgDoc();
    CTornuCfgDoc(const CTornuCfgDoc&) = delete;
    CTornuCfgDoc& operator=(const CTornuCfgDoc&) = delete;

    // The start: the program password when one is set, the catalogue, the
    // whole configuration, the tree. False when the operator cancels the
    // login or types a wrong password: the program ends. Later calls change
    // nothing.
    bool OnNewDocument();
    // Shows nothing, empties the tree and frees the configuration in memory;
    // the rows stay.
    void OnCloseDocument();
    // "Обновить": the configuration read again from the database, where
    // another program may have changed it, and the tree built anew. The item
    // selected before is selected again when its record is still there, and
    // returned (null: none). When the database cannot be read the operator
    // is told why and everything stays as it was; while an exchange runs
    // nothing is done.
    CTreeNode* Reload();

    CWorkspace& Workspace() { return workspace_; }
    const CWorkspace& Workspace() const { return workspace_; }
    CConfigTree& Tree() { return tree_; }
    const CConfigTree& Tree() const { return tree_; }
    CConfigEditor& Editor() { return editor_; }
    const CConfigEditor& Editor() const { return editor_; }
    CExchangeRuns& Exchanges() { return runs_; }
    const CExchangeRuns& Exchanges() const { return runs_; }

    // The item of terminal `id` (device address < 0) or of its device at
    // `address`; null when there is none.
    CTreeNode* FindNode(int id, int address = -1) const;

private:
    CWorkspace workspace_;
    // The tree's items refer to the workspace's records.
    CConfigTree tree_;
    // Cancelled and gone before the records they talk to.
    CExchangeRuns runs_;
    CConfigEditor editor_;
    bool started_ = false;
};

} // namespace tornu
