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
#include <QCommandLineParser>
#include <QLocale>
#include <QStandardPaths>

#include <cstdio>
#include <filesystem>
#include <optional>
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

// "12" (terminal 12) or "12/1" (its device at address 1): the terminal's
// number and the address, -1 for the terminal itself.
std::optional<std::pair<int, int>> NodeNumber(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('/'));
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

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tornucfg"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(tornu::ui::kProgramTitle));
    QApplication::setWindowIcon(tornu::ui::ProgramIcon());
    QApplication::setDesktopFileName(QStringLiteral("tornucfg"));
    // Qt's own dialogs and menus in the operator's language where Qt has it.
    tornu::ui::LoadQtTranslation(app, QLocale::system());

    QCommandLineParser options;
    options.setApplicationDescription(QString::fromUtf8(tornu::ui::kProgramTitle));
    options.addHelpOption();
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("Рабочая папка (по умолчанию текущая)."),
                                 QStringLiteral("ПАПКА"));
    const QCommandLineOption userData(
        QStringLiteral("user-data"),
        QStringLiteral("Работать в папке данных пользователя ($XDG_DATA_HOME/tornucfg)."));
    const QCommandLineOption select(
        QStringLiteral("select"),
        QStringLiteral("Выбрать и раскрыть в дереве базовый модуль (12) или его устройство (12/1)."),
        QStringLiteral("НОМЕР"));
    options.addOption(dir);
    options.addOption(userData);
    options.addOption(select);
    options.process(app);

    fs::path folder = fs::current_path();
    if (options.isSet(dir))
        folder = options.value(dir).toStdString();
    else if (options.isSet(userData))
        folder = UserDataFolder();
    std::error_code ec;
    // Every file of the program is looked up in the working folder.
    fs::current_path(folder, ec);
    if (ec) {
        std::fprintf(stderr, "Нет папки %s: %s\n", folder.c_str(), ec.message().c_str());
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
    if (options.isSet(select)) {
        const std::optional<std::pair<int, int>> wanted = NodeNumber(options.value(select));
        tornu::CTreeNode* node = wanted ? doc.FindNode(wanted->first, wanted->second) : nullptr;
        if (node)
            frame.TreePane().Reveal(*node);
        else
            std::fprintf(stderr, "Нет в конфигурации: %s\n", qPrintable(options.value(select)));
    }
    const int code = QApplication::exec();
    doc.OnCloseDocument();
    return code;
}
