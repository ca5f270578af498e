#include "db/ConfigurationLoader.h"

#include "catalogue/ParsedTypeCache.h"
#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"
#include "db/RowSource.h"
#include "db/TableReader.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_map>

namespace tornu {

namespace {

// The parameters, phones and keys of every loaded device, filled from one
// pass over each of their tables. As a select by key finds the first row of
// that key, the first row fills a record and later ones are passed over.
class CDependantFiller {
public:
    explicit CDependantFiller(const std::vector<std::unique_ptr<CTerminal>>& terminals) {
        std::size_t next = 0;
        for (const auto& terminal : terminals)
            for (const auto& device : terminal->Devices()) {
                index_.emplace(Pair(terminal->Id(), device->Address()), entries_.size());
                entries_.push_back({device.get(), next});
                next += device->Params().size() + device->Phones().size() + device->Keys().size();
            }
        filled_.assign(next, false);
    }

    bool Fill(ITableReader& reader) {
        return Fill(reader, "device_param", &CDependantFiller::FillParam) &&
               Fill(reader, "device_phone", &CDependantFiller::FillPhone) &&
               Fill(reader, "device_key", &CDependantFiller::FillKey);
    }

    // A record whose row is missing gets one, so that its later changes have
    // a row to update.
    void InsertMissing() const {
        for (const Entry& entry : entries_) {
            std::size_t at = entry.first;
            for (CDeviceParam* param : entry.device->Params())
                if (!filled_[at++])
                    param->Insert();
            for (CDevicePhone* phone : entry.device->Phones())
                if (!filled_[at++])
                    phone->Insert();
            for (CDeviceKey* key : entry.device->Keys())
                if (!filled_[at++])
                    key->Insert();
        }
    }

private:
    struct Entry {
        CDevice* device;
        std::size_t first; // of its flags in filled_
    };
    using Filler = void (CDependantFiller::*)(const Entry&, DbRow);

    static std::uint64_t Pair(int first, int second) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32 |
               static_cast<std::uint32_t>(second);
    }

    bool Fill(ITableReader& reader, const char* table, Filler filler) {
        if (!reader.Open(table))
            return false;
        DbRow row;
        int terminal = 0, device = 0;
        while (reader.Next(row)) {
            if (row.size() <= 2 || !ReadKeyColumn(row, 0, terminal) || !ReadKeyColumn(row, 1, device))
                continue;
            if (auto found = index_.find(Pair(terminal, device)); found != index_.end())
                (this->*filler)(entries_[found->second], row);
        }
        return !reader.Failed();
    }

    void FillParam(const Entry& entry, DbRow row) {
        const auto& params = entry.device->Params();
        for (std::size_t i = 0; i < params.size(); ++i)
            if (!filled_[entry.first + i] && params[i]->Name() == row[2]) {
                params[i]->ReadRow(row);
                filled_[entry.first + i] = true;
                return;
            }
    }

    // Phones and keys are made numbered 0, 1, ... in order.
    template <class List> void FillNumbered(std::size_t first, const List& list, DbRow row) {
        int number = 0;
        if (!ReadKeyColumn(row, 2, number) || number < 0 ||
            static_cast<std::size_t>(number) >= list.size() || filled_[first + number])
            return;
        list[static_cast<std::size_t>(number)]->ReadRow(row);
        filled_[first + number] = true;
    }
    void FillPhone(const Entry& entry, DbRow row) {
        FillNumbered(entry.first + entry.device->Params().size(), entry.device->Phones(), row);
    }
    void FillKey(const Entry& entry, DbRow row) {
        FillNumbered(entry.first + entry.device->Params().size() + entry.device->Phones().size(),
                     entry.device->Keys(), row);
    }

    std::vector<Entry> entries_;
    std::unordered_map<std::uint64_t, std::size_t> index_;
    std::vector<bool> filled_;
};

bool LoadThrough(ITableReader& reader, CConfigDatabase& db, const ParamDescList& params,
                 std::vector<std::unique_ptr<CTerminal>>& terminals) {
    std::vector<std::unique_ptr<CTerminal>> loaded;
    {
        CPreloadedRowSource source;
        if (!source.Read(reader) || !LoadConfiguration(source, db, params, loaded) ||
            !source.FillLoops(reader, loaded))
            return false;
    }
    CDependantFiller filler(loaded);
    if (!filler.Fill(reader))
        return false;
    {
        // A catalogue that grew can leave thousands of rows to add: one
        // transaction, not one commit each.
        CDbTransaction transaction(&db);
        filler.InsertMissing();
    }
    std::move(loaded.begin(), loaded.end(), std::back_inserter(terminals));
    return true;
}

} // namespace

bool LoadConfiguration(CConfigDatabase& db, const ParamDescList& params,
                       std::vector<std::unique_ptr<CTerminal>>& terminals, TableAccess access) {
    if (!db.IsAvailable())
        return false;
    if (access == TableAccess::Fastest)
        if (auto file = CSqliteTableReader::ForDatabase(db))
            if (LoadThrough(*file, db, params, terminals))
                return true;
    // The driver reads what the file reader could not, and says why when it
    // cannot either.
    COdbcTableReader driver(db);
    if (LoadThrough(driver, db, params, terminals))
        return true;
    // A table that cannot be read whole is a damaged database: showing part
    // of it as the configuration, and writing the rows the load adds, would
    // pass the damage for the operator's data.
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
