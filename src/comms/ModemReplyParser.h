#pragma once
// Cuts the output of a GSM modem in command mode into lines and classifies
// them: final results (OK, CONNECT ...) and the ">" prompt go to the answer,
// unsolicited "+" lines go to the info. Pure: bytes in, codes and texts out.
#include <cstddef>
#include <string>
#include <string_view>

namespace tornu {

class CModemReplyParser {
public:
    static constexpr int kNone = -2;    // no new line, or already taken
    static constexpr int kUnknown = -1; // a complete line that matches no entry

    // Reply table codes (index in the table).
    enum EReply {
        kOk = 0,
        kConnect,
        kRing,
        kNoCarrier,
        kError,
        kNoDialTone,
        kBusy,
        kNoAnswer,
        kAbort,
        kWaiting,
        kPrompt,
    };
    // Unsolicited table codes.
    enum EInfo { kCmgl = 0, kClip, kCreg, kCring, kCusd };

    // A modem that never sends a break cannot make a line grow without limit.
    static constexpr std::size_t kMaxLine = 4096;

    CModemReplyParser() = default;

    void Reset();
    void Feed(unsigned char c);

    // The code of the last complete result line (kNone when there is none
    // new); taking it clears it. The text stays until the next result line.
    int TakeAnswerCode();
    int TakeInfoCode();
    const std::string& Answer() const { return answer_; }
    const std::string& Info() const { return info_; }

    // First entry that the line begins with, or kUnknown.
    static int MatchReply(std::string_view line);
    static int MatchInfo(std::string_view line);

private:
    enum EState { kWaitStart = 0, kFirstChar, kInfoLine, kResultLine };

    void OnWaitStart(unsigned char c);
    void OnFirstChar(unsigned char c);
    void OnInfoLine(unsigned char c);
    void OnResultLine(unsigned char c);
    void Append(unsigned char c);

    std::string line_;
    std::string answer_;
    std::string info_;
    int answerCode_ = kNone;
    int infoCode_ = kNone;
    EState state_ = kWaitStart;
    unsigned breakCount_ = 0;
    unsigned breaksNeeded_ = 2;
};

} // namespace tornu
