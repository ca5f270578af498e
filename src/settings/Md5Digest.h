#pragma once
// MD5 digest (RFC 1321) as 32 lowercase hexadecimal digits, the form in which
// the program password is stored in the settings file.
#include <string>
#include <string_view>

namespace tornu {

class CMd5Digest {
public:
    // The digest of the text's Windows-1251 bytes, as the digests stored by
    // existing installations were taken. Text the code page cannot hold
    // (which no such installation can have stored) is digested as its UTF-8
    // bytes, so that different passwords never collapse into one.
    explicit CMd5Digest(std::string_view utf8Text);

    // The digest of the bytes as they are.
    static CMd5Digest OfBytes(std::string_view bytes);

    const std::string& Hex() const { return hex_; }

private:
    CMd5Digest() = default;

    std::string hex_;
};

} // namespace tornu
