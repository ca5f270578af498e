#include "comms/ModemReplyParser.h"

#include <array>

namespace tornu {

namespace {

constexpr std::array<std::string_view, 11> kReplies = {
    "OK",   "CONNECT",   "RING",  "NO CARRIER", "ERROR", "NO DIAL TONE",
    "BUSY", "NO ANSWER", "ABORT", "WAITING",    ">",
};
constexpr std::array<std::string_view, 5> kInfos = {"+CMGL", "+CLIP", "+CREG", "+CRING", "+CUSD"};

bool IsBreak(unsigned char c) {
    return c == '\r' || c == '\n';
}

template <std::size_t N>
int MatchPrefix(const std::array<std::string_view, N>& table, std::string_view line) {
    for (std::size_t i = 0; i < N; ++i)
        if (line.starts_with(table[i]))
            return static_cast<int>(i);
    return CModemReplyParser::kUnknown;
}

} // namespace

int CModemReplyParser::MatchReply(std::string_view line) {
    return MatchPrefix(kReplies, line);
}

int CModemReplyParser::MatchInfo(std::string_view line) {
    return MatchPrefix(kInfos, line);
}

void CModemReplyParser::Reset() {
    line_.clear();
    answerCode_ = kNone;
    infoCode_ = kNone;
    state_ = kWaitStart;
    breakCount_ = 0;
    breaksNeeded_ = 2;
}

int CModemReplyParser::TakeAnswerCode() {
    int code = answerCode_;
    answerCode_ = kNone;
    return code;
}

int CModemReplyParser::TakeInfoCode() {
    int code = infoCode_;
    infoCode_ = kNone;
    return code;
}

void CModemReplyParser::Append(unsigned char c) {
    if (line_.size() < kMaxLine)
        line_.push_back(static_cast<char>(c));
}

// Verbose results with echo off arrive as  <CR><LF>text<CR><LF>; a line
// starts after two breaks in a row, so whatever the modem sends between a
// command and the first break pair (an echo, noise) is skipped.
void CModemReplyParser::Feed(unsigned char c) {
    switch (state_) {
    case kWaitStart:
        OnWaitStart(c);
        break;
    case kFirstChar:
        OnFirstChar(c);
        break;
    case kInfoLine:
        OnInfoLine(c);
        break;
    case kResultLine:
        OnResultLine(c);
        break;
    }
}

void CModemReplyParser::OnWaitStart(unsigned char c) {
    breakCount_ = IsBreak(c) ? breakCount_ + 1 : 0;
    if (breakCount_ >= breaksNeeded_) {
        state_ = kFirstChar;
        breakCount_ = 0;
        line_.clear();
    }
}

// The prompt for a message text is "<CR><LF>> " with no line end after it,
// so it is taken as soon as its first character arrives.
void CModemReplyParser::OnFirstChar(unsigned char c) {
    if (IsBreak(c)) {
        ++breakCount_;
        state_ = kWaitStart;
    } else if (c == '>') {
        answerCode_ = kPrompt;
        answer_.assign(1, '>');
        line_.clear();
        breakCount_ = 0;
        breaksNeeded_ = 2;
        state_ = kWaitStart;
    } else if (c == '+') {
        Append(c);
        state_ = kInfoLine;
    } else {
        Append(c);
        state_ = kResultLine;
        breaksNeeded_ = 2;
    }
}

// +CREG: 1<CR><LF>
// +CMGL: <index>,<stat>,<oa>,,<scts><CR><LF><text><CR><LF>
// The info text keeps its breaks; a message list entry spans two lines.
void CModemReplyParser::OnInfoLine(unsigned char c) {
    Append(c);
    if (IsBreak(c))
        ++breakCount_;
    if (c == ':') {
        int code = MatchInfo(line_);
        if (code == kCmgl)
            breaksNeeded_ = 4;
        else if (code == kClip)
            breaksNeeded_ = 2;
    }
    if (breakCount_ >= breaksNeeded_) {
        infoCode_ = MatchInfo(line_);
        info_ = line_;
        line_.clear();
        breakCount_ = 0;
        state_ = kFirstChar;
        breaksNeeded_ = 2;
    }
}

// OK<CR><LF>, CONNECT 9600<CR><LF>, NO CARRIER<CR><LF> ...
void CModemReplyParser::OnResultLine(unsigned char c) {
    if (IsBreak(c)) {
        ++breakCount_;
    } else {
        Append(c);
        breakCount_ = 0;
    }
    if (breakCount_ >= breaksNeeded_) {
        breakCount_ = 0;
        answerCode_ = MatchReply(line_);
        answer_ = line_;
        line_.clear();
        state_ = kFirstChar;
    }
}

} // namespace tornu
