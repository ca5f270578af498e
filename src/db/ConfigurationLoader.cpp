#include "db/ConfigurationLoader.h"

#include "db/ConfigDatabase.h"
#include "db/RowSource.h"

#include <algorithm>

namespace tornu {

bool LoadConfiguration(CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals) {
    CPreloadedRowSource preloaded(db);
    if (preloaded.IsComplete())
        return LoadConfiguration(preloaded, db, params, terminals);
    // A table could not be read whole: ask row by row, as far as it goes.
    CStatementRowSource statements(db);
    return LoadConfiguration(statements, db, params, terminals);
}

bool LoadConfiguration(IRowSource& source, CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals) {
    std::vector<int> ids;
    if (!source.TerminalIds(ids))
        return false;
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (int id : ids) {
        if (id < 0)
            continue;
        auto terminal = std::make_unique<CTerminal>(&db, &params, id);
        if (terminal->Load(source))
            terminals.push_back(std::move(terminal));
    }
    return true;
}

} // namespace tornu
