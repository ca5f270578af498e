#include "sim/Simulator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "comms/TimeScale.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"

namespace tornu {

namespace {

constexpr int kGuardMs = 1000; // silence around "+++"
constexpr std::size_t kLogDataLimit = 200;
// Stray bytes between frames: no "~" (a frame start) and no "+" (an escape).
constexpr char kGarbage[] = "\x00\x13#noise#\xFF\r\n";

const char* const kControlNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                     "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                     "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                     "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Describe(const CTermMessage& message) {
    char head[32];
    std::snprintf(head, sizeof head, "[%04d] %02d ", message.GetNumber(), message.GetCode());
    return head + PrintableText(message.GetData());
}

} // namespace

std::string PrintableText(std::string_view text) {
    std::string out = "\"";
    for (char c : text.substr(0, kLogDataLimit)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32)
            out += std::string("<") + kControlNames[byte] + ">";
        else
            out += c;
    }
    out += "\"";
    if (text.size() > kLogDataLimit)
        out += " ... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

CSimulator::CSimulator(CTerminalState& state, LogSink log)
    : state_(&state), terminal_(std::in_place, state), log_(std::move(log)) {}

CSimulator::CSimulator(CSimFleet& fleet, LogSink log)
    : fleet_(&fleet),
      state_(fleet.Entries().empty() ? &idle_ : &fleet.Entries().front().state),
      terminal_(std::in_place, *state_), log_(std::move(log)) {}

void CSimulator::Log(const std::string& line) const {
    if (log_)
        log_(line);
}

void CSimulator::Receive(std::string_view bytes, std::int64_t nowMs) {
    for (char c : bytes) {
        if (mode_ == Mode::Data)
            DataByte(c, nowMs);
        else
            CommandByte(c, nowMs);
        lastRxMs_ = nowMs;
    }
    if (!stray_.empty() && !inFrame_) {
        Log("<- outside a frame: " + PrintableText(stray_));
        stray_.clear();
    }
}

void CSimulator::Tick(std::int64_t nowMs) {
    if (dialAt_ >= 0 && nowMs >= dialAt_) {
        dialAt_ = -1;
        if (dialResult_.rfind("CONNECT", 0) == 0) {
            SendResult(dialResult_);
            StartCall(nowMs);
        } else {
            mode_ = Mode::Command;
            if (dialResult_.empty())
                Log("-- the dial is not answered");
            else
                SendResult(dialResult_);
        }
    }
    if (receiptAt_ >= 0 && nowMs >= receiptAt_) {
        receiptAt_ = -1;
        CTermMessage receipt;
        if (terminal_->BuildReceipt(receipt))
            SendFrame(receipt, "receipt", true);
        else
            Log("-- fault: no receipt");
    }
    if (escapeAt_ >= 0 && nowMs >= escapeAt_) {
        escapeAt_ = -1;
        mode_ = Mode::Command;
        Log("-- escape: command mode, the call stays up");
        SendResult("OK");
    }
}

std::int64_t CSimulator::NextDeadline() const {
    std::int64_t next = -1;
    for (std::int64_t at : {dialAt_, receiptAt_, escapeAt_})
        if (at >= 0 && (next < 0 || at < next))
            next = at;
    return next;
}

void CSimulator::PeerClosed() {
    line_.clear();
    dialAt_ = -1;
    if (callUp_ || mode_ != Mode::Command)
        EndCall("the port was closed");
}

std::vector<CSimulator::Chunk> CSimulator::TakeOutput() {
    return std::exchange(output_, {});
}

bool CSimulator::TakeCallEnded() {
    return std::exchange(callEnded_, false);
}

void CSimulator::CommandByte(char c, std::int64_t now) {
    // A modem abandons a dial on any character from the computer.
    if (mode_ == Mode::Dialling && dialAt_ >= 0) {
        Log("-- the dial is abandoned");
        dialAt_ = -1;
        mode_ = Mode::Command;
        line_.clear();
        SendResult("NO CARRIER");
        return;
    }
    if (c == '\n')
        return;
    if (c != '\r') {
        if (line_.size() < 256)
            line_ += c;
        return;
    }
    std::string line = std::exchange(line_, {});
    TrimText(line);
    if (!line.empty())
        CommandLine(line, now);
}

void CSimulator::CommandLine(const std::string& line, std::int64_t now) {
    Log("<- " + PrintableText(line));
    if (!state_->modem.answer) {
        Log("-- fault: the modem does not answer");
        return;
    }
    const std::string upper = Upper(line);
    if (upper == "+EMUL") {
        Log("-- emulation mode: the data link is open");
        StartCall(now);
    } else if (upper.rfind("AT", 0) != 0 || mode_ == Mode::Dialling) {
        Log("-- ignored");
    } else if (upper.rfind("ATD", 0) == 0) {
        Dial(line.substr(3), now);
    } else if (upper == "ATH" || upper == "ATH0") {
        if (callUp_)
            EndCall("hang-up");
        SendResult("OK");
    } else if (upper == "ATO" && callUp_) {
        SendResult("CONNECT 9600");
        mode_ = Mode::Data;
    } else {
        SendResult("OK");
    }
}

