#include "doc/Workspace.h"

#include "db/ConfigurationLoader.h"
#include "doc/Operator.h"
#include "settings/Md5Digest.h"

namespace tornu {

namespace {

constexpr const char* kMainSection = "Main";
constexpr const char* kPasswordKey = "Password";

std::filesystem::path FolderOrCurrent(std::filesystem::path folder) {
    if (!folder.empty())
        return folder;
    std::error_code ec;
    folder = std::filesystem::current_path(ec);
    return ec ? std::filesystem::path(".") : folder;
}

} // namespace

CWorkspace::CWorkspace(IOperator& op, std::filesystem::path folder)
    : operator_(op), folder_(FolderOrCurrent(std::move(folder))) {
    // The settings come first: they may name the database to connect to.
    // A missing file is a new installation; one that exists but cannot be
    // read is not, and the operator hears of it.
    const std::string settingsPath = (folder_ / kSettingsFileName).string();
    if (const CResult loaded = settings_.Load(settingsPath);
        !loaded && std::filesystem::exists(settingsPath))
        settingsError_ = kSettingsUnreadableMessage + loaded.Error();
    database_ = std::make_unique<CConfigDatabase>(settings_, folder_.string());
    database_->SetNotice([this](const std::string& line) { operator_.Inform(line); });
    catalogue_.LoadPhoneBookLayouts(settings_);
}

bool CWorkspace::Open() {
    if (!CheckProgramPassword())
        return false;
    catalogue_.LoadTypes(settings_);
    // A database that cannot be opened or read is said so once, and nothing
    // is written in it (it refuses every statement from then on); the tree
    // stays empty.
    if (!settingsError_.empty())
        operator_.Message(settingsError_);
    if (!LoadConfiguration(*database_, catalogue_.Params(), terminals_) &&
        !database_->Failure().empty())
        operator_.Message(database_->Failure());
    return true;
}

bool CWorkspace::ReadConfiguration(TerminalList& terminals) {
    if (LoadConfiguration(*database_, catalogue_.Params(), terminals))
        return true;
    operator_.Message(database_->Failure().empty() ? database_->LastError()
                                                   : database_->Failure());
    terminals.clear();
    return false;
}

bool CWorkspace::CheckProgramPassword() {
    std::string stored;
    if (!settings_.GetValue(kMainSection, kPasswordKey, stored) || stored.empty())
        return true;
    for (;;) {
        std::optional<std::string> typed = operator_.AskPassword(PasswordMode::Login);
        if (!typed)
            return false;
        if (typed->empty()) {
            operator_.Message(kEmptyPasswordMessage);
            continue;
        }
        // Exactly as stored: a digest kept in upper case never matches.
        if (CMd5Digest(*typed).Hex() == stored)
            return true;
        operator_.Message(kWrongPasswordMessage);
        return false;
    }
}

bool CWorkspace::ChangeProgramPassword() {
    std::optional<std::string> typed = operator_.AskPassword(PasswordMode::NewPassword);
    if (!typed)
        return false;
    const std::string digest = typed->empty() ? std::string() : CMd5Digest(*typed).Hex();
    if (!settings_.SetValue(kMainSection, kPasswordKey, digest))
        return false;
    const CResult saved = settings_.Save();
    if (!saved)
        operator_.Message(kSettingsNotSavedMessage + saved.Error());
    return saved.ok();
}

CTerminal* CWorkspace::FindTerminal(int id) const {
    for (const auto& terminal : terminals_)
        if (terminal->Id() == id)
            return terminal.get();
    return nullptr;
}

ModemPortSettings CWorkspace::ModemPort(const std::vector<ModemPortEntry>& entries) const {
    return ReadModemPortSettings(settings_, entries);
}

bool CWorkspace::SetModemPort(const ModemPortSettings& chosen) {
    if (std::optional<std::string_view> refusal = CheckModemPortSettings(chosen)) {
        operator_.Message(std::string(*refusal));
        return false;
    }
    if (!WriteModemPortSettings(settings_, chosen)) {
        operator_.Message("Невозможно сохранить " + settings_.Path());
        return false;
    }
    return true;
}

} // namespace tornu
