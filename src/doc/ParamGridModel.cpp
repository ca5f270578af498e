#include "doc/ParamGridModel.h"

#include "catalogue/ParamDesc.h"
#include "db/Device.h"
#include "doc/PendingNodes.h"

#include <algorithm>

namespace tornu {

namespace {

constexpr std::string_view kYes = "Да";
constexpr std::string_view kNo = "Нет";

GridCell CellOf(const CParamDesc& desc) {
    if (!desc.IsWritable())
        return GridCell::Static;
    switch (desc.Kind()) {
    case ParamValueKind::List:
        return GridCell::List;
    case ParamValueKind::YesNo:
        return GridCell::YesNo;
    default:
        return GridCell::Edit;
    }
}

} // namespace

int GridLabelWidth(int clientWidth) {
    const int upper = clientWidth - 16;
    return std::max(16, std::min(clientWidth * 2 / 3, upper));
}

const ParamGridRow* ParamGridModel::Find(int item) const {
    auto found = std::find_if(rows.begin(), rows.end(),
                              [&](const ParamGridRow& row) { return row.item == item; });
    return found == rows.end() ? nullptr : &*found;
}

ParamGridModel MakeParamGridModel(const CDevice& device) {
    const std::set<std::string> pending = PendingItemsOf(device, PendingKind::Param);
    ParamGridModel model;
    ParamGridRow root;
    root.kind = GridRowKind::Root;
    root.label = kGridRootLabel;
    root.comment = kGridRootComment;
    model.rows.push_back(std::move(root));

    std::vector<std::pair<std::string, int>> groups; // label, item
    for (std::size_t index = 0; index < device.Count(); ++index) {
        const CParamDesc* desc = device.Desc(index);
        if (!desc)
            continue;
        int parent = kGridRootItem;
        if (!desc->Group().empty()) {
            auto group = std::find_if(groups.begin(), groups.end(),
                                      [&](const auto& g) { return g.first == desc->Group(); });
            if (group == groups.end()) {
                const int item = kGridFirstGroupItem + static_cast<int>(groups.size());
                groups.emplace_back(desc->Group(), item);
                ParamGridRow row;
                row.kind = GridRowKind::Group;
                row.item = item;
                row.parentItem = kGridRootItem;
                row.label = desc->Group();
                row.comment = kGridGroupComment;
                row.colour = kGridGroupColour;
                model.rows.push_back(std::move(row));
                parent = item;
            } else {
                parent = group->second;
            }
        }
        ParamGridRow row;
        row.item = static_cast<int>(index);
        row.parentItem = parent;
        row.name = std::string(device.Name(index));
        row.label = desc->Description();
        row.comment = desc->Comment();
        row.cell = CellOf(*desc);
        if (row.cell == GridCell::Static)
            row.colour = kGridReadOnlyColour;
        if (row.cell == GridCell::List)
            row.items = desc->ListItems();
        if (row.cell == GridCell::YesNo)
            row.items = {std::string(kYes), std::string(kNo)};
        const std::string_view stored = device.Value(index);
        if (!desc->ToDisplay(stored, row.display)) {
            // Shown as stored, marked, rather than a text that is not the value.
            row.display = std::string(stored);
            row.unconverted = true;
        }
        row.pending = pending.contains(row.name);
        model.rows.push_back(std::move(row));
    }
    return model;
}

} // namespace tornu
