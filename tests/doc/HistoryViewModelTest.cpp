// "История изменений": the rows a node's window shows under each filter, and
// the CSV written from them.
#include "DocTestFixture.h"

#include "db/Device.h"
#include "doc/HistoryViewModel.h"
#include "doc/NodeJob.h"

#include <sstream>

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

class HistoryViewModelTest : public DocTest {
protected:
    HistoryViewModelTest() {
        Start();
        AddDevice(AddTerminal(12), 1, kPartition8, "Офис");
        AddTerminal(13);
        CTerminal& terminal = *doc->Workspace().FindTerminal(12);
        EXPECT_EQ(doc->Editor().EditParam(Node(12, 1), "DLYIN", "45").outcome, EditOutcome::Stored);
        StatusReply status;
        status.params = {{"DLYIN", "60"}};
        EXPECT_TRUE(ApplyNodeReply(terminal, terminal.FindDevice(1), status, "16 Чтение"));
        EXPECT_TRUE(doc->Editor().EditDevice(Node(12, 1), {1, 0, 0, "Склад, \"А\"", "part", ""}));
    }

    // The "what" column of every row the view shows, newest first.
    Strings Whats(CHistoryViewModel& view) {
        EXPECT_TRUE(view.Refresh()) << view.Error();
        Strings whats;
        for (std::size_t row = 0; row < view.Entries().size(); ++row)
            whats.push_back(view.Cell(row, CHistoryViewModel::kDeviceColumn) + " " +
                            view.Cell(row, CHistoryViewModel::kWhatColumn));
        return whats;
    }
    CConfigDatabase& Db() { return doc->Workspace().Database(); }
};

TEST_F(HistoryViewModelTest, FiltersNarrowTheNodesRowsNewestFirst) {
    struct Case {
        const char* name;
        const CTreeNode* node;
        std::string since, who, source, text;
        Strings whats;
    };
    // The device made (its name and password set then), the operator's edit,
    // the reply, the operator's rename.
    const Strings device = {"1 Название",      "1 Параметр DLYIN", "1 Параметр DLYIN",
                            "1 Пароль раздела", "1 Название",       "1 Сетевое устройство"};
    const std::vector<Case> cases = {
        {"device", &Node(12, 1), "", "", "", "", device},
        {"terminal and its devices", &Node(12), "", "", "ответ прибора", "", {"1 Параметр DLYIN"}},
        {"other terminal", &Node(13), "", "", "ответ прибора", "", {}},
        {"operator", &Node(12, 1), "", "", "изменение оператором", "", {"1 Название", "1 Параметр DLYIN", "1 Пароль раздела", "1 Название", "1 Сетевое устройство"}},
        {"text in a value", &Node(12, 1), "", "", "", "Склад", {"1 Название"}},
        {"text in what", nullptr, "", "", "ответ прибора", "dlyin", {"1 Параметр DLYIN"}},
        {"since long ago", &Node(12, 1), "2000-01-01", "", "", "", device},
        {"since later", &Node(12, 1), "2999-01-01 08:00", "", "", "", {}},
        {"nobody", &Node(12, 1), "", "nobody-here", "", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHistoryViewModel view = CHistoryViewModel::ForNode(Db(), c.node);
        view.SetSince(c.since);
        view.SetWho(c.who);
        view.SetSource(c.source);
        view.SetText(c.text);
        EXPECT_EQ(Whats(view), c.whats);
    }
    CHistoryViewModel all(Db());
    EXPECT_EQ(all.Title(), "История изменений");
    EXPECT_EQ(CHistoryViewModel::ForNode(Db(), &Node(12, 1)).Title(),
              "История изменений: устройство 12/1");
    // Who matches the user or the host the rows carry.
    ASSERT_TRUE(all.Refresh());
    all.SetWho(all.Entries().front().host);
    EXPECT_EQ(Whats(all).size(), all.Entries().size());
    EXPECT_GE(all.Entries().size(), 5u) << "the terminals and device made, then the changes";
}

TEST_F(HistoryViewModelTest, CsvQuotesWhatNeedsItAndKeepsTheSourcesDetail) {
    CHistoryViewModel view = CHistoryViewModel::ForNode(Db(), &Node(12, 1));
    ASSERT_TRUE(view.Refresh());
    EXPECT_EQ(view.Cell(1, CHistoryViewModel::kSourceColumn), "ответ прибора: 16 Чтение");
    const std::string path = dir / "history.csv";
    ASSERT_TRUE(view.ExportCsv(path));
    std::istringstream csv(ReadBytes(path));
    Strings lines;
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header, "Время,Кто,Устройство,Что,Было,Стало,Источник,Подробности\r");
    for (std::string line; std::getline(csv, line);) // without the time and who
        lines.push_back(line.substr(line.find(',', line.find(',') + 1) + 1));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "12/1,Название,Офис,\"Склад, \"\"А\"\"\",изменение оператором,\r");
    EXPECT_EQ(lines[1], "12/1,Параметр DLYIN,45,60,ответ прибора,16 Чтение\r");
    EXPECT_FALSE(view.ExportCsv(dir / "no-folder/h.csv"));
}

} // namespace
