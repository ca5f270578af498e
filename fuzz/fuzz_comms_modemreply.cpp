// Arbitrary modem output through the reply parser: whatever arrives, the
// parser must neither crash nor hand out a code outside its tables.
#include "comms/LogFile.h"
#include "comms/ModemReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using tornu::CModemReplyParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CModemReplyParser parser;
    for (size_t i = 0; i < size; ++i) {
        // A rare byte value resets the parser, as a new command does.
        if (data[i] == 0xA5) {
            parser.Reset();
            continue;
        }
        parser.Feed(data[i]);
        int answer = parser.TakeAnswerCode();
        if (answer < CModemReplyParser::kNone || answer > CModemReplyParser::kPrompt)
            std::abort();
        int info = parser.TakeInfoCode();
        if (info < CModemReplyParser::kNone || info > CModemReplyParser::kCusd)
            std::abort();
        if (answer != CModemReplyParser::kNone)
            (void)tornu::CLogFile::Printable(parser.Answer());
        if (info != CModemReplyParser::kNone)
            (void)tornu::CLogFile::Printable(parser.Info());
        if (parser.Answer().size() > CModemReplyParser::kMaxLine ||
            parser.Info().size() > CModemReplyParser::kMaxLine)
            std::abort();
    }
    return 0;
}
