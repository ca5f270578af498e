// An item model's view of the tree: a mirror that follows only the
// document's notifications must equal the document's tree after every
// operation, and every "-ing" call must name the row the change then takes.
#include "DocTestFixture.h"

#include <map>

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

class MirrorView : public IDocObserver {
public:
    explicit MirrorView(const CTreeModel& tree) : tree_(tree) {}

    void OnTreeResetting() override { EXPECT_FALSE(std::exchange(resetting_, true)); }
    void OnTreeReset() override {
        EXPECT_TRUE(std::exchange(resetting_, false));
        roots_.clear();
        items_.clear();
        Copy(tree_.Roots(), roots_);
    }
    void OnItemInserting(CTreeNode* parent, std::size_t row) override { pending_ = {parent, row}; }
    void OnItemInserted(CTreeNode& node) override {
        ASSERT_TRUE(pending_);
        EXPECT_EQ(node.Parent(), pending_->first);
        EXPECT_EQ(tree_.Row(node), pending_->second);
        auto& siblings = Children(node.Parent());
        ASSERT_LE(pending_->second, siblings.size());
        auto item = std::make_unique<Item>(Item{&node, std::string(node.Label()), {}});
        items_[&node] = item.get();
        siblings.insert(siblings.begin() + static_cast<long>(pending_->second), std::move(item));
        pending_.reset();
    }
    void OnItemMoving(CTreeNode& node, std::size_t from, std::size_t to) override {
        auto& siblings = Children(node.Parent());
        ASSERT_LT(from, siblings.size());
        EXPECT_EQ(siblings[from]->node, &node);
        auto item = std::move(siblings[from]);
        siblings.erase(siblings.begin() + static_cast<long>(from));
        siblings.insert(siblings.begin() + static_cast<long>(to), std::move(item));
        moving_ = &node;
    }
    void OnItemMoved(CTreeNode& node) override {
        EXPECT_EQ(std::exchange(moving_, nullptr), &node);
        EXPECT_EQ(Children(node.Parent())[tree_.Row(node)]->node, &node);
    }
    void OnItemRelabelled(CTreeNode& node) override { items_.at(&node)->label = node.Label(); }
    void OnItemRemoving(CTreeNode& node) override { removing_ = &node; }
    void OnItemRemoved(CTreeNode* parent, std::size_t row) override {
        auto& siblings = Children(parent);
        ASSERT_LT(row, siblings.size());
        EXPECT_EQ(siblings[row]->node, std::exchange(removing_, nullptr));
        Forget(*siblings[row]);
        siblings.erase(siblings.begin() + static_cast<long>(row));
    }

    Strings Outline() const {
        Strings lines;
        Print(roots_, "", lines);
        return lines;
    }

private:
    struct Item {
        const CTreeNode* node;
        std::string label;
        std::vector<std::unique_ptr<Item>> children;
    };
    using Items = std::vector<std::unique_ptr<Item>>;

    Items& Children(const CTreeNode* parent) {
        return parent ? items_.at(parent)->children : roots_;
    }
    void Copy(const CTreeNode::List& from, Items& to) {
        for (const auto& node : from) {
            to.push_back(std::make_unique<Item>(Item{node.get(), std::string(node->Label()), {}}));
            items_[node.get()] = to.back().get();
            Copy(node->Children(), to.back()->children);
        }
    }
    void Forget(const Item& item) {
        items_.erase(item.node);
        for (const auto& child : item.children)
            Forget(*child);
    }
    static void Print(const Items& items, const std::string& indent, Strings& lines) {
        for (const auto& item : items) {
            lines.push_back(indent + item->label);
            Print(item->children, indent + "  ", lines);
        }
    }

    const CTreeModel& tree_;
    Items roots_;
    std::map<const CTreeNode*, Item*> items_;
    std::optional<std::pair<CTreeNode*, std::size_t>> pending_;
    CTreeNode* moving_ = nullptr;
    CTreeNode* removing_ = nullptr;
    bool resetting_ = false;
};

TEST_F(DocTest, ItemModelReplayingTheNotificationsKeepsTheTree) {
    Start();
    MirrorView mirror(doc->Tree().Model());
    doc->Tree().AddObserver(mirror);
    const auto same = [&](const char* step) { EXPECT_EQ(mirror.Outline(), Outline()) << step; };

    CTreeNode& first = AddTerminal(20);
    AddTerminal(5);
    CTreeNode& store = AddDevice(first, 7, kPartition16, "Склад", 2);
    AddDevice(first, 3, kPartition8, "Офис", 2);
    for (int address : {9, 1, 4})
        AddDevice(store, address, kExpander, {}, 1);
    same("devices");
    EXPECT_TRUE(doc->Editor().EditDevice(Node(20, 3), {3, kPartition8, 0, "Цех", "", ""}));
    same("relabel in place");
    doc->Tree().ToggleStructure();
    EXPECT_TRUE(doc->Editor().EditDevice(Node(20, 7), {7, kPartition16, 0, "Я-склад", "", ""}));
    same("moves at the root");
    AddDevice(Node(20, 7), 12, kExpander);
    EXPECT_TRUE(doc->Editor().DeleteNode(Node(20, 7))); // slaves at the root go too
    same("delete with slaves, structure hidden");
    doc->Tree().ToggleStructure();
    EXPECT_TRUE(doc->Editor().DeleteNode(Node(5)));
    same("deletes");
}

} // namespace
