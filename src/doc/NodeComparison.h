#pragma once
// "Сравнить с прибором": the status, phone book and key list of a device
// and the loop configuration of its terminal (for a terminal, of each of its
// devices) read from the terminal without storing anything, compared with
// what the database holds. The operator then takes the terminal's values
// (stored as the replies would have been, each change in the history) or
// writes the stored ones through "Обмен".
#include "comms/ExchangeJob.h"
#include "doc/ExchangeMonitor.h"
#include "settings/Result.h"

#include <memory>
#include <string>
#include <vector>

namespace tornu {

class CConfigTree;
class CDevice;
class CExchange;
class CExchangeRuns;
class CTerminal;
class CWorkspace;

inline constexpr const char* kCompareTitle = "Сравнить с прибором";
inline constexpr const char* kNoReadCommandsMessage =
    "В каталоге нет команд чтения для этого устройства";
inline constexpr const char* kNodeGoneMessage = "Устройство удалено";

// What a difference is of: the command that writes it back follows from it.
enum class DifferenceKind { Param, Phone, Key, Loops };

// One value that differs, as the operator reads it.
struct NodeDifference {
    int device = -1;      // its address; -1 the terminal
    std::string what;     // "Параметр DLYIN", "Телефон 2: Маска", "Ключ 1: Электронный номер"
    std::string stored;   // in the database
    std::string terminal; // read from the terminal
    DifferenceKind kind = DifferenceKind::Param;
    bool operator==(const NodeDifference&) const = default;
};

// A reply read for the comparison, kept instead of applied.
struct ReadBack {
    int device = -1;     // the node it is of: a device's address, -1 the terminal
    std::string command; // "ReadStatus Чтение состояния и параметров"
    ReplyValue value;
};

class CNodeComparison {
public:
    // The node by its number: a node deleted meanwhile is found missing
    // rather than reached through a dangling record.
    CNodeComparison(CWorkspace& workspace, int terminal, int device = -1);
    ~CNodeComparison();
    CNodeComparison(const CNodeComparison&) = delete;
    CNodeComparison& operator=(const CNodeComparison&) = delete;

    int TerminalId() const { return terminal_; }
    int DeviceAddress() const { return device_; }
    // "12" or "12/1".
    std::string NodeText() const;

    // The reads on the exchange worker, on the modem port the settings
    // name, which no other exchange takes until Finish; refused while that
    // terminal or port is in another exchange.
    CResult Start(CExchangeRuns& runs);
    CExchangeMonitor& Monitor() { return *monitor_; }
    // After the end: the port given back; Ok when every read was carried
    // out, else why not.
    CResult Finish();

    // The job of the reads: each catalogue read that fits its node.
    // Nothing without the node or without a single read.
    std::optional<ExchangeJob> MakeJob();
    // The reply of the job's command `index`, kept.
    void Keep(std::size_t index, ReplyValue value);
    const std::vector<ReadBack>& Read() const { return read_; }

    // What was read that differs from what is stored, node by node in the
    // order read.
    std::vector<NodeDifference> Differences() const;
    // The codes of the commands that write the stored values of the
    // differences back: parameters 17, phone book 24, keys 9, loops 40.
    static std::vector<std::int32_t> WriteCodes(const std::vector<NodeDifference>& differences);
    // The terminal's values stored, every reply in its own transaction, the
    // source "ответ прибора" with "Сравнить с прибором" and the command;
    // the nodes' views told. Refused while the terminal is in an exchange.
    CResult TakeTerminalValues(CConfigTree& tree, const CExchangeRuns& runs);

private:
    CTerminal* Terminal() const;
    CDevice* Device() const;

    CWorkspace& workspace_;
    int terminal_;
    int device_;
    std::vector<std::pair<int, std::string>> commands_; // node and name of each job command
    std::vector<ReadBack> read_;
    std::unique_ptr<CExchange> exchange_;
    std::unique_ptr<CExchangeMonitor> monitor_;
    CExchangeRuns* runs_ = nullptr; // while the port is reserved
    std::string port_;
};

} // namespace tornu
