// Phone-book and key-list files, the modem port settings and the log export,
// through the document on a real database.
#include "DocTestFixture.h"

#include "db/Device.h"
#include "db/DeviceKey.h"
#include "doc/ExchangeMonitor.h"
#include "doc/ListFiles.h"
#include "comms/Exchange.h"
#include "settings/Encoding.h"
#include "settings/IniFile.h"

#include <sys/stat.h>

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

class ListFilesTest : public DocTest {
protected:
    ListFilesTest() {
        Start();
        node = &AddDevice(AddTerminal(7), 1, kPartition8, "Офис");
    }
    CDevice& Device() { return *node->Device(); }
    std::string File(const char* name) { return dir / name; }
    Strings Keys() {
        Strings keys;
        const std::vector<KeyRow> rows = *doc->Editor().KeyList(*node);
        for (const KeyRow& row : rows)
            keys.push_back(row.code + "|" + row.owner);
        return keys;
    }

    CTreeNode* node = nullptr;
};

TEST_F(ListFilesTest, PhoneBookFileRoundTripAndFailures) {
    ASSERT_TRUE(doc->Editor().SetPhoneNumber(*node, 0, "+79001234567"));
    ASSERT_TRUE(doc->Editor().SetPhoneMask(*node, 0, 0xABCDEF));
    ASSERT_TRUE(doc->Editor().SetPhoneNumber(*node, 9, "112"));
    ASSERT_TRUE(doc->Editor().SavePhoneBook(*node, File("book")));
    EXPECT_EQ(ReadBytes(File("book")).find('\r'), std::string::npos);

    ASSERT_TRUE(doc->Editor().SetPhoneNumber(*node, 0, ""));
    ASSERT_TRUE(doc->Editor().SetPhoneNumber(*node, 9, "000"));
    EXPECT_TRUE(doc->Editor().LoadPhoneBook(*node, File("book")));
    const PhoneBookModel book = *doc->Editor().PhoneBook(*node);
    EXPECT_EQ(book.rows[0].phone, "+79001234567");
    EXPECT_EQ(book.rows[0].mask, 0xABCDEFu);
    EXPECT_EQ(book.rows[9].phone, "112");
    EXPECT_EQ(Rows("SELECT phone FROM device_phone WHERE device_id=1 AND id=9"),
              (std::vector<Strings>{{"112"}}));

    WriteBytes(dir / "empty", "");
    WriteBytes(dir / "junk", "SMS=zzz;");
    EXPECT_FALSE(doc->Editor().LoadPhoneBook(*node, File("missing")));
    EXPECT_FALSE(doc->Editor().LoadPhoneBook(*node, File("empty")));
    EXPECT_FALSE(doc->Editor().LoadPhoneBook(*node, File("junk")));
    EXPECT_FALSE(doc->Editor().SavePhoneBook(*node, File("no/such/folder")));
    EXPECT_EQ(op.messages,
              (Strings{"Невозможно открыть файл: " + File("missing"),
                       std::string(kEmptyFileMessage), std::string(kPhoneBookDataMessage),
                       "Невозможно создать файл: " + File("no/such/folder")}));
}

TEST_F(ListFilesTest, KeyListFileRoundTripInWindows1251) {
    ASSERT_TRUE(doc->Editor().SetKey(*node, 0, "540000001E3C5A01", std::string("Иванов")));
    ASSERT_TRUE(doc->Editor().SetKey(*node, 2, "4500004433221101", std::string("О'Нил, склад")));
    const Strings before = Keys();
    ASSERT_TRUE(doc->Editor().SaveKeyList(*node, File("keys")));
    const std::string bytes = ReadBytes(File("keys"));
    EXPECT_EQ(bytes.substr(0, 25), "540000001E3C5A01,\xC8\xE2\xE0\xED\xEE\xE2\r\n");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 15);

    ASSERT_TRUE(doc->Editor().SetKey(*node, 0, "4500004433221101", std::string("x")));
    EXPECT_TRUE(doc->Editor().LoadKeyList(*node, File("keys")));
    EXPECT_EQ(Keys(), before);

    // Line 2 begins with ",": code kept, owner set; an invalid code is passed
    // over; lines beyond the keys are ignored, keys beyond the lines kept.
    std::string text = "\r\nBAD,Петров\r\n,Сидоров\r\n";
    for (int i = 0; i < 20; ++i)
        text += "540000001E3C5A01,лишний\r\n";
    WriteBytes(dir / "short", Utf8ToCp1251(text));
    EXPECT_TRUE(doc->Editor().LoadKeyList(*node, File("short")));
    const Strings after = Keys();
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[1], "|Петров");
    EXPECT_EQ(after[2], "4500004433221101|Сидоров");
    EXPECT_EQ(after[14], "540000001E3C5A01|лишний");

    // Bytes no text holds: the file is refused whole.
    WriteBytes(dir / "binary",
               std::string("4500004433221101,a") + '\0' + "b\r\n540000001E3C5A01,c\r\n");
    op.messages.clear();
    EXPECT_FALSE(doc->Editor().LoadKeyList(*node, File("binary")));
    EXPECT_EQ(op.messages, Strings{std::string(kEmptyFileMessage)});
    EXPECT_EQ(Keys(), after);
}

TEST(ExchangeLogExport, PasswordsAndPasswordValuesAreMasked) {
    const Strings secrets = {"1234", "", "12"};
    EXPECT_EQ(MaskSecrets("RZD=01;PASS=0000;NPASS=9;", secrets), "RZD=01;PASS=***;NPASS=***;");
    EXPECT_EQ(MaskSecrets("Пароль 1234 и 12", secrets), "Пароль *** и ***");
    EXPECT_EQ(MaskSecrets("NPSWD=abc", {}), "NPSWD=***");
    EXPECT_EQ(MaskSecrets("SPASS=1;", {}), "SPASS=1;");

    // The saved file is its owner's alone.
    TempDir dir;
    const mode_t umask = ::umask(022);
    CIniFile settings;
    CExchange exchange(settings);
    CExchangeMonitor monitor(exchange);
    monitor.SetSecrets({"1234"});
    ASSERT_TRUE(monitor.SaveLog(dir / "log.txt", {{"t", "PASS=1234;"}}));
    ::umask(umask);
    EXPECT_EQ(ReadBytes(dir / "log.txt"), "t\tPASS=***;\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "log.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
