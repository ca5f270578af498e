#include "settings/Md5Digest.h"

#include <gtest/gtest.h>

using namespace tornu;

// RFC 1321's suite, the 56-byte padding boundary, and Cyrillic digested in
// Windows-1251 as the stored digests were (printf 'Пароль' | iconv -t CP1251 | md5sum).
// "a✓" cannot be kept by the code page; it is digested as UTF-8 so that it
// does not match "a?".
TEST(Md5Digest, KnownDigests) {
    const struct {
        std::string input;
        const char* hex;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {"Пароль", "08f8e03bd59a7c67dc44028b3e073d5e"},
        {"a✓", "e6b9b102f3e756d283b160707c4e8ef9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CMd5Digest(c.input).Hex(), c.hex) << c.input;
    EXPECT_EQ(CMd5Digest::OfBytes("\xCF\xE0\xF0\xEE\xEB\xFC").Hex(),
              "08f8e03bd59a7c67dc44028b3e073d5e");
    EXPECT_EQ(CMd5Digest::OfBytes("abc").Hex(), "900150983cd24fb0d6963f7d28e17f72");
}