void CSimulator::Dial(const std::string& number, std::int64_t now) {
    std::string wanted = number;
    if (!wanted.empty() &&
        (wanted[0] == 'T' || wanted[0] == 't' || wanted[0] == 'P' || wanted[0] == 'p'))
        wanted.erase(0, 1);
    CTerminalState* reached = fleet_ ? fleet_->Dial(wanted) : state_;
    if (fleet_ && reached) {
        state_ = reached;
        terminal_.emplace(*state_);
        Log("-- dialled terminal " + std::to_string(state_->number));
    }
    dialResult_ = state_->modem.dial;
    if (!reached) {
        Log("-- no terminal of the fleet has the number " + wanted);
        dialResult_ = "NO ANSWER";
    } else if (!state_->phone.empty() && wanted != state_->phone) {
        Log("-- " + wanted + " is not this terminal's number " + state_->phone);
        dialResult_ = "NO ANSWER";
    }
    mode_ = Mode::Dialling;
    dialAt_ = now + CTimeScale::Ms(state_->modem.dialDelayMs);
}

void CSimulator::StartCall(std::int64_t now) {
    mode_ = Mode::Data;
    callUp_ = true;
    inFrame_ = false;
    frame_.clear();
    plusCount_ = 0;
    escapeAt_ = -1;
    terminal_->StartSession();
    const int delay = std::max(CTimeScale::Ms(state_->modem.receiptDelayMs), kMinReceiptDelayMs);
    receiptAt_ = now + delay;
    Log("-- call connected");
}

void CSimulator::EndCall(const std::string& reason) {
    Log("-- call ended: " + reason);
    mode_ = Mode::Command;
    callUp_ = false;
    callEnded_ = true;
    inFrame_ = false;
    frame_.clear();
    receiptAt_ = -1;
    escapeAt_ = -1;
    plusCount_ = 0;
}

void CSimulator::DataByte(char c, std::int64_t now) {
    if (c == '+') {
        if (plusCount_ > 0)
            ++plusCount_;
        else if (now - lastRxMs_ >= CTimeScale::Ms(kGuardMs))
            plusCount_ = 1;
        if (plusCount_ == 3) {
            plusCount_ = 0;
            escapeAt_ = now + CTimeScale::Ms(kGuardMs);
        }
    } else {
        plusCount_ = 0;
        escapeAt_ = -1;
    }
    if (!inFrame_) {
        if (c == '~') {
            inFrame_ = true;
            frame_.clear();
        } else if (c != '+') {
            stray_ += c;
        }
        return;
    }
    if (c == '\r' || c == '\n') {
        inFrame_ = false;
        Frame(std::exchange(frame_, {}));
    } else if (frame_.size() < 1 << 20) {
        frame_ += c;
    }
}

void CSimulator::Frame(const std::string& frame) {
    if (frame.size() < 2) {
        Log("<- frame too short: " + PrintableText(frame));
        return;
    }
    const std::string text = frame.substr(0, frame.size() - 2);
    const std::string check = Upper(frame.substr(frame.size() - 2));
    const std::string expected = HexByte(Crc8(text));
    CTermMessage request;
    if (!request.ReadText(text)) {
        Log("<- unreadable frame: " + PrintableText(frame));
        SendFrame(terminal_->ErrorReply(CSimTerminal::kErrFormat), "unreadable message");
        return;
    }
    Log("<- " + Describe(request) +
        (check == expected ? "" : " (check digits " + check + ", expected " + expected + ")"));
    if (check != expected) {
        SendFrame(terminal_->ErrorReply(CSimTerminal::kErrChecksum), "bad check digits");
        return;
    }
    Answer(request);
}

void CSimulator::Answer(const CTermMessage& request) {
    CTermMessage reply;
    switch (terminal_->Handle(request, reply)) {
    case CSimTerminal::Outcome::Reply:
        SendFrame(reply, nullptr);
        break;
    case CSimTerminal::Outcome::Silent:
        Log("-- fault: no reply");
        break;
    case CSimTerminal::Outcome::HangUp:
        Log("-- fault: the call drops");
        EndCall("dropped by the terminal");
        SendResult("NO CARRIER");
        break;
    case CSimTerminal::Outcome::End:
        Log("-- end of session");
        break;
    }
}

void CSimulator::SendResult(const std::string& text) {
    Log("-> " + PrintableText(text));
    output_.push_back({"\r\n" + text + "\r\n", false});
}

void CSimulator::SendFrame(const CTermMessage& message, const char* note, bool receipt) {
    std::string text;
    if (!message.BuildText(text)) {
        Log("-- cannot form " + Describe(message));
        return;
    }
    const bool garbled = receipt && state_->faults.receipt == SSimFaults::ReceiptKind::Garbled;
    if (garbled)
        text.resize(6);
    std::string check = HexByte(Crc8(text));
    if (state_->faults.badCrc)
        check = HexByte(static_cast<std::uint8_t>(Crc8(text) ^ 0x5A));
    std::string bytes = "~" + text + check + "\r\n";
    if (state_->faults.garbage)
        bytes = std::string(kGarbage, sizeof kGarbage - 1) + bytes;
    std::string line = "-> " + (garbled ? PrintableText(text) : Describe(message));
    if (note)
        line += std::string(" (") + note + ")";
    if (state_->faults.badCrc)
        line += " (bad check digits " + check + ")";
    Log(line);
    output_.push_back({bytes, state_->faults.splitBytes});
}

} // namespace tornu
