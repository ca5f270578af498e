#include "db/ConfigurationLoader.h"

#include "catalogue/ParsedTypeCache.h"
#include "db/ConfigDatabase.h"
#include "db/PgTableReader.h"
#include "db/ReadAheadReader.h"
#include "db/RowSource.h"
#include "db/TableReader.h"

#include <algorithm>
#include <iterator>

namespace tornu {

namespace {

// The SQLite file read directly, or the server through its own library.
std::unique_ptr<ITableReader> OwnConnectionReader(CConfigDatabase& db) {
    if (auto file = CSqliteTableReader::ForDatabase(db))
        return file;
    return CPgTableReader::ForDatabase(db);
}

bool LoadThrough(ITableReader& reader, CConfigDatabase& db, const ParamDescList& params,
                 std::vector<std::unique_ptr<CTerminal>>& terminals) {
    std::vector<std::unique_ptr<CTerminal>> loaded;
    CPreloadedRowSource source;
    if (!source.Read(reader) || !LoadConfiguration(source, db, params, loaded) || source.Failed())
        return false;
    std::move(loaded.begin(), loaded.end(), std::back_inserter(terminals));
    return true;
}

} // namespace

bool LoadConfiguration(CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals, TableAccess access) {
    if (!db.IsAvailable())
        return false;
    if (access == TableAccess::Fastest)
        if (std::unique_ptr<ITableReader> own = OwnConnectionReader(db)) {
            // The reader has a connection of its own: it reads ahead while
            // the records are made.
            CReadAheadReader ahead(std::move(own));
            if (LoadThrough(ahead, db, params, terminals))
                return true;
        }
    // The driver reads what the file reader could not, and says why when it
    // cannot either.
    COdbcTableReader driver(db);
    if (LoadThrough(driver, db, params, terminals))
        return true;
    // A table that cannot be read whole is a damaged database: showing part
    // of it as the configuration would pass the damage for the operator's
    // data.
    db.MarkUnavailable(db.LastError());
    return false;
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
