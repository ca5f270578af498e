#pragma once
// Which program runs which terminal of a job. Several programs (on several
// machines on a shared server, or side by side on one database file) may run
// one job together: each terminal is claimed by exactly one of them, the
// others skip it, and a program that dies releases what it held, so that a
// terminal it left running is taken again from its start.
//
// On PostgreSQL a claim is a session lock of the server keyed by job and
// terminal: it goes with the connection. On a database file it is a lock on
// one byte of a file beside it, held by this object's open file: it goes with
// the process. Elsewhere every claim succeeds (one program at a time).
#include <set>

namespace tornu {

class CConfigDatabase;

class CBatchClaims {
public:
    CBatchClaims(CConfigDatabase& db, int job);
    ~CBatchClaims();
    CBatchClaims(const CBatchClaims&) = delete;
    CBatchClaims& operator=(const CBatchClaims&) = delete;

    // True when this program holds the terminal now (claimed before, or just).
    bool Claim(int terminal);
    bool Holds(int terminal) const { return held_.count(terminal) != 0; }
    void Release(int terminal);
    void ReleaseAll();

private:
    bool Lock(int terminal, bool take);

    CConfigDatabase& db_;
    int job_;
    bool server_ = false;
    int file_ = -1;
    std::set<int> held_;
};

} // namespace tornu
