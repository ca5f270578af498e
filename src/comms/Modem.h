#pragma once
// A GSM modem on a serial port. In command mode it sends AT commands and
// parses the modem's output into final results and unsolicited lines; once a
// data call is up it carries the call's bytes between the port and the
// attached packet channel. Every command and received line goes to the modem
// log "<port>_modem.log".
//
// Threads: the exchange worker calls the operations; OnReceive runs on the
// port's reader thread. The reader stores the last result and then sets the
// port's reply event; the worker reads the result after its wait returns.
#include "comms/Link.h"
#include "comms/LogFile.h"
#include "comms/ModemReplyParser.h"
#include "comms/SerialPort.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

namespace tornu {

class CModem : public CLink, public CSerialPort {
public:
    // Factory defaults, echo off, result codes on and verbose, carrier detect
    // follows the carrier, DTR drop hangs up, no automatic answer. The line
    // assembly relies on verbose codes with echo off.
    static constexpr const char* kDefaultInit = "AT&FE0Q0V1&C1&D2S0=0";
    // The dial command is built in 40 characters: "atd", the number, the end.
    static constexpr std::size_t kMaxNumber = 36;
    static constexpr int kDialTimeoutMs = 60000;
    static constexpr int kAnyReply = -1;

    CModem();
    ~CModem() override;

    // Opens the port (8N1 at speed), raises RTS and opens the log. False when
    // the port cannot be opened; nothing is logged then.
    bool Open(const std::string& port, std::uint32_t speed);
    // Logs the close, closes the log and the port. Always true.
    bool Close();

    // Leaves data mode and writes the text (and CR). False when some byte
    // could not be written; such a command is not logged.
    bool SendCommand(const std::string& text, bool addCr);
    // Sends text with CR and waits up to timeoutMs for a final result; with
    // expected other than kAnyReply every other result starts a new wait.
    // True when the expected result came; answer gets its line.
    bool SendAndWait(const std::string& text, int timeoutMs, int expected = kAnyReply,
                     std::string* answer = nullptr);
    // Dials number ("ata" answers when it is null) and enters data mode on
    // CONNECT; direct enters data mode at once without a command (emulation).
    // result gets the last final result code on failure (-1 none).
    bool Connect(const char* number, bool direct, int* result = nullptr);
    // Leaves data mode; with escape also "+++", DTR drop and "ath0". True.
    bool HangUp(bool escape);

    bool WaitReply(int timeoutMs) override;
    // Data-mode writes go out unchanged; in command mode they are refused.
    using CLink::Write;
    bool Write(const void* bytes, std::size_t length) override;

    // Notes the dropped packet in the log.
    void OnBadPacket(std::string_view packet) override;

    // How a call that was up ended under the exchange: the modem reported
    // the carrier gone ("NO CARRIER" between packets), or the device went
    // away (unplugged, the far end closed). A waiting worker is woken at once.
    enum LinkLoss : int { kLinkUp = 0, kCarrierLost, kDeviceGone };
    int LinkLost() const { return linkLost_.load(); }
    // From any thread: ends a wait for a modem reply at once and makes the
    // modem abandon a dial (any character does). For the exchange's cancel.
    void AbortWait();

    bool IsDataMode() const { return dataMode_.load(); }
    // The code of the last final result since the last command; -1 none.
    int LastResult() const { return lastResult_.load(); }

    // Where the log goes; by default the program's folder (or the working
    // directory when that cannot be written).
    void SetLogFolder(const std::filesystem::path& folder);
    CLogFile& Log() { return log_; }

    // The log's file name for a port: "COM1_modem.log"; a device path gives
    // its last part ("/dev/ttyUSB0" -> "ttyUSB0_modem.log").
    static std::string LogFileName(const std::string& port);

protected:
    void OnReceive(std::uint8_t byte) override;
    void OnCommEvent(std::uint32_t mask) override;

private:
    void OnCommandByte(std::uint8_t byte);
    void OnDataByte(std::uint8_t byte);
    void WatchDataLine(std::uint8_t byte);
    void LoseLink(LinkLoss loss);
    void EnterDataMode();
    void ResetParser();
    bool WriteAll(const std::string& bytes);

    CLogFile log_;
    std::filesystem::path logFolder_; // empty: the default folders
    std::atomic<bool> dataMode_{false};
    std::atomic<int> lastResult_{-1};
    std::atomic<int> plusCount_{0};
    std::atomic<std::int64_t> lastRxTick_{0};
    std::atomic<int> linkLost_{kLinkUp};
    std::atomic<bool> aborted_{false};
    // A line between packets in data mode, reader thread only.
    std::string dataLine_;
    bool dataLineIsPacket_ = false;
    // The reader feeds the parser while the worker resets it for a new command.
    std::mutex parserLock_;
    CModemReplyParser parser_;
};

} // namespace tornu
