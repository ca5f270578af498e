#include "settings/Md5Digest.h"

#include <gtest/gtest.h>

using namespace tornu;

TEST(Md5Digest, Rfc1321TestSuite) {
    struct Case {
        const char* input;
        const char* hex;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CMd5Digest(c.input).Hex(), c.hex) << c.input;
        EXPECT_EQ(CMd5Digest::OfBytes(c.input).Hex(), c.hex) << c.input;
    }
}

// Lengths around the 56-byte padding boundary need one or two final blocks.
TEST(Md5Digest, PaddingBoundaries) {
    EXPECT_EQ(CMd5Digest(std::string(55, 'a')).Hex(), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(CMd5Digest(std::string(56, 'a')).Hex(), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(CMd5Digest(std::string(64, 'a')).Hex(), "014842d480b571495a4a0363793f7367");
}

// Stored digests were taken over Windows-1251 bytes:
//   printf 'Пароль' | iconv -f UTF-8 -t CP1251 | md5sum
TEST(Md5Digest, CyrillicIsDigestedInWindows1251) {
    EXPECT_EQ(CMd5Digest("Пароль").Hex(), "08f8e03bd59a7c67dc44028b3e073d5e");
    EXPECT_EQ(CMd5Digest("Торну-конфигуратор: Ёё №5").Hex(), "1765ad85afa93499973be8e9686b3790");
    EXPECT_EQ(CMd5Digest::OfBytes("\xCF\xE0\xF0\xEE\xEB\xFC").Hex(),
              "08f8e03bd59a7c67dc44028b3e073d5e");
}

// "a✓" would become "a?" in the code page; it is digested as UTF-8 instead so
// that it does not match the password "a?".
TEST(Md5Digest, TextOutsideTheCodePageIsDigestedAsUtf8) {
    EXPECT_EQ(CMd5Digest("a✓").Hex(), "e6b9b102f3e756d283b160707c4e8ef9");
    EXPECT_NE(CMd5Digest("a✓").Hex(), CMd5Digest("a?").Hex());
}
