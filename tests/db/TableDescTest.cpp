// The tables described once: the stored format they create, texts at and
// past their columns' limits, NULL cells, and edits that write only their own
// column, so that two programs on one database keep each other's changes.
#include "RecordTestFixture.h"

#include "db/DbTransaction.h"
#include "db/Tables.h"

namespace tornu {
namespace {

using test::BusType;
using test::RecordTest;

TEST(TableDesc, StoredFormatIsTheOneOtherProgramsRead) {
    const std::pair<const char*, const char*> expected[] = {
        {"CREATE TABLE terminal (id int,phone varchar(40),password varchar(40),config TEXT,"
         "term_config TEXT)",
         "CREATE UNIQUE INDEX terminal_index ON terminal (id)"},
        {"CREATE TABLE device (term_id int,id int,password varchar(40),name varchar(255),"
         "master_id int,last_key int,systemstate int,last_time varchar(40),config TEXT,"
         "sensor_cnt int)",
         "CREATE UNIQUE INDEX device_index ON device (term_id,id)"},
        {"CREATE TABLE sensor (term_id int,device_id int,id int,state int,type int,"
         "name varchar(255))",
         "CREATE UNIQUE INDEX sensor_index ON sensor (term_id,id)"},
        {"CREATE TABLE device_param (term_id int,device_id int,name varchar(20),"
         "param_value varchar(255))",
         "CREATE UNIQUE INDEX device_param_index ON device_param (term_id,device_id,name)"},
        {"CREATE TABLE device_phone (term_id int,device_id int,id int,type int,mask int,"
         "phone varchar(20))",
         "CREATE UNIQUE INDEX device_phone_index ON device_phone (term_id,device_id,id)"},
        {"CREATE TABLE device_key (term_id int,device_id int,id int,key_value varchar(40),"
         "key_owner varchar(100))",
         "CREATE UNIQUE INDEX device_key_index ON device_key (term_id,device_id,id)"},
    };
    ASSERT_EQ(SchemaTables().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(SchemaTables()[i]->CreateStatement(), expected[i].first);
        EXPECT_EQ(SchemaTables()[i]->IndexStatement(), expected[i].second);
    }
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST_F(RecordTest, TextsUpToTheirColumnsRoundTripAndLongerOnesAreRefusedWithTheirLimit) {
    const std::string name255 = Repeat("Ж", 254) + "'";
    const std::string config = Repeat("Шлейф 'д'Артаньян' ; ", 5000); // about 100 KB
    {
        auto terminal = NewTerminal(12);
        ASSERT_TRUE(terminal);
        CDevice* device = terminal->CreateDevice(4, BusType(test::kPartitionType));
        ASSERT_TRUE(device);
        EXPECT_TRUE(device->SetName(name255));
        EXPECT_TRUE(terminal->SetLoopConfiguration(config));
        EXPECT_TRUE(device->Keys()[0]->SetOwner(Repeat("Я", 100)));

        db->TakeFailedStatementError();
        EXPECT_FALSE(device->SetName(name255 + "Ж"));
        EXPECT_EQ(db->Outcome(false).Error(),
                  "ошибка записи в базу данных: Поле \"Название\" не может быть длиннее 255 "
                  "символов");
        EXPECT_FALSE(device->Keys()[0]->SetOwner(Repeat("Я", 101)));
        EXPECT_EQ(db->TakeFailedStatementError(),
                  "Поле \"Владелец\" не может быть длиннее 100 символов");
        EXPECT_FALSE(terminal->SetPhone(Repeat("7", 41)));
        EXPECT_EQ(device->Name(), name255) << "a refused text changes nothing";

        // Inside a transaction the refusal rolls back what went before.
        CDbTransaction transaction(db.get());
        EXPECT_TRUE(device->SetPassword("новый"));
        EXPECT_FALSE(device->SetLastTime(Repeat("1", 41)));
        EXPECT_FALSE(transaction.End());
    }
    auto terminals = Reload();
    ASSERT_EQ(terminals.size(), 1u);
    const CDevice* device = terminals[0]->FindDevice(4);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->Name(), name255);
    EXPECT_EQ(device->Password(), "");
    EXPECT_EQ(terminals[0]->ReadConfiguration(), config);
    EXPECT_EQ(device->Keys()[0]->Owner(), Repeat("Я", 100));
}

TEST_F(RecordTest, NullCellsReadAsEmptyTextsAndZero) {
    const DbValue row[] = {7, DbValue(), DbValue(), test::kHostWithoutModule, DbValue()};
    ASSERT_TRUE(db->Execute("INSERT INTO terminal VALUES(?,?,?,?,?)", row)) << db->LastError();
    const DbValue device[] = {7, 0, DbValue(), DbValue(), DbValue(), DbValue(), DbValue(),
                              DbValue(), test::kPartitionType, DbValue()};
    ASSERT_TRUE(db->Execute("INSERT INTO device VALUES(?,?,?,?,?,?,?,?,?,?)", device));
    auto terminals = Reload();
    ASSERT_EQ(terminals.size(), 1u);
    EXPECT_EQ(terminals[0]->Phone(), "");
    const CDevice* loaded = terminals[0]->FindDevice(0);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Name(), "");
    EXPECT_EQ(loaded->Master(), 0);
    EXPECT_EQ(loaded->LoopCountSetting(), 0);
}

TEST_F(RecordTest, TwoProgramsEditingOneTerminalKeepEachOthersColumns) {
    {
        auto terminal = NewTerminal(12);
        ASSERT_TRUE(terminal && terminal->CreateDevice(4, BusType(test::kPartitionType)));
    }
    auto first = Reload();
    auto second = Reload(); // another program, its own connection and copy
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(first[0]->SetPassword("новый"));
    EXPECT_TRUE(second[0]->SetPhone("+79990000000"));
    EXPECT_TRUE(first[0]->FindDevice(4)->SetName("Склад"));
    EXPECT_TRUE(second[0]->FindDevice(4)->SetLoopCount(2));
    EXPECT_TRUE(second[0]->FindDevice(4)->SetName("Офис")) << "the later one wins";

    auto after = Reload();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0]->Password(), "новый");
    EXPECT_EQ(after[0]->Phone(), "+79990000000");
    EXPECT_EQ(after[0]->FindDevice(4)->Name(), "Офис");
    EXPECT_EQ(after[0]->FindDevice(4)->LoopCountSetting(), 2);
}

} // namespace
} // namespace tornu
