#pragma once
// Pieces shared by the terminal's and the device's command builders and
// reply handlers: the command files carried as hexadecimal text, the reply
// header check and the computer's local time.
#include "protocol/TimeStamp.h"

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace tornu {

class CCommandDesc;
class CTermMessage;

// The largest input file a command carries.
inline constexpr std::size_t kCommandFileLimit = 64000;

// With an input file: appends "FILE=<hexadecimal bytes>;" and is false when
// the file cannot be read or is larger than the limit (`text` untouched).
// Without one: true, nothing appended.
bool AppendInputFile(const CCommandDesc& command, std::string& text);

// With an output file: writes the bytes of the reply's "FILE" value to the
// file; false when the reply has no "FILE" or the write fails. Without one: true.
bool StoreOutputFile(const CCommandDesc& command, std::string_view replyData);

// A reply is read only when its code and terminal number are set.
bool HasReplyHeader(const CTermMessage& reply);

} // namespace tornu
