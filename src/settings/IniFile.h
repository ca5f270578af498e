#pragma once
// The settings file "tornucfg.ini": ordered sections of ordered key/value
// entries, ";" comment lines kept, exact case-sensitive lookups, whole-file
// rewrite with CR LF. Also serves as a plain in-memory key/value set.
//
// Text in memory is UTF-8. On disk a file that is valid UTF-8 with non-ASCII
// bytes is UTF-8 (a leading byte-order mark is skipped); anything else is
// Windows-1251. Save writes back in the encoding the file was read in; a new
// file is written in Windows-1251. Only when the Windows-1251 form would not
// read back as the same text (a character the code page lacks, or bytes that
// happen to form valid UTF-8) is the file written as UTF-8 with a mark.
//
// File format, one item a line, lines ended by CR LF (a bare LF is accepted):
//   [Section]
//   key=value
//   ;comment
// White space around names, keys and values is not significant.
#include "settings/Result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CIniFile {
public:
    enum class FileEncoding { Cp1251, Utf8 };

    struct Entry {
        std::string key; // ";" for a comment line
        std::string value;
        bool operator==(const Entry&) const = default;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        bool operator==(const Section&) const = default;
    };

    // Remembers the current directory and the name; no file is read.
    explicit CIniFile(std::string fileName = {});

    // Remembers the name, forgets all sections, reads the file. A failure
    // carries the system's text ("No such file or directory" for a missing
    // file); the object is then empty.
    CResult Load(const std::string& fileName);
    // Forgets all sections and reads the file's bytes from memory; the file
    // name is kept. This is what Load does once the bytes are read.
    void LoadFromBytes(std::string_view bytes);
    // Replaces the file atomically (temporary file in the same folder, flushed
    // to disk, renamed over the old one; the old file's permissions are kept).
    // On failure the old file stays intact and the result carries the
    // system's text. A file without write permission is not replaced.
    CResult Save();
    // The bytes Save would write now.
    std::string ToBytes() const;

    // An empty key gives false; otherwise section and key are remembered for
    // ErrorText whether or not they are found.
    bool GetValue(const std::string& section, const std::string& key, std::string& value);
    // The same lookup without remembering anything: safe for a reader that
    // shares the object.
    bool FindValue(const std::string& section, const std::string& key, std::string& value) const;
    // False for an empty section name or key, and for a name, key or value
    // that the file could not give back as it is (a line break, white space
    // at either end of a name or key, "=" in a key, a key opening with "["
    // or ";"). The key ";" always appends a comment.
    bool SetValue(const std::string& section, const std::string& key, const std::string& value);
    // False when the section exists (or the name could not be stored).
    bool AddSection(const std::string& name);
    // Entries other than comments; -1 when the section does not exist.
    int CountEntries(const std::string& section) const;
    // The index-th entry other than comments, in file order.
    bool GetEntry(const std::string& section, int index, std::string& key,
                  std::string& value) const;
    // Clears this object, then sets every entry of the other, section by
    // section. Sections without entries are not copied.
    void CopyFrom(const CIniFile& other);
    void Clear();
    // which 0: "Не найден параметр <key> секция <section>",
    // which 1: "Недопустимое значение параметра <key> секция <section>",
    // naming the key and section of the last lookup. Other values: false.
    bool ErrorText(int which, std::string& text) const;

    const std::vector<Section>& Sections() const { return sections_; }
    const std::string& Directory() const { return directory_; }
    const std::string& FileName() const { return fileName_; }
    // Directory + "/" + file name.
    std::string Path() const;
    FileEncoding Encoding() const { return encoding_; }
    // True when the file was read, or will be written, with a UTF-8 byte-order mark.
    bool HasByteOrderMark() const { return byteOrderMark_; }

private:
    Section* FindSection(const std::string& name);
    const Section* FindSection(const std::string& name) const;
    static void Store(Section& section, std::string key, std::string value);
    // `current`: index of the section taking entries; none while lines are dropped.
    void ParseLine(std::string_view line, std::size_t& current);
    std::string Render() const;
    std::string Encode(const std::string& text, FileEncoding& encoding, bool& mark) const;

    std::string directory_;
    std::string fileName_;
    std::vector<Section> sections_;
    FileEncoding encoding_ = FileEncoding::Cp1251;
    bool byteOrderMark_ = false;
    std::string lastSection_;
    std::string lastKey_;
};

} // namespace tornu
