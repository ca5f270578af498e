#include "catalogue/ParamValue.h"

#include "catalogue/ParamDesc.h"

#include <algorithm>

namespace tornu {

CParamValueList::CParamValueList(const std::vector<const CParamDesc*>& descs) {
    values_.reserve(descs.size());
    for (const CParamDesc* desc : descs)
        values_.push_back({desc->Name(), desc->Default(), desc});
}

bool CParamValueList::SetValue(std::size_t index, std::string_view stored) {
    if (index >= values_.size())
        return false;
    values_[index].value = stored;
    return true;
}

std::vector<const CParamDesc*>
SelectDeviceParams(const std::vector<std::unique_ptr<CParamDesc>>& catalogue,
                   const std::vector<std::string>& plist) {
    std::vector<const CParamDesc*> selected;
    for (const auto& desc : catalogue) {
        if (std::find(plist.begin(), plist.end(), desc->Name()) != plist.end())
            selected.push_back(desc.get());
    }
    return selected;
}

std::string BuildParameterText(const IParamValues& values,
                               const std::vector<std::string>* restriction) {
    std::string text;
    for (std::size_t i = 0; i < values.Count(); ++i) {
        const CParamDesc* desc = values.Desc(i);
        if (!desc || !desc->IsWritable())
            continue;
        const std::string_view name = values.Name(i);
        if (restriction &&
            std::find(restriction->begin(), restriction->end(), name) == restriction->end())
            continue;
        std::string_view value = values.Value(i);
        if (value.empty())
            value = desc->Default();
        text.append(name).append("=").append(value).append(";");
    }
    return text;
}

} // namespace tornu
