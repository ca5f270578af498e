#pragma once
// Changes made in the program that the terminal does not have yet: a
// parameter, a phone-book entry or mask, a key, the loop configuration or a
// new password, marked pending until the command that carries that kind of
// value to the terminal succeeds. Kept in a table of its own beside the six,
// so that the marks outlive the program and are shared on a server.
//
// A mark is written in the transaction of the change that makes it and
// cleared in the transaction of the reply that carries it. The marks are read
// when first asked for: the nodes that have any once, the items of a
// terminal when its items are first asked for.
#include "db/TableDesc.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace tornu {

class CConfigDatabase;
class CDbRecord;

// What a write command carries; stored by these names.
enum class PendingKind { Param, Phone, Key, Loops, Password };

const char* PendingKindName(PendingKind kind);
std::optional<PendingKind> PendingKindOf(std::string_view name);
// The write command that carries the kind: 17, 24, 9, 40; 97 for a
// terminal's password and 96 for a device's.
int PendingWriteCode(PendingKind kind, bool device);
// The kinds a command carries; nothing for a command that writes none.
std::optional<PendingKind> KindWrittenBy(int code);

extern const TableDesc kPendingChangeTable;

inline constexpr int kTerminalItself = -1; // the device of a terminal's own mark

struct PendingItem {
    int device = kTerminalItself;
    PendingKind kind = PendingKind::Param;
    std::string item; // a parameter's name, an entry's or key's number; empty for the rest
    auto operator<=>(const PendingItem&) const = default;
};

// A value a reply would put in place of a pending one.
struct PendingReplace {
    int terminal = 0;
    PendingItem item;
    std::string what; // "Параметр DLYIN"
    std::string stored;
    std::string read;
};

class CPendingChanges {
public:
    explicit CPendingChanges(CConfigDatabase& db) : db_(db) {}

    // The change of `column` of `record` by the operator, a file load or an
    // import: marks its item when the column carries one. False when the
    // mark could not be written (the change's transaction fails with it).
    bool Changed(const CDbRecord& record, std::size_t column);
    // Marks an item of a terminal (a new password, a device added); nothing
    // while a reply is applied.
    bool Mark(int terminal, const PendingItem& item);
    // Clears what a command carried to the node: every item of the kind, or
    // only `items` (a parameter write restricted to its list). One statement.
    bool Clear(int terminal, int device, PendingKind kind, const std::vector<std::string>& items = {});
    // A terminal or device deleted: its marks go with it.
    bool Drop(int terminal, std::optional<int> device = std::nullopt);

    // Whether a reply may put `read` in place of the value of `column`: yes
    // unless the item is pending and the guard keeps it. A replaced item is
    // no longer pending. Only replies are guarded, and only while a guard is
    // set.
    bool MayReplace(const CDbRecord& record, std::size_t column, std::string_view stored,
                    std::string_view read);
    // Asked for each pending value a reply would replace; true replaces it.
    using Guard = std::function<bool(const PendingReplace&)>;
    void SetGuard(Guard guard) { guard_ = std::move(guard); }

    // Lookups, reading what they need the first time.
    bool TerminalHasAny(int terminal);
    bool DeviceHasAny(int terminal, int device);
    // The terminal's marks, its own and its devices'.
    std::vector<PendingItem> Items(int terminal);
    bool IsPending(int terminal, const PendingItem& item);

    // The nodes whose having marks changed since the last take: (terminal,
    // device), device kTerminalNode for the terminal's node.
    static constexpr int kTerminalNode = -2;
    std::set<std::pair<int, int>> TakeFlipped() { return std::exchange(flipped_, {}); }
    // Read everything again when next asked: a transaction was rolled back,
    // or the configuration is read anew.
    void Forget();

private:
    bool EnsureTable();
    std::set<PendingItem>* ItemsOf(int terminal);
    std::map<int, std::map<int, int>>* Nodes();
    // The terminal's counts made again from its items; flips noted.
    void Recount(int terminal);
    std::optional<std::pair<int, PendingItem>> ItemOf(const CDbRecord& record,
                                                       std::size_t column) const;

    CConfigDatabase& db_;
    bool tableChecked_ = false;
    Guard guard_;
    // Terminal: marks per device.
    std::optional<std::map<int, std::map<int, int>>> nodes_;
    std::map<int, std::set<PendingItem>> items_;
    // New passwords are held by this process only, as the passwords
    // themselves: their marks are not stored, so that none outlives its value.
    std::set<std::pair<int, PendingItem>> local_;
    std::set<std::pair<int, int>> flipped_;
};

// Sets the guard of the replies applied while it lives.
class CPendingGuardScope {
public:
    CPendingGuardScope(CConfigDatabase* db, CPendingChanges::Guard guard);
    ~CPendingGuardScope();
    CPendingGuardScope(const CPendingGuardScope&) = delete;
    CPendingGuardScope& operator=(const CPendingGuardScope&) = delete;

private:
    CPendingChanges* pending_;
};

} // namespace tornu
