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
#include "ui/QtTranslation.h"
#include "ui/TerminalView.h"

#include <QApplication>
#include <QLocale>
#include <QStandardPaths>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
    "Использование: tornucfg [--dir ПАПКА | --user-data] [--select НОМЕР]\n"
    "       tornucfg --help | --version\n"
    "\n"
    "Торну-конфигуратор: охранные GSM-терминалы и их сетевые устройства.\n"
    "Настройки и каталог (tornucfg.ini), база данных и журнал модема\n"
    "находятся в рабочей папке.\n"
    "\n"
    "  --dir ПАПКА   рабочая папка (по умолчанию текущая)\n"
    "  --user-data   работать в папке данных пользователя ($XDG_DATA_HOME/tornucfg,\n"
    "                по умолчанию ~/.local/share/tornucfg), с образцом каталога\n"
    "  --select НОМЕР выбрать и раскрыть в дереве базовый модуль (12)\n"
    "                или его устройство (12/1)\n"
    "  --help        эта справка\n"
    "  --version     версия программы\n";

struct Options {
    bool userData = false;
    std::optional<std::string> dir;
    std::optional<std::string> select;
};

// "12" (terminal 12) or "12/1" (its device at address 1): the terminal's
// number and the address, -1 for the terminal itself.
std::optional<std::pair<int, int>> NodeNumber(const std::string& text) {
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char('/'));
    if (parts.size() > 2)
        return std::nullopt;
    bool ok = false;
    const int id = parts.front().toInt(&ok);
    int address = -1;
    if (ok && parts.size() == 2)
        address = parts.back().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return std::pair(id, address);
}

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
        } else if (word == "--select" || word.starts_with("--select=")) {
            std::string value;
            if (word != "--select")
                value = word.substr(9);
            else if (i + 1 < argc)
                value = argv[++i];
            if (!NodeNumber(value)) {
                std::fprintf(stderr, "В --select ожидается номер базового модуля (12) или "
                                     "номер и адрес устройства (12/1)\n");
                return false;
            }
            options.select = value;
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
    // Qt's own dialogs and menus in the operator's language where Qt has it.
    tornu::ui::LoadQtTranslation(app, QLocale::system());

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
    if (options.select) {
        const std::optional<std::pair<int, int>> wanted = NodeNumber(*options.select);
        if (tornu::CTreeNode* node = doc.FindNode(wanted->first, wanted->second))
            frame.TreePane().Reveal(*node);
        else
            std::fprintf(stderr, "Нет в конфигурации: %s\n", options.select->c_str());
    }
    const int code = QApplication::exec();
    doc.OnCloseDocument();
    return code;
}
