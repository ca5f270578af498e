#include "DocTestFixture.h"

#include "settings/Md5Digest.h"

#include <filesystem>

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

void SetSetting(const std::filesystem::path& folder, const std::string& section,
                const std::string& key, const std::string& value) {
    CIniFile ini;
    EXPECT_TRUE(ini.Load((folder / kSettingsFileName).string()));
    ASSERT_TRUE(ini.SetValue(section, key, value));
    ASSERT_TRUE(ini.Save());
}

} // namespace

TEST_F(DocTest, FirstStartInEmptyFolderCreatesTheTables) {
    std::filesystem::remove(dir / kSettingsFileName);
    Start();
    EXPECT_EQ(Count("terminal") + Count("device_key"), 0);
    EXPECT_TRUE(op.passwordModes.empty());
    EXPECT_TRUE(doc->Workspace().Catalogue().HostTypes().empty());
    EXPECT_EQ(view.Kinds(), std::vector<Told>{Told::Filled});
}

TEST_F(DocTest, SecondStartDoesNotLoadAgain) {
    Start();
    AddTerminal(7);
    Restart();
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_EQ(doc->Workspace().Terminals().size(), 1u);
    EXPECT_EQ(Outline(), (Strings{"[0007] БМ-4", "  [00] "}));
}

struct LoginCase {
    const char* name;
    enum { None, Lower, Upper } stored;
    std::vector<std::optional<std::string>> typed;
    bool started;
    Strings messages;
    std::size_t asked; // prompts shown; a failed login asks no more
};

class LoginTest : public DocTest, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginTest, Outcome) {
    const LoginCase& c = GetParam();
    std::string digest = CMd5Digest("секрет").Hex();
    if (c.stored == LoginCase::Upper)
        for (char& ch : digest)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (c.stored != LoginCase::None)
        SetSetting(dir.Path(), "Main", "Password", digest);
    op.passwords.assign(c.typed.begin(), c.typed.end());
    Start(c.started);
    EXPECT_EQ(op.messages, c.messages);
    EXPECT_EQ(op.passwordModes.size(), c.asked);
    // The catalogue is read only behind the login.
    EXPECT_EQ(doc->Workspace().Catalogue().HostTypes().empty(), !c.started);
}

const char* const kEmpty = kEmptyPasswordMessage;
const char* const kWrong = kWrongPasswordMessage;

INSTANTIATE_TEST_SUITE_P(
    Doc, LoginTest,
    ::testing::Values(
        LoginCase{"NoPassword", LoginCase::None, {}, true, {}, 0},
        LoginCase{"EmptyAsksAgain", LoginCase::Lower, {"", "секрет"}, true, {kEmpty}, 2},
        LoginCase{"OneAttempt", LoginCase::Lower, {"Секрет", "секрет"}, false, {kWrong}, 1},
        LoginCase{"Cancel", LoginCase::Lower, {std::nullopt}, false, {}, 1},
        LoginCase{"UpperCaseDigest", LoginCase::Upper, {"секрет"}, false, {kWrong}, 1}),
    [](const auto& info) { return std::string(info.param.name); });
