#pragma once
// The modem and the line of the simulated terminal, driven by bytes and by a
// clock the caller passes in, so that it runs the same on a pseudo-terminal
// and in tests.
//
// Command mode: lines ended by CR; any "AT..." line is answered "OK",
// "ATD<number>" after the dial delay with the configured result ("CONNECT
// 9600", "BUSY", "NO ANSWER", "NO CARRIER" or nothing), "ATH"/"ATH0" ends the
// call, "ATO" goes back on line, and "+EMUL" opens the data link at once with
// no answer (the configurator's emulation mode: no AT dialogue, no dialling).
// Replies are verbose with echo off: CR LF, text, CR LF.
//
// Data mode: frames "~" text CRC CR from the configurator, "~" text CRC CR LF
// back (the CRC as two upper-case hex digits); "+++" after a second of silence,
// followed by a second of silence, answers "OK" and returns to command mode
// with the call still up.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimFleet.h"
#include "sim/SimTerminal.h"
#include "sim/TerminalState.h"

namespace tornu {

class CSimulator {
public:
    using LogSink = std::function<void(const std::string& line)>;
    struct Chunk {
        std::string bytes;
        bool split = false; // to be written one byte at a time
    };
    enum class Mode { Command, Dialling, Data };

    // Nothing may come earlier after a CONNECT: the configurator switches its
    // side to data mode only once it has seen the result.
    static constexpr int kMinReceiptDelayMs = 50;

    CSimulator(CTerminalState& state, LogSink log);
    // A fleet behind the modem: each dial reaches the terminal with that
    // phone number, or none ("NO ANSWER").
    CSimulator(CSimFleet& fleet, LogSink log);

    // Bytes from the configurator, received at nowMs (monotonic milliseconds).
    void Receive(std::string_view bytes, std::int64_t nowMs);
    // Runs what is due by nowMs (dial results, the receipt, the escape's OK).
    void Tick(std::int64_t nowMs);
    // When Tick is next needed; -1 when nothing waits.
    std::int64_t NextDeadline() const;
    // The configurator closed its port: any call ends, back to command mode.
    void PeerClosed();
    // The bytes to write, oldest first.
    std::vector<Chunk> TakeOutput();

    Mode GetMode() const { return mode_; }
    bool CallUp() const { return callUp_; }
    // True once for every call that ended since the last question.
    bool TakeCallEnded();

private:
    void CommandByte(char c, std::int64_t now);
    void CommandLine(const std::string& line, std::int64_t now);
    void Dial(const std::string& number, std::int64_t now);
    void DataByte(char c, std::int64_t now);
    void Frame(const std::string& frame);
    void Answer(const CTermMessage& request);
    void SendResult(const std::string& text);
    // A garbled receipt is cut to six characters, too short to read.
    void SendFrame(const CTermMessage& message, const char* note, bool receipt = false);
    void StartCall(std::int64_t now);
    void EndCall(const std::string& reason);
    void Log(const std::string& line) const;

    CSimFleet* fleet_ = nullptr;
    CTerminalState idle_; // a fleet's modem before it has any terminal
    CTerminalState* state_; // the terminal on the line (a fleet's: the one dialled last)
    std::optional<CSimTerminal> terminal_;
    LogSink log_;
    std::vector<Chunk> output_;
    Mode mode_ = Mode::Command;
    bool callUp_ = false;
    bool callEnded_ = false;
    std::string line_;
    bool inFrame_ = false;
    std::string frame_;
    std::string stray_;
    std::int64_t lastRxMs_ = 0;
    int plusCount_ = 0;
    std::int64_t dialAt_ = -1;
    std::string dialResult_;
    std::int64_t receiptAt_ = -1;
    std::int64_t escapeAt_ = -1;
};

// The readable form of a text for the log: control characters as <CR>, <LF>...,
// long texts cut with their length noted.
std::string PrintableText(std::string_view text);

} // namespace tornu
