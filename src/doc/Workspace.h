#pragma once
// What the running program works with: its folder, the settings file, the
// program password, the equipment catalogue, the configuration database and
// the terminals read from it.
#include "catalogue/Catalogue.h"
#include "db/ConfigDatabase.h"
#include "db/Terminal.h"
#include "doc/ModemPortSettings.h"
#include "settings/IniFile.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tornu {

class IOperator;

inline constexpr const char* kSettingsFileName = "tornucfg.ini";

inline constexpr const char* kEmptyPasswordMessage = "Пароль не может быть пустым";
inline constexpr const char* kWrongPasswordMessage = "Некорректный пароль";
inline constexpr const char* kSettingsUnreadableMessage = "Невозможно прочитать файл настроек: ";
inline constexpr const char* kSettingsNotSavedMessage = "Невозможно сохранить файл настроек: ";

class CWorkspace {
public:
    using TerminalList = std::vector<std::unique_ptr<CTerminal>>;

    // Works in `folder` (by default the current directory): loads its
    // "tornucfg.ini" (a missing file leaves the settings empty), connects to
    // the configuration database as the settings say (by default the file
    // in that folder), creating its missing tables, and reads the phone-book
    // layouts.
    CWorkspace(IOperator& op, std::filesystem::path folder);
    CWorkspace(const CWorkspace&) = delete;
    CWorkspace& operator=(const CWorkspace&) = delete;

    // The program password when one is set, then the catalogue and the whole
    // configuration. False when the operator cancels the login or types a
    // wrong password.
    bool Open();
    // The configuration read again; the operator is told why when it cannot
    // be, and `terminals` stays empty then.
    bool ReadConfiguration(TerminalList& terminals);
    // "Сменить пароль ...": stores the digest of the new password, or an
    // empty value that removes the login, and saves the settings file. False
    // when cancelled or the file could not be saved.
    bool ChangeProgramPassword();

    // "Настройка порта модема": what it shows, and the choice written with
    // the settings file saved ("Выберите порт" / "Выберите скорость", or the
    // save failure, told to the operator).
    ModemPortSettings ModemPort(const std::vector<ModemPortEntry>& entries) const;
    bool SetModemPort(const ModemPortSettings& chosen);

    CIniFile& Settings() { return settings_; }
    const CIniFile& Settings() const { return settings_; }
    // Why the settings file that exists could not be read; empty otherwise.
    const std::string& SettingsError() const { return settingsError_; }
    CCatalogue& Catalogue() { return catalogue_; }
    const CCatalogue& Catalogue() const { return catalogue_; }
    CConfigDatabase& Database() { return *database_; }
    TerminalList& Terminals() { return terminals_; }
    const TerminalList& Terminals() const { return terminals_; }
    CTerminal* FindTerminal(int id) const;
    const std::filesystem::path& Folder() const { return folder_; }
    IOperator& Operator() { return operator_; }

private:
    bool CheckProgramPassword();

    IOperator& operator_;
    std::filesystem::path folder_;
    CIniFile settings_;
    std::string settingsError_;
    CCatalogue catalogue_;
    std::unique_ptr<CConfigDatabase> database_;
    // After the catalogue and the database: terminals refer to both.
    TerminalList terminals_;
};

} // namespace tornu
