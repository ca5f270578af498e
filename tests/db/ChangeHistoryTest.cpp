// The history of changes: what each kind of change records, passwords as
// changed only, the source of a reply, nothing for a change rolled back or a
// state a reply refreshes, and a deleted terminal's rows kept.
#include "RecordTestFixture.h"

#include "db/DbTransaction.h"

namespace tornu {
namespace {

using test::BusType;
using test::RecordTest;

class ChangeHistoryTest : public RecordTest {
protected:
    std::vector<HistoryEntry> Read(HistoryFilter filter = {}) {
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(db->History().Read(filter, entries)) << db->LastError();
        return entries;
    }
    // "12/4 Название: Офис -> Склад (изменение оператором)", newest first.
    std::vector<std::string> Lines(HistoryFilter filter = {}) {
        std::vector<std::string> lines;
        for (const HistoryEntry& e : Read(filter))
            lines.push_back(std::to_string(e.terminal) + "/" + std::to_string(e.device) + " " +
                            e.what + ": " + e.oldValue + " -> " + e.newValue + " (" + e.source +
                            (e.detail.empty() ? "" : ", " + e.detail) + ")");
        return lines;
    }
};

TEST_F(ChangeHistoryTest, OperatorEditsRecordTheFieldOldAndNewAndPasswordsOnlyAsChanged) {
    auto terminal = NewTerminal(12);
    ASSERT_TRUE(terminal);
    CDevice* device = terminal->CreateDevice(4, BusType(test::kPartitionType));
    ASSERT_TRUE(device);
    CSensor* loop = terminal->CreateLoop(*device, -1, 0);
    ASSERT_TRUE(loop);
    const std::size_t made = Read().size();

    EXPECT_TRUE(terminal->SetPhone("+79001112233"));
    EXPECT_TRUE(terminal->SetPassword("секрет"));
    EXPECT_TRUE(device->SetName("Офис"));
    EXPECT_TRUE(device->SetName("Офис")) << "the same value again records nothing";
    EXPECT_TRUE(device->SetParamValue("DLYIN", "45"));
    EXPECT_TRUE(device->Phones()[1]->SetPhoneNumber("+7 912"));
    EXPECT_TRUE(device->Keys()[0]->SetOwner("Иванов"));
    EXPECT_TRUE(loop->SetName("Дверь"));
    device->SetSystemState(3); // a state a reply refreshes has no history

    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), made + 7);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7),
              (std::vector<std::string>{
                  "12/4 Шлейф 1: Комментарий:  -> Дверь (изменение оператором)",
                  "12/4 Ключ Мастер: Владелец:  -> Иванов (изменение оператором)",
                  "12/4 Телефон 2: Номер телефона:  -> +7912 (изменение оператором)",
                  "12/4 Параметр DLYIN: 30 -> 45 (изменение оператором)",
                  "12/4 Название:  -> Офис (изменение оператором)",
                  "12/-1 Пароль на связь:  -> изменен (изменение оператором)",
                  "12/-1 Номер телефона: +70000000000 -> +79001112233 (изменение оператором)",
              }));
    const HistoryEntry newest = Read().front();
    EXPECT_FALSE(newest.osUser.empty());
    EXPECT_FALSE(newest.host.empty());
    for (const HistoryEntry& e : Read())
        EXPECT_EQ(e.newValue.find("секрет"), std::string::npos);
}

TEST_F(ChangeHistoryTest, ARepliesChangesNameItsCommandAndARolledBackEditLeavesNoRow) {
    auto terminal = NewTerminal(12);
    CDevice* device = terminal->CreateDevice(4, BusType(test::kPartitionType));
    ASSERT_TRUE(device);
    StatusReply status;
    status.params = {{"DLYIN", "60"}};
    status.systemState = 2;
    {
        CChangeSourceScope source(db.get(), ChangeSource::Reply, "16 Чтение состояния");
        ASSERT_TRUE(device->ApplyReply(status));
    }
    EXPECT_EQ(Lines().front(), "12/4 Параметр DLYIN: 30 -> 60 (ответ прибора, 16 Чтение состояния)");

    const std::size_t before = Read().size();
    {
        CDbTransaction transaction(db.get());
        EXPECT_TRUE(device->SetName("Склад"));
        EXPECT_FALSE(device->SetLastTime(std::string(41, '1')));
        EXPECT_FALSE(transaction.End());
    }
    EXPECT_EQ(Read().size(), before) << "the history row goes with its change";
}

TEST_F(ChangeHistoryTest, ADeletedTerminalKeepsItsHistoryAndFiltersFindIt) {
    {
        auto terminal = NewTerminal(12);
        ASSERT_TRUE(terminal->SetPhone("+79001112233"));
        auto other = NewTerminal(13);
        ASSERT_TRUE(other->SetPhone("+79004445566"));
        ASSERT_TRUE(terminal->DeleteRows());
    }
    EXPECT_EQ(Lines({.terminal = 12}),
              (std::vector<std::string>{
                  "12/-1 Базовый модуль: БМ-4 -> удален (изменение оператором)",
                  "12/-1 Номер телефона: +70000000000 -> +79001112233 (изменение оператором)",
                  "12/0 Сетевое устройство:  -> БМ-4 (изменение оператором)",
                  "12/-1 Базовый модуль:  -> БМ-4 (изменение оператором)",
              }));
    EXPECT_EQ(Read({.text = "4445566"}).size(), 1u);
    EXPECT_EQ(Read({.who = "nobody-of-that-name"}).size(), 0u);
    EXPECT_EQ(Read({.since = "2999-01-01"}).size(), 0u);
    EXPECT_EQ(Read({.since = Read().back().time}).size(), Read().size());
}

} // namespace
} // namespace tornu
