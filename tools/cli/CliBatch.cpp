#include "CliBatch.h"

#include "CliOperator.h"

#include "batch/BatchRun.h"
#include "batch/ModemPool.h"
#include "catalogue/CommandDesc.h"
#include "comms/TimeScale.h"
#include "db/Terminal.h"
#include "doc/TornuCfgDoc.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace tornu::cli {

const char* const kBatchHelp =
    "batch new ИМЯ (--terminals 12,15-20 | --all | --from ФАЙЛ) --commands К1,К2\n"
    "          [--attempts N] [--delay СЕК] [--file-in К=ПУТЬ] [--file-out К=ПУТЬ]\n"
    "          [--device-types ТИП1,ТИП2]\n"
    "      batch run|resume НОМЕР [--ports ПОРТ1,ПОРТ2] [--attempts N] [--delay СЕК]\n"
    "      batch status НОМЕР | batch report НОМЕР [--csv ФАЙЛ] | batch list\n"
    "  Пакетный обмен с многими базовыми модулями через пул модемов.\n"
    "  new: задание из базовых модулей (номера и диапазоны, все или из файла) и\n"
    "    команд каталога: команды базового модуля выполняются один раз, команды\n"
    "    устройств - для каждого устройства, которому они подходят. Печатает номер.\n"
    "    Файлы команд - из --file-in/--file-out или запомненные в файле настроек;\n"
    "    выходной файл каждого узла получает его номер: events_0012_03.txt.\n"
    "    --device-types: команды устройств только для устройств этих типов.\n"
    "  run: выполнить задание; resume: продолжить, повторив и неудачные. Модемы -\n"
    "    --ports или секции \"Modem\", \"Modem2\", ... файла настроек. Занятая линия и\n"
    "    нет ответа повторяются (--attempts, по умолчанию 3; --delay, 60 с).\n"
    "    Ход обмена - в стандартный поток ошибок; Ctrl+C останавливает, задание\n"
    "    можно продолжить.\n"
    "  status: состояние каждого базового модуля; report: отчет CSV (UTF-8);\n"
    "  list: все задания.\n"
    "  Выход: 0 все выполнены, 1 есть невыполненные, 2 ошибка вызова или базы данных.";

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitError = 2;

int Fail(const std::string& text) {
    std::cerr << text << std::endl;
    return kExitError;
}

std::optional<int> Positive(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty())
            items.push_back(item);
    return items;
}

struct Batch {
    CTornuCfgDoc& doc;
    const std::vector<std::string>& positional;
    const std::map<std::string, std::string>& values;
    const std::set<std::string>& flags;
    const FileMap& filesIn;
    const FileMap& filesOut;
    CBatchStore& store;

    const std::string* Value(const char* key) const {
        const auto it = values.find(key);
        return it == values.end() ? nullptr : &it->second;
    }
};

// --attempts and --delay over `settings`; false on a bad value (said).
bool TakeSettings(const Batch& b, BatchSettings& settings) {
    if (const std::string* attempts = b.Value("--attempts")) {
        const std::optional<int> n = Positive(*attempts);
        if (!n || *n < 1 || *n > 100) {
            std::cerr << "--attempts: число от 1 до 100" << std::endl;
            return false;
        }
        settings.attempts = *n;
    }
    if (const std::string* delay = b.Value("--delay")) {
        const std::optional<int> n = Positive(*delay);
        if (!n || *n > 86400) {
            std::cerr << "--delay: число секунд от 0 до 86400" << std::endl;
            return false;
        }
        settings.retryDelayMs = *n * 1000;
    }
    return true;
}

std::optional<BatchJob> JobArg(const Batch& b) {
    const std::optional<int> id = b.positional.size() == 2 ? Positive(b.positional[1]) : std::nullopt;
    if (!id) {
        std::cerr << "Не задан номер задания; см. tornucfg-cli batch --help" << std::endl;
        return std::nullopt;
    }
    std::optional<BatchJob> job = b.store.FindJob(*id);
    if (!job)
        std::cerr << "Нет задания " << *id << std::endl;
    return job;
}

