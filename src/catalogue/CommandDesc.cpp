#include "catalogue/CommandDesc.h"

#include "catalogue/DescriptionText.h"
#include "protocol/ConfigText.h"

#include <utility>

namespace tornu {

int ReadCommandFileFlags(std::string_view value) {
    int flags = 0;
    if (value.find_first_of("Ii") != std::string_view::npos)
        flags |= kCommandFileIn;
    if (value.find_first_of("Oo") != std::string_view::npos)
        flags |= kCommandFileOut;
    return flags;
}

CommandKind ReadCommandKind(std::string_view value) {
    constexpr std::pair<std::string_view, CommandKind> kKinds[] = {
        {"T", CommandKind::Terminal},
        {"D", CommandKind::Device},
        {"DM", CommandKind::TopLevel},
        {"DS", CommandKind::Subordinate},
    };
    for (const auto& [text, kind] : kKinds) {
        if (value == text)
            return kind;
    }
    return CommandKind::None;
}

bool CCommandDesc::Read(std::string_view name, std::string_view descriptionText,
                        std::string* reason) {
    name_.assign(name);
    fileFlags_ = 0;
    std::string value;
    if (GetDescriptionValue(descriptionText, "FILE", value))
        fileFlags_ = ReadCommandFileFlags(value);
    if (GetDescriptionValue(descriptionText, "PLIST", value)) {
        for (std::string& item : SplitList(value))
            paramList_.push_back(std::move(item));
    }
    if (!GetDescriptionValue(descriptionText, "DESC", description_))
        return RefuseDescription(reason, "нет ключа DESC");
    if (description_.empty())
        return RefuseDescription(reason, "пустое DESC");
    if (!GetDescriptionNumber(descriptionText, "NUM", code_))
        return RefuseDescription(reason, "нет ключа NUM");
    if (!GetDescriptionValue(descriptionText, "TYPE", value))
        return RefuseDescription(reason, "нет ключа TYPE");
    kind_ = ReadCommandKind(value);
    if (kind_ == CommandKind::None)
        return RefuseDescription(reason, "неверный TYPE");
    return true;
}

const std::string& CCommandDesc::FileName(int flags) const {
    static const std::string kNone;
    if (flags & kCommandFileIn)
        return fileIn_;
    if (flags & kCommandFileOut)
        return fileOut_;
    return kNone;
}

void CCommandDesc::SetFileName(int flags, const std::string& fileName) {
    if (flags & kCommandFileIn)
        fileIn_ = fileName;
    if (flags & kCommandFileOut)
        fileOut_ = fileName;
}

CommandSpec CCommandDesc::Spec() const {
    CommandSpec spec{code_, kind_, paramList_, fileFlags_, std::nullopt, {}};
    if (HasFile(kCommandFileIn)) {
        std::string bytes;
        if (ReadFileBytes(fileIn_, bytes, kCommandFileLimit))
            spec.input = std::move(bytes);
    }
    if (HasFile(kCommandFileOut))
        spec.outputFile = fileOut_;
    return spec;
}

void CCommandDesc::SetResult(std::int32_t state, std::string text) {
    if (state >= 0)
        resultState_ = state;
    resultText_ = std::move(text);
}

} // namespace tornu
