#pragma once
// What the simulated terminal knows (its number, passwords, devices with their
// loops, parameters, phone books and keys), how its modem answers, and which
// faults it plays. Read from and written back to a small text file:
//
//   [Terminal]  Number, Phone, LinkPassword, Clock, Config, ArmCode, DisarmCode
//   [Modem]     Answer, Dial, DialDelay, ReceiptDelay
//   [Faults]    Receipt, BadCrc, Garbage, SplitBytes, HangUpAt,
//               Error.<code>, WrongCode.<code>, Silent.<code>
//   [Files]     Out.<code> (hex, or @file beside the state file), In.<code>
//   [Device N]  Master, Prefix, Password, System, LastKey, KeyCount,
//               Loop.<n>=<state>,<type>   Param.<NAME>=<value>
//               Phone.<i>=<SMS|DIA|DAT>,<number>,<mask hex>   Key.<i>=<code>
//
// The file is UTF-8 (a Windows-1251 file is accepted too). Text in memory is UTF-8.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tornu {

struct SSimLoop {
    int number = 0;
    int state = 0; // 0..15
    int type = 0;  // type bit mask
};

struct SSimPhone {
    int kind = 0; // 0 SMS, 1 DIA, 2 DAT
    std::string number;
    std::uint32_t mask = 0;
};

struct SSimDevice {
    int address = 0;
    int master = -1;          // address of the partition, -1 for a partition itself
    std::string prefix = "S"; // letter of a subordinate device in the loop configuration
    std::string password;
    std::string system = "1101"; // "SYS": battery, armed, mains, bus
    int lastKey = -1;
    std::vector<SSimLoop> loops;
    std::vector<std::pair<std::string, std::string>> params; // in file order
    std::vector<SSimPhone> phones;
    std::vector<std::string> keys; // position 0 is the master key

    std::string* FindParam(std::string_view name);
    void SetParam(const std::string& name, const std::string& value);
};

struct SSimModem {
    bool answer = true;                // false: silent to AT commands
    std::string dial = "CONNECT 9600"; // result of a dial; empty: no answer at all
    int dialDelayMs = 2000;
    int receiptDelayMs = 500;
};

struct SSimFaults {
    enum class ReceiptKind { Normal, None, Garbled };
    ReceiptKind receipt = ReceiptKind::Normal;
    int receiptCode = 4;
    bool badCrc = false;           // every reply with wrong check digits
    bool garbage = false;          // stray bytes before every frame
    bool splitBytes = false;       // frames written one byte at a time
    int hangUpAt = 0;              // the call drops when this command (counted from 1) arrives
    std::map<int, int> errors;     // code -> error number of a code-70 reply
    std::map<int, int> wrongCodes; // code -> code the reply carries instead
    std::map<int, int> silent;     // code -> number of messages left unanswered
};

class CTerminalState {
public:
    static constexpr int kDefaultKeyCount = 15;

    int number = 1;
    std::string phone; // when set, a dial to another number finds no answer
    std::string linkPassword;
    std::string clock;  // last "TIME" written
    std::string config; // loop configuration as last written; empty: built from the loops
    int armCode = -1;
    int disarmCode = -1;
    std::vector<SSimDevice> devices;     // ascending address
    std::map<int, std::string> outFiles; // code -> hex text sent with "FILE="
    std::map<int, std::string> inFiles;  // code -> hex text received with "FILE="
    SSimModem modem;
    SSimFaults faults;

    // Replaces the whole state with the text's. False with a readable reason
    // (section and key named) on any unknown or malformed entry; "@file"
    // references are looked up in `baseDir`.
    bool Read(std::string_view text, const std::string& baseDir, std::string& error);
    bool Load(const std::string& path, std::string& error);
    // The state as a file text (UTF-8, LF) that Read takes back.
    std::string Render() const;
    bool Save(const std::string& path) const;

    SSimDevice* FindDevice(int address);
    // Slaves of a partition in ascending address.
    std::vector<SSimDevice*> SlavesOf(int address);
    // "M1=2(1,0,),S5=1(16,)," from the devices and loops.
    std::string BuildLoopConfiguration() const;
    // Sets loop types from a written configuration, entry by entry, by
    // position in each device's loop list; stops at the first bad entry.
    void ApplyLoopConfiguration(std::string_view text);
};

} // namespace tornu
