#pragma once
// Scripted modem lines for the pictures of a fleet job: the terminal's number
// is the phone's last four digits; one ending in 3 or 7 does not answer, one
// ending in 9 answers and stays in its call until it is cancelled, every
// other one accepts the login and answers each message with its own code.
#include "comms/FakeStream.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"
#include "settings/Result.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace tornu::shots {

inline std::string Framed(int number, int code) {
    std::string text;
    CTermMessage(number, code, "").BuildText(text);
    return "~" + text + HexByte(Crc8(text)) + "\r\n";
}

inline std::unique_ptr<IByteStream> ShotLine(const std::string&, std::uint32_t, CResult&) {
    auto line = std::make_unique<CFakeStream>();
    CFakeStream* raw = line.get();
    for (const char* command : {"AT&F", "AT+CBST", "at\r", "+++", "ath0"})
        line->When(command, "\r\nOK\r\n");
    line->OnWrite([raw](std::string_view written) {
        if (written.rfind("atd", 0) == 0) {
            const std::string phone(written.substr(3, written.find('\r') - 3));
            const int number = std::atoi(phone.substr(phone.size() > 4 ? phone.size() - 4 : 0).c_str());
            if (number % 10 == 3 || number % 10 == 7)
                raw->Queue("\r\nNO ANSWER\r\n", 30000);
            else if (number % 10 == 9)
                raw->HoldNextIdleRead();
            else
                raw->Queue("\r\nCONNECT 9600\r\n" + Framed(number, 4), 12000);
            return;
        }
        if (written.size() < 5 || written.front() != '~')
            return;
        CTermMessage message;
        if (!message.ReadText(written.substr(1, written.size() - 4)) || message.GetCode() == 2)
            return;
        raw->Queue(Framed(message.GetNumber(), message.GetCode() == 4 ? 6 : message.GetCode()), 1500);
    });
    return line;
}

} // namespace tornu::shots
