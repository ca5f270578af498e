#pragma once
// Updates of many records written together: a reply sets dozens of values of
// one device (parameters, loop states, phones, keys), and writing each as a
// statement of its own took most of the time of applying the reply. While a
// batch is open the records' updates wait; when it ends, the updates of one
// table and columns under one terminal (and device) become one statement:
//   UPDATE sensor SET state=CASE id WHEN ? THEN ? WHEN ? THEN ? END,...
//     WHERE term_id=? AND id IN (?,?)
// Each row ends as its record's own update would leave it. Batches nest; the
// outermost writes. Open one inside the operation's transaction, so that a
// failed statement rolls the operation back as before.
#include "db/ConfigDatabase.h"
#include "db/DbRecord.h"

#include <string>
#include <vector>

namespace tornu {

class CUpdateBatch {
public:
    explicit CUpdateBatch(CConfigDatabase* db) : db_(db) {
        if (db_)
            db_->BeginUpdateBatch();
    }
    ~CUpdateBatch() { Write(); }
    CUpdateBatch(const CUpdateBatch&) = delete;
    CUpdateBatch& operator=(const CUpdateBatch&) = delete;

    // Ends the batch now; false when a statement failed.
    bool Write() {
        CConfigDatabase* db = db_;
        db_ = nullptr;
        return !db || db->EndUpdateBatch();
    }

private:
    CConfigDatabase* db_;
};

} // namespace tornu
