#include "batch/BatchClaims.h"

#include "db/ConfigDatabase.h"
#include "db/ConnectString.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace tornu {

CBatchClaims::CBatchClaims(CConfigDatabase& db, int job) : db_(db), job_(job) {
    COdbcConnection& connection = db_.Connection();
    server_ = connection.DbmsName() == "PostgreSQL";
    if (server_)
        return;
    const std::optional<std::string> file = ConnectValue(connection.ConnectString(), "Database");
    if (file && !file->empty() && *file != ":memory:")
        file_ = ::open((*file + ".batch-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
}

CBatchClaims::~CBatchClaims() {
    ReleaseAll();
    if (file_ >= 0)
        ::close(file_);
}

bool CBatchClaims::Lock(int terminal, bool take) {
    if (server_) {
        const DbValue keys[] = {job_, terminal};
        std::vector<int> got;
        const char* statement =
            take ? "SELECT CASE WHEN pg_try_advisory_lock(CAST(? AS int), CAST(? AS int)) THEN 1 ELSE 0 END"
                 : "SELECT CASE WHEN pg_advisory_unlock(CAST(? AS int), CAST(? AS int)) THEN 1 ELSE 0 END";
        return db_.QueryInts(statement, keys, got) && !got.empty() && got[0] == 1;
    }
    if (file_ < 0)
        return true;
    // Open-file-description locks: they conflict inside one process too, and
    // go with this object's file rather than with any descriptor of it.
    struct flock lock {};
    lock.l_type = take ? F_WRLCK : F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = (static_cast<off_t>(job_) << 32) + static_cast<unsigned>(terminal);
    lock.l_len = 1;
    return ::fcntl(file_, F_OFD_SETLK, &lock) == 0;
}

bool CBatchClaims::Claim(int terminal) {
    if (held_.count(terminal))
        return true;
    if (!Lock(terminal, true))
        return false;
    held_.insert(terminal);
    return true;
}

void CBatchClaims::Release(int terminal) {
    if (held_.erase(terminal))
        Lock(terminal, false);
}

void CBatchClaims::ReleaseAll() {
    for (const int terminal : std::set<int>(held_))
        Release(terminal);
}

} // namespace tornu
