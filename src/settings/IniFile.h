#pragma once
// The settings file "tornucfg.ini": ordered sections of ordered key/value
// entries, ";" comment lines kept, exact case-sensitive lookups, whole-file
// rewrite with CR LF. Also serves as a plain in-memory key/value set.
//
// Text in memory is UTF-8. On disk a file that is valid UTF-8 with non-ASCII
// bytes is UTF-8 (a leading byte-order mark is skipped); anything else is
// Windows-1251. Save writes back in the encoding the file was read in; a new
// file is written in Windows-1251.
#include <string>
#include <vector>

namespace tornu {

class CIniFile {
public:
    enum class FileEncoding { Cp1251, Utf8 };

    struct Entry {
        std::string key; // ";" for a comment line
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    // Remembers the current directory and the name; no file is read.
    explicit CIniFile(std::string fileName = {});

    // Remembers the name, forgets all sections, reads the file. False when it
    // cannot be opened (the object is then empty).
    bool Load(const std::string& fileName);
    // Replaces the file atomically (temporary file + rename); on failure the
    // old file stays intact and the result is false.
    bool Save();

    // An empty key gives false; otherwise section and key are remembered for
    // ErrorText whether or not they are found.
    bool GetValue(const std::string& section, const std::string& key, std::string& value);
    bool SetValue(const std::string& section, const std::string& key, const std::string& value);
    bool AddSection(const std::string& name);
    // Entries other than comments; -1 when the section does not exist.
    int CountEntries(const std::string& section) const;
    bool GetEntry(const std::string& section, int index, std::string& key,
                  std::string& value) const;
    void CopyFrom(const CIniFile& other);
    void Clear();
    // which 0: "Не найден параметр ...", 1: "Недопустимое значение параметра ...".
    bool ErrorText(int which, std::string& text) const;

    const std::vector<Section>& Sections() const { return sections_; }
    const std::string& Directory() const { return directory_; }
    const std::string& FileName() const { return fileName_; }
    std::string Path() const;
    FileEncoding Encoding() const { return encoding_; }

private:
    std::string directory_;
    std::string fileName_;
    std::vector<Section> sections_;
    FileEncoding encoding_ = FileEncoding::Cp1251;
    std::string lastSection_;
    std::string lastKey_;
};

} // namespace tornu
