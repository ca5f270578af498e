#include "db/ConfigurationLoader.h"

#include "catalogue/ParsedTypeCache.h"
#include "db/ConfigDatabase.h"
#include "db/RowSource.h"

#include <algorithm>

namespace tornu {

bool LoadConfiguration(CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals) {
    if (!db.IsAvailable())
        return false;
    CPreloadedRowSource preloaded(db);
    if (!preloaded.IsComplete()) {
        // A table that cannot be read whole is a damaged database: showing
        // part of it as the configuration, and writing the rows the load
        // adds, would pass the damage for the operator's data.
        db.MarkUnavailable(db.LastError());
        return false;
    }
    return LoadConfiguration(preloaded, db, params, terminals);
}

bool LoadConfiguration(IRowSource& source, CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals) {
    // Thousands of devices hold the same few type texts: each is parsed once.
    CParsedTypeCache types;
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
