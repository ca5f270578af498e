#pragma once
// A command the operator can run against a base module or a network device:
// one entry of the catalogue section "BusDevice.Commands"; the key names it.
//
//   WriteDelays=NUM=17;TYPE=DM;DESC=Запись задержек на вход и выход;PLIST=DLYIN,DLYOUT
//   LoadFirmware=NUM=60;TYPE=T;DESC=Загрузка программного обеспечения;FILE=I
//
// Besides the catalogue fields it carries the outcome of its last run and the
// file names chosen for it, which the exchange fills in.
#include "protocol/CommandResult.h"
#include "protocol/CommandSnapshot.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CCommandDesc {
public:
    // True when the text describes a valid command; `name` is the entry's key.
    // On failure `reason`, when given, tells the first rule broken and the
    // object must be discarded.
    bool Read(std::string_view name, std::string_view descriptionText,
              std::string* reason = nullptr);

    CommandKind Kind() const { return kind_; }
    // "NUM": the message code of the command.
    std::int32_t Code() const { return code_; }
    const std::string& Name() const { return name_; }
    // "DESC": the label shown to the operator.
    const std::string& Description() const { return description_; }
    // "PLIST": names of the parameters the command carries; empty means all
    // writable ones.
    const std::vector<std::string>& ParamList() const { return paramList_; }
    int FileFlags() const { return fileFlags_; }
    // True when the command has the file of `flag` (kCommandFileIn or kCommandFileOut).
    bool HasFile(int flag) const { return (fileFlags_ & flag) != 0; }
    // The input name when `flags` has kCommandFileIn, otherwise the output name
    // when it has kCommandFileOut, otherwise empty.
    const std::string& FileName(int flags) const;
    // Sets the input name when `flags` has kCommandFileIn and the output name
    // when it has kCommandFileOut.
    void SetFileName(int flags, const std::string& fileName);

    // The command as the builders take it, its input file read now: an
    // exchange takes it on the calling thread when it starts.
    CommandSpec Spec() const;

    // 0 not completed, 1 carried out, any other value failed.
    std::int32_t ResultState() const { return resultState_; }
    const std::string& ResultText() const { return resultText_; }
    // A negative state leaves the state as it was; the text is always set.
    void SetResult(std::int32_t state, std::string text = {});

private:
    CommandKind kind_ = CommandKind::None;
    std::int32_t code_ = -1;
    std::string name_;
    std::string description_;
    std::int32_t resultState_ = kCommandNotCompleted;
    std::string resultText_;
    std::vector<std::string> paramList_;
    int fileFlags_ = 0;
    std::string fileIn_;
    std::string fileOut_;
};

// The flags named by a "FILE" value: "I" or "i" anywhere gives the input
// file, "O" or "o" anywhere the output file ("in", "Output", "io").
int ReadCommandFileFlags(std::string_view value);

// The kind named by a "TYPE" value (the whole text, exact case); None for
// anything else ("d", "DX", "DM ").
CommandKind ReadCommandKind(std::string_view value);

} // namespace tornu
