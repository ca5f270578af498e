#include "sim/SimFleet.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace tornu {

namespace {

bool ParseNumber(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseFault(const std::string& word, CSimFleet::Fault& fault, int& calls) {
    const std::size_t star = word.find('*');
    const std::string name = word.substr(0, star);
    calls = 0;
    if (star != std::string::npos && (!ParseNumber(std::string_view(word).substr(star + 1), calls) ||
                                      calls <= 0))
        return false;
    using F = CSimFleet::Fault;
    static const std::pair<const char*, F> kNames[] = {
        {"busy", F::Busy},     {"noanswer", F::NoAnswer}, {"password", F::WrongPassword},
        {"silent", F::Silent}, {"drop", F::Drop},
    };
    for (const auto& [text, value] : kNames)
        if (name == text) {
            fault = value;
            return true;
        }
    return false;
}

} // namespace

bool CSimFleet::Read(std::string_view text, const CTerminalState& base, std::string& error) {
    entries_.clear();
    base_ = base;
    std::istringstream in{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string phone, id, password, fault;
        if (!(words >> phone) || phone[0] == ';' || phone[0] == '#')
            continue;
        Entry entry{base};
        std::string extra;
        if (!(words >> id >> password) || !ParseNumber(id, entry.state.number) ||
            entry.state.number < 0 || entry.state.number > 65535 ||
            ((words >> fault) && !ParseFault(fault, entry.fault, entry.faultCalls)) ||
            (words >> extra)) {
            error = "fleet line " + std::to_string(number) +
                    ": expected \"phone number password [busy|noanswer|password|silent|drop[*calls]]\"";
            return false;
        }
        for (const Entry& other : entries_)
            if (other.state.phone == phone) {
                error = "fleet line " + std::to_string(number) + ": phone " + phone + " given twice";
                return false;
            }
        entry.state.phone = phone;
        entry.state.linkPassword = password;
        entries_.push_back(std::move(entry));
    }
    if (entries_.empty()) {
        error = "the fleet lists no terminal";
        return false;
    }
    return true;
}

bool CSimFleet::Load(const std::string& path, const CTerminalState& base, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return Read(text.str(), base, error);
}

CTerminalState* CSimFleet::Dial(const std::string& number) {
    for (Entry& entry : entries_) {
        if (entry.state.phone != number)
            continue;
        CTerminalState& state = entry.state;
        // What a fault changes goes back to the template's before every call.
        state.modem.dial = base_.modem.dial;
        state.faults.receipt = base_.faults.receipt;
        state.faults.hangUpAt = base_.faults.hangUpAt;
        state.faults.errors = base_.faults.errors;
        state.faults.silent = base_.faults.silent;
        ++entry.calls;
        if (entry.faultCalls > 0 && entry.calls > entry.faultCalls)
            return &state;
        switch (entry.fault) {
        case Fault::None:
            break;
        case Fault::Busy:
            state.modem.dial = "BUSY";
            break;
        case Fault::NoAnswer:
            state.modem.dial = "NO ANSWER";
            break;
        case Fault::WrongPassword:
            state.faults.errors[4] = 5;
            break;
        case Fault::Silent:
            state.faults.receipt = SSimFaults::ReceiptKind::None;
            state.faults.silent[4] = 1000;
            break;
        case Fault::Drop:
            state.faults.hangUpAt = 1;
            break;
        }
        return &state;
    }
    return nullptr;
}

} // namespace tornu
