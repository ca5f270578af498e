#pragma once
// A GSM modem on a byte stream (the serial port the exchange has opened). In
// command mode it sends AT commands and parses the modem's output into final
// results and unsolicited lines; once a data call is up it is itself the
// stream the packet channel reads and writes: it passes the call's bytes on
// and watches the line between packets for the modem's "NO CARRIER", the far
// end's "+++" escape and the device going away. Every command and received
// line goes to the modem log "<port>_modem.log".
//
// Everything runs on the exchange worker's thread, reading the line only
// while it waits; Interrupt alone may come from another thread.
#include "comms/ByteStream.h"
#include "comms/LogFile.h"
#include "comms/ModemReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tornu {

class CModem : public IByteStream {
public:
    // Factory defaults, echo off, result codes on and verbose, carrier detect
    // follows the carrier, DTR drop hangs up, no automatic answer. The line
    // assembly relies on verbose codes with echo off.
    static constexpr const char* kDefaultInit = "AT&FE0Q0V1&C1&D2S0=0";
    // The dial command is built in 40 characters: "atd", the number, the end.
    static constexpr std::size_t kMaxNumber = 36;
    static constexpr int kDialTimeoutMs = 60000;
    static constexpr int kAnyReply = -1;

    // How a call that was up ended: the modem reported the carrier gone
    // ("NO CARRIER" between packets), or the device went away (unplugged,
    // the far end closed).
    enum LinkLoss : int { kLinkUp = 0, kCarrierLost, kDeviceGone };

    // A modem session on the opened port `line` (named `port` for the log):
    // raises RTS and opens the log in logFolder (empty: the working directory).
    CModem(IByteStream& line, const std::string& port, const std::filesystem::path& logFolder = {});
    // Notes the close in the log and closes it; the port stays open.
    ~CModem() override;
    CModem(const CModem&) = delete;
    CModem& operator=(const CModem&) = delete;

    // Leaves data mode and writes the text (and CR) in one go. False when it
    // could not be written; such a command is not logged.
    bool SendCommand(const std::string& text, bool addCr);
    // Sends text with CR and waits up to timeoutMs for a final result; with
    // expected other than kAnyReply every other result starts a new wait.
    // True when the expected result came; answer gets its line.
    bool SendAndWait(const std::string& text, int timeoutMs, int expected = kAnyReply,
                     std::string* answer = nullptr);
    // Dials number ("ata" answers when it is null) and enters data mode on
    // CONNECT; direct enters data mode at once without a command (emulation).
    // An interrupted dial is abandoned. result gets the last final result
    // code on failure (-1 none).
    bool Connect(const char* number, bool direct, int* result = nullptr);
    // Leaves data mode; with escape also "+++", DTR drop and "ath0". Its
    // guard pauses are kept even when interrupted. True.
    bool HangUp(bool escape);
    // Waits in steps of 100 ms, timeoutMs / 100 of them but at least one, for
    // a final result other than RING. False on time-out, when interrupted, or
    // at once when the device has gone.
    bool WaitReply(int timeoutMs);

    // The data call, for the packet channel. In command mode nothing is
    // passed on and writes are refused; once the link is lost reads give kGone.
    StreamStatus Read(std::string& into, int timeoutMs) override;
    // Data-mode writes go out unchanged; a failed one is not reported here,
    // the wait that follows finds the link lost.
    using IByteStream::Write;
    bool Write(const void* bytes, std::size_t length) override;
    void Purge() override { line_.Purge(); }
    bool SetDtr(bool on) override { return line_.SetDtr(on); }
    bool SetRts(bool on) override { return line_.SetRts(on); }
    // A pause that keeps reading the line, so that what the modem says
    // meanwhile is handled (and logged) as it comes.
    bool Sleep(int ms) override;
    std::int64_t NowMs() const override { return line_.NowMs(); }
    void Interrupt() override { line_.Interrupt(); }

    // Notes a packet dropped for its check digits in the log.
    void OnBadPacket(std::string_view packet);

    LinkLoss LinkLost() const { return linkLost_; }
    bool IsDataMode() const { return dataMode_; }
    // The code of the last final result since the last command; -1 none.
    int LastResult() const { return lastResult_; }
    CLogFile& Log() { return log_; }

    // The log's file name for a port: "COM1_modem.log"; a device path gives
    // its last part ("/dev/ttyUSB0" -> "ttyUSB0_modem.log").
    static std::string LogFileName(const std::string& port);

private:
    enum class Until { kDeadline, kReply, kData };

    // WaitReply, telling a time-out from an interrupt.
    StreamStatus AwaitReply(int timeoutMs);
    // Reads the line and handles its bytes until timeoutMs has passed, or
    // earlier at a final result (kReply) or once data-mode bytes are in `data`
    // (kData). kData when it stopped early.
    StreamStatus Pump(int timeoutMs, Until until, std::string* data = nullptr);
    // Handles what was read and not yet handled; true when it stopped at `until`.
    bool HandleInbox(Until until, std::string* data);
    void OnCommandByte(std::uint8_t byte);
    void OnDataByte(std::uint8_t byte, std::string* data);
    void WatchDataLine(std::uint8_t byte);
    void LoseLink(LinkLoss loss);
    void EnterDataMode();
    // A pause that an interrupt does not cut short.
    void Guard(int ms);

    IByteStream& line_;
    CLogFile log_;
    CModemReplyParser parser_;
    std::string inbox_;          // read from the line, not yet handled
    std::size_t inboxAt_ = 0;    // the next byte to handle
    std::int64_t inboxTime_ = 0; // when the inbox's bytes came
    bool dataMode_ = false;
    bool replied_ = false; // a final result came since the last command or wait
    int lastResult_ = -1;
    int plusCount_ = 0;
    std::int64_t lastRxMs_ = -1; // when the last byte came; -1 none since data mode
    LinkLoss linkLost_ = kLinkUp;
    // A line between packets in data mode.
    std::string dataLine_;
    bool dataLineIsPacket_ = false;
};

} // namespace tornu