int New(const Batch& b) {
    if (b.positional.size() != 2)
        return Fail("Не задано имя задания");
    const int sources = (b.Value("--terminals") != nullptr) + (b.Value("--from") != nullptr) +
                        static_cast<int>(b.flags.count("--all"));
    if (sources != 1)
        return Fail("Задайте базовые модули одним из --terminals, --all, --from");
    std::vector<int> wanted;
    std::string error;
    if (b.flags.count("--all")) {
        for (const auto& terminal : b.doc.Workspace().Terminals())
            wanted.push_back(terminal->Id());
    } else {
        const std::optional<std::vector<int>> listed =
            b.Value("--terminals") ? ParseTerminalList(*b.Value("--terminals"), error)
                                   : ReadTerminalFile(*b.Value("--from"), error);
        if (!listed)
            return Fail(error);
        wanted = *listed;
    }
    std::vector<int> terminals;
    for (int id : wanted) {
        if (b.doc.Workspace().FindTerminal(id))
            terminals.push_back(id);
        else
            std::cerr << "Нет базового модуля " << id << ": в задание не включен" << std::endl;
    }
    if (terminals.empty())
        return Fail("В задании нет ни одного базового модуля");
    const std::string* commands = b.Value("--commands");
    if (!commands || Split(*commands).empty())
        return Fail("Не заданы команды (--commands К1,К2)");
    // The files go with the job: given here, or those the settings file remembers.
    std::vector<const CCommandDesc*> chosen;
    for (const std::string& key : Split(*commands)) {
        CCommandDesc* known = nullptr;
        for (const auto& command : b.doc.Workspace().Catalogue().Commands())
            if (command->Name() == key)
                known = command.get();
        if (!known)
            return Fail("Неизвестная команда " + key);
        for (const auto& [flag, given] :
             {std::pair{kCommandFileIn, &b.filesIn}, std::pair{kCommandFileOut, &b.filesOut}})
            if (const auto named = given->find(key); named != given->end() && known->HasFile(flag))
                known->SetFileName(flag, named->second);
        chosen.push_back(known);
    }
    std::string problem;
    std::string files = BatchCommandFiles(chosen, problem);
    if (!problem.empty())
        return Fail(problem.rfind("Не задан входной файл команды ", 0) == 0
                        ? problem + " (--file-in " + problem.substr(problem.rfind(' ') + 1) + "=ПУТЬ)"
                        : problem);
    for (const auto& [flag, given] :
         {std::pair{kCommandFileIn, &b.filesIn}, std::pair{kCommandFileOut, &b.filesOut}})
        for (const auto& entry : *given)
            if (BatchFileOf(files, entry.first, flag).empty())
                return Fail("Команда " + entry.first + " не входит в задание или не работает с таким файлом");
    if (const std::string* types = b.Value("--device-types")) {
        std::vector<std::string> names = Split(*types);
        for (const std::string& name : names) {
            bool known = false;
            for (const auto& type : b.doc.Workspace().Catalogue().BusTypes())
                known = known || type->Name() == name;
            if (!known)
                return Fail("Неизвестный тип устройства " + name);
        }
        const std::optional<std::string> kept = BatchTypesText(names);
        if (!kept)
            return Fail("Тип устройства не может содержать \"|\" или \";\"");
        files += *kept;
    }
    BatchSettings settings;
    if (!TakeSettings(b, settings))
        return kExitError;
    BatchJob job;
    job.name = b.positional[1];
    const char* user = std::getenv("USER");
    const passwd* account = user ? nullptr : getpwuid(getuid());
    job.owner = user ? user : account ? account->pw_name : "";
    job.commands = *commands;
    job.settings = BatchSettingsText(settings) + files;
    if (CResult made = b.store.CreateJob(job, terminals); !made)
        return Fail("Невозможно создать задание: " + made.Error());
    std::cout << job.id << std::endl;
    return kExitOk;
}

// 0 when every terminal is done, else 1.
int Outcome(CBatchStore& store, int job) {
    for (const BatchTerminal& row : store.Terminals(job))
        if (row.state != kBatchDone)
            return kExitFailed;
    return kExitOk;
}

