#pragma once
// Groups the statements of one operation of many rows (a reply applied, a
// terminal or device created with its rows, a node deleted with everything
// under it, loops distributed, a phone book or key list loaded) into one
// transaction, so that a process killed half-way leaves all of it or none.
//
// Guards nest: only the outermost one begins and ends the transaction, and
// commits when it ends. A statement that fails (a locked database, a full
// disk) fails the rest of the transaction at once, and the end rolls all of
// it back: the rows keep the state before the operation, and the operation
// reports the failure (CConfigDatabase::TakeFailedStatementError). A guard
// without a database does nothing.
#include "db/ConfigDatabase.h"

namespace tornu {

class CDbTransaction {
public:
    explicit CDbTransaction(CConfigDatabase* db) : db_(db) {
        if (db_)
            began_ = db_->BeginTransaction();
    }
    ~CDbTransaction() { End(true); }
    CDbTransaction(const CDbTransaction&) = delete;
    CDbTransaction& operator=(const CDbTransaction&) = delete;

    // Ends the guard now; the outermost one commits (or rolls back). False
    // when the driver refused to begin or to end.
    bool End(bool commit = true) {
        if (!db_)
            return began_;
        CConfigDatabase* db = db_;
        db_ = nullptr;
        return began_ && db->EndTransaction(commit);
    }

private:
    CConfigDatabase* db_;
    bool began_ = false;
};

} // namespace tornu
