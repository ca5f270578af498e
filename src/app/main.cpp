// tornucfg: the desktop program. It works in one folder (the settings file,
// the database, the help file): the current directory, the one named by
// --dir, or with --user-data the user's data folder, which gets the sample
// catalogue on first start so that a program started from a menu finds its
// files.
#include "doc/TornuCfgDoc.h"
#include "ui/DataFiles.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// The user's data folder, with the sample catalogue copied in on first start.
fs::path UserDataFolder() {
    const fs::path folder =
        fs::path(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()) /
        "tornucfg";
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path settings = folder / tornu::kSettingsFileName;
    if (!fs::exists(settings, ec)) {
        const fs::path sample = tornu::ui::FindDataFile(tornu::kSettingsFileName);
        if (!sample.empty())
            fs::copy_file(sample, settings, ec);
    }
    return folder;
}

constexpr const char* kHelp =
    "Использование: tornucfg [--dir ПАПКА | --user-data]\n"
    "       tornucfg --help | --version\n"
    "\n"
    "Торну-конфигуратор: охранные GSM-терминалы и их сетевые устройства.\n"
    "Настройки и каталог (tornucfg.ini), база данных и журнал модема\n"
    "находятся в рабочей папке.\n"
    "\n"
    "  --dir ПАПКА   рабочая папка (по умолчанию текущая)\n"
    "  --user-data   работать в папке данных пользователя ($XDG_DATA_HOME/tornucfg,\n"
    "                по умолчанию ~/.local/share/tornucfg), с образцом каталога\n"
    "  --help        эта справка\n"
    "  --version     версия программы\n";

struct Options {
    bool userData = false;
    std::optional<std::string> dir;
};

// The program's own options, after the window system has taken its own
// ("-platform", "-style" ...); false with the reason said on the standard error.
bool ParseOptions(int argc, char* argv[], Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--user-data")
            options.userData = true;
        else if (word == "--dir" || word.starts_with("--dir=")) {
            std::string value;
            if (word != "--dir")
                value = word.substr(6);
            else if (i + 1 < argc)
                value = argv[++i];
            if (value.empty()) {
                std::fprintf(stderr, "Не задана папка в --dir\n");
                return false;
            }
            options.dir = value;
        } else {
            std::fprintf(stderr, "Неизвестный параметр %s; см. tornucfg --help\n", argv[i]);
            return false;
        }
    }
    if (options.dir && options.userData) {
        std::fprintf(stderr, "--dir и --user-data вместе не задаются\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // Help and version need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--help" || word == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (word == "--version") {
            std::printf("tornucfg %s\n", TORNU_PACKAGE_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tornucfg"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(tornu::ui::kProgramTitle));
    QApplication::setWindowIcon(tornu::ui::ProgramIcon());
    QApplication::setDesktopFileName(QStringLiteral("tornucfg"));

    Options options;
    if (!ParseOptions(argc, argv, options))
        return 2;

    fs::path folder = fs::current_path();
    if (options.dir)
        folder = *options.dir;
    else if (options.userData)
        folder = UserDataFolder();
    std::error_code ec;
    // Every file of the program is looked up in the working folder.
    fs::current_path(folder, ec);
    if (ec) {
        std::fprintf(stderr, "Нет папки %s\n", folder.c_str());
        return 2;
    }

    tornu::ui::CModalRunner runner;
    tornu::ui::CQtOperator op(runner);
    tornu::CTornuCfgDoc doc(op, fs::current_path());
    tornu::ui::CMainFrame frame(doc, op);
    // A cancelled or wrong login ends the program.
    if (!frame.Start())
        return 0;
    frame.show();
    const int code = QApplication::exec();
    doc.OnCloseDocument();
    return code;
}
