#include "expr/ExprVariables.h"

namespace tornu {

bool CExprVariables::SetVariable(std::string_view name, std::string_view value) {
    if (name.empty() || value.empty() || Find(name) >= 0)
        return false;
    variables_.push_back({std::string(name), std::string(value)});
    return true;
}

int CExprVariables::Find(std::string_view name) const {
    for (std::size_t i = 0; i < variables_.size(); ++i) {
        if (variables_[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

std::string_view CExprVariables::Value(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return variables_[static_cast<std::size_t>(index)].value;
}

} // namespace tornu
