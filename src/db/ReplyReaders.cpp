#include "db/ReplyReaders.h"

#include "catalogue/CommandDesc.h"
#include "protocol/ConfigText.h"
#include "protocol/TermMessage.h"

namespace tornu {

bool AppendInputFile(const CCommandDesc& command, std::string& text) {
    if (!command.HasFile(kCommandFileIn))
        return true;
    std::string hex;
    if (!ReadFileAsHex(command.FileName(kCommandFileIn), hex, kCommandFileLimit))
        return false;
    text += "FILE=" + hex + ";";
    return true;
}

bool StoreOutputFile(const CCommandDesc& command, std::string_view replyData) {
    if (!command.HasFile(kCommandFileOut))
        return true;
    // A reply without the file the command asked for has not carried it out.
    std::string hex;
    if (!GetConfigValue(replyData, "FILE", hex))
        return false;
    return WriteHexToFile(command.FileName(kCommandFileOut), hex);
}

bool HasReplyHeader(const CTermMessage& reply) {
    return reply.GetCode() != CTermMessage::kNotSet && reply.GetNumber() != CTermMessage::kNotSet;
}

} // namespace tornu
