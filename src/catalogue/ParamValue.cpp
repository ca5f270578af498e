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

} // namespace tornu