int Run(const Batch& b, bool resume) {
    const std::optional<BatchJob> job = JobArg(b);
    if (!job)
        return kExitError;
    CBatchRun run(b.doc.Workspace(), b.store, *job);
    if (!run.UnknownCommands().empty())
        return Fail("Нет в каталоге команды " + run.UnknownCommands().front());
    if (const std::string problem = run.FileProblem(); !problem.empty())
        return Fail(problem);
    BatchSettings settings = ReadBatchSettings(job->settings);
    if (!TakeSettings(b, settings))
        return kExitError;
    run.SetSettings(settings);
    const CIniFile& ini = b.doc.Workspace().Settings();
    std::vector<BatchPort> pool = b.Value("--ports") ? ModemPool(ini, Split(*b.Value("--ports")))
                                                     : ModemPool(ini);
    if (pool.empty())
        return Fail("Не заданы порты модемов");
    run.OnProgress([](const std::string& line) { std::cerr << line << std::endl; });
    const CResult ran = run.Run(std::move(pool), [] { return g_interrupted != 0; }, resume);
    if (!ran)
        return Fail("Ошибка записи хода задания: " + ran.Error());
    if (g_interrupted)
        std::cerr << "Остановлено; продолжить: tornucfg-cli batch resume " << job->id << std::endl;
    return Outcome(b.store, job->id);
}

int Status(const Batch& b) {
    const std::optional<BatchJob> job = JobArg(b);
    if (!job)
        return kExitError;
    const std::vector<BatchTerminal> rows = b.store.Terminals(job->id);
    std::map<int, int> counts;
    for (const BatchTerminal& row : rows)
        ++counts[row.state];
    std::cout << "Задание " << job->id << " \"" << job->name << "\" (" << job->owner << ", "
              << job->created << "): " << job->commands << "\n";
    for (const auto& [state, count] : counts)
        std::cout << "  " << BatchStateCaption(state) << ": " << count << "\n";
    for (const BatchTerminal& row : rows) {
        std::cout << row.terminal << "\t" << BatchStateCaption(row.state) << "\t" << row.attempts;
        if (!row.cause.empty())
            std::cout << "\t" << row.cause;
        std::cout << "\n";
    }
    if (!job->log.empty())
        std::cout << job->log;
    return Outcome(b.store, job->id);
}

int Report(const Batch& b) {
    const std::optional<BatchJob> job = JobArg(b);
    if (!job)
        return kExitError;
    const std::string csv = BatchReportCsv(b.store.Terminals(job->id));
    const std::string* path = b.Value("--csv");
    if (!path) {
        std::cout << csv;
        return kExitOk;
    }
    std::ofstream out(*path, std::ios::binary | std::ios::trunc);
    out << csv;
    out.close();
    return out ? kExitOk : Fail("Невозможно записать " + *path);
}

int List(const Batch& b) {
    for (const BatchJob& job : b.store.Jobs()) {
        int done = 0;
        const std::vector<BatchTerminal> rows = b.store.Terminals(job.id);
        for (const BatchTerminal& row : rows)
            done += row.state == kBatchDone;
        std::cout << job.id << "\t" << job.name << "\t" << job.owner << "\t" << job.created << "\t"
                  << done << "/" << rows.size() << "\n";
    }
    return kExitOk;
}

} // namespace

int RunBatch(CTornuCfgDoc& doc, const std::vector<std::string>& positional,
             const std::map<std::string, std::string>& values, const std::set<std::string>& flags,
             const FileMap& filesIn, const FileMap& filesOut) {
    // Tests run the front end and the simulator at the same small scale.
    if (const char* scale = std::getenv("TORNU_TIME_SCALE"); scale && std::atof(scale) > 0)
        CTimeScale::Set(std::atof(scale));
    CBatchStore store(doc.Workspace().Database());
    if (CResult opened = store.Open(); !opened)
        return Fail("Невозможно открыть таблицы заданий: " + opened.Error());
    const Batch b{doc, positional, values, flags, filesIn, filesOut, store};
    const std::string& what = positional.front();
    if (what == "new")
        return New(b);
    if (what == "run" || what == "resume")
        return Run(b, what == "resume");
    if (what == "status")
        return Status(b);
    if (what == "report")
        return Report(b);
    if (what == "list")
        return List(b);
    return Fail("Неизвестная команда batch " + what + "; см. tornucfg-cli batch --help");
}

} // namespace tornu::cli
