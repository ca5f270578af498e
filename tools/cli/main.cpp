// tornucfg-cli: the configurator's document and exchange engine from the
// command line, for scripts, tests and work without the desktop program.
#include "CliBatch.h"
#include "CliDiff.h"
#include "CliHistory.h"
#include "CliOperator.h"
#include "CliShow.h"

#include "catalogue/CommandDesc.h"
#include "catalogue/ParamEdit.h"
#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DevicePhone.h"
#include "db/Terminal.h"
#include "doc/TornuCfgDoc.h"
#include "import/StationImport.h"
#include "protocol/ConfigText.h"
#include "settings/Encoding.h"

#include "protocol/KeyCode.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <unistd.h>

namespace tornu::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // an operation refused, or a command not carried out
constexpr int kExitError = 2;  // bad use, nothing found, or the exchange failed

constexpr const char* kProgramHelp =
    R"(Использование: tornucfg-cli [--dir ПАПКА] КОМАНДА [АРГУМЕНТЫ]
       tornucfg-cli --help | --version

Работает с tornucfg.ini (каталог и настройки) и базой данных в текущей папке
или в папке, заданной --dir.

Команды:
  list                      дерево базовых модулей и устройств
  show УСТР                 параметры базового модуля или устройства
  run УСТР КОМАНДА...       обмен с командами каталога
  import ПАПКА              импорт данных станции мониторинга
  add-terminal НОМЕР        новый базовый модуль
  add-device УСТР           новое сетевое (или подчиненное) устройство
  edit УСТР                 изменить базовый модуль или устройство
  delete УСТР               удалить базовый модуль или устройство
  distribute НОМЕР          распределение шлейфов
  set-param УСТР ИМЯ ЗНАЧ   значение параметра (в отображаемом виде)
  set-key УСТР N КОД        ключ N (0..14) устройства
  set-phone УСТР N ТЕЛЕФОН  номер N телефонной книги устройства
  phonebook УСТР load|save ФАЙЛ   телефонная книга устройства в файл или из файла
  keys УСТР load|save ФАЙЛ  список ключей устройства в файл или из файла
  modem                     порт модема: показать или задать
  batch new|run|resume|status|report|list   пакетный обмен с многими модулями
  history [УСТР]            история изменений
  diff УСТР                 сравнить базу с прибором

УСТР: номер базового модуля (12) или номер и адрес устройства (12/1).
Значение может начинаться с "-", если записано как --параметр=ЗНАЧЕНИЕ;
"--" заканчивает параметры, дальше только аргументы.
Пароль программы берется из TORNU_PASSWORD или спрашивается.
Коды выхода: 0 успех; 1 операция отклонена или команда не выполнена;
2 ошибка вызова, неизвестное устройство, неверный пароль или сбой обмена.
"tornucfg-cli КОМАНДА --help" описывает команду, --version называет версию.
)";

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::map<std::string, std::string> filesIn;
    std::map<std::string, std::string> filesOut;
};

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

struct Context {
    CTornuCfgDoc& doc;
    CCliOperator& op;
    Args& args;
};

int Fail(const std::string& text) {
    std::cerr << text << std::endl;
    return kExitError;
}

// "12" or "12/1": the tree item of a terminal or one of its devices.
CTreeNode* FindNode(Context& ctx, const std::string& spec) {
    const std::size_t slash = spec.find('/');
    const std::optional<int> id = ParseInt(std::string_view(spec).substr(0, slash));
    if (!id || !ctx.doc.FindNode(*id)) {
        std::cerr << "Нет базового модуля " << spec.substr(0, slash) << std::endl;
        return nullptr;
    }
    if (slash == std::string::npos)
        return ctx.doc.FindNode(*id);
    const std::optional<int> address = ParseInt(std::string_view(spec).substr(slash + 1));
    CTreeNode* node = address && *address >= 0 ? ctx.doc.FindNode(*id, *address) : nullptr;
    if (!node)
        std::cerr << "Нет устройства с адресом " << spec.substr(slash + 1) << " у базового модуля "
                  << *id << std::endl;
    return node;
}

CTreeNode* NodeArg(Context& ctx, std::size_t index, const char* what = "УСТР") {
    if (ctx.args.positional.size() <= index) {
        std::cerr << "Не задано " << what << std::endl;
        return nullptr;
    }
    return FindNode(ctx, ctx.args.positional[index]);
}

std::string Value(const Context& ctx, const std::string& key, std::string fallback = {}) {
    const auto it = ctx.args.values.find(key);
    return it == ctx.args.values.end() ? fallback : it->second;
}

int Result(bool ok) {
    return ok ? kExitOk : kExitFailed;
}

int CmdList(Context& ctx) {
    PrintTree(ctx.doc.Tree(), std::cout);
    return kExitOk;
}

int CmdShow(Context& ctx) {
    CTreeNode* node = NodeArg(ctx, 0);
    if (!node)
        return kExitError;
    PrintNode(ctx.doc.Editor(), *node, ctx.args.flags.count("--show-passwords") > 0, std::cout);
    return kExitOk;
}

int CmdRun(Context& ctx) {
    CTreeNode* node = NodeArg(ctx, 0);
    if (!node)
        return kExitError;
    if (ctx.args.positional.size() < 2)
        return Fail("Выберите команду");
    for (std::size_t i = 1; i < ctx.args.positional.size(); ++i) {
        bool known = false;
        for (const auto& command : ctx.doc.Workspace().Catalogue().Commands())
            known = known || command->Name() == ctx.args.positional[i];
        if (!known)
            return Fail("Неизвестная команда " + ctx.args.positional[i]);
    }
    // The new passwords live in this process only, so they are taken here,
    // where the command that sends them runs.
    if (ctx.args.values.count("--new-password") &&
        !node->Terminal().SetNewPassword(Value(ctx, "--new-password")))
        return Fail(kUnsafeTextMessage);
    if (ctx.args.values.count("--new-partition-password")) {
        if (!node->Device())
            return Fail("--new-partition-password задается для устройства (НОМЕР/АДРЕС)");
        if (!node->Device()->SetNewPassword(Value(ctx, "--new-partition-password")))
            return Fail(kUnsafeTextMessage);
    }
    const ExchangeOutcome outcome = ctx.doc.Exchanges().RunCommands(*node);
    if (outcome == ExchangeOutcome::Cancelled)
        ctx.op.ShowCommandResults(ctx.op.Chosen());
    if (outcome != ExchangeOutcome::Finished)
        return kExitError;
    for (const CCommandDesc* command : ctx.op.Chosen())
        if (command->ResultState() != kCommandDone)
            return kExitFailed;
    return kExitOk;
}

int CmdImport(Context& ctx) {
    if (ctx.args.positional.empty())
        return Fail("Не задана папка");
    return Result(ctx.doc.Editor().OnImport());
}

// The index of the named type, -1 when none is named; nothing when unknown.
template <class List> std::optional<int> TypeIndex(const List& types, const std::string& name) {
    if (name.empty())
        return -1;
    for (std::size_t i = 0; i < types.size(); ++i)
        if (types[i]->Name() == name)
            return static_cast<int>(i);
    std::cerr << "Неизвестный тип " << name << "; в каталоге:";
    for (const auto& type : types)
        std::cerr << " \"" << type->Name() << "\"";
    std::cerr << std::endl;
    return std::nullopt;
}

std::optional<int> LoopsArg(const Context& ctx, int fallback) {
    const std::string text = Value(ctx, "--loops");
    if (text.empty())
        return fallback;
    const std::optional<int> loops = ParseInt(text);
    if (!loops || *loops < 0 || *loops > fallback) {
        std::cerr << "Количество шлейфов: от 0 до " << fallback << std::endl;
        return std::nullopt;
    }
    return loops;
}

int CmdAddTerminal(Context& ctx) {
    TerminalInput input;
    input.number = ctx.args.positional.empty() ? std::string() : ctx.args.positional[0];
    const auto& types = ctx.doc.Workspace().Catalogue().HostTypes();
    const std::optional<int> type = TypeIndex(types, Value(ctx, "--type"));
    if (!type)
        return kExitError;
    input.hostType = *type;
    const int maxLoops = *type >= 0 ? types[*type]->DevicePart().LoopCount() : 0;
    const std::optional<int> loops = LoopsArg(ctx, maxLoops);
    if (!loops)
        return kExitError;
    input.loopCount = *loops;
    input.phone = Value(ctx, "--phone");
    input.password = Value(ctx, "--password");
    if (!input.number.empty() && !ParseInt(input.number))
        return Fail("Номер устройства должен быть числом");
    return Result(ctx.doc.Editor().NewTerminal(input));
}

int CmdAddDevice(Context& ctx) {
    CTreeNode* parent = NodeArg(ctx, 0, "базовый модуль или ведущее устройство");
    if (!parent)
        return kExitError;
    const auto& types = ctx.doc.Workspace().Catalogue().BusTypes();
    const std::optional<int> type = TypeIndex(types, Value(ctx, "--type"));
    if (!type)
        return kExitError;
    DeviceInput input;
    const std::vector<int> offered = ctx.doc.Editor().OfferedBusTypes(*parent);
    if (*type >= 0 && std::find(offered.begin(), offered.end(), *type) == offered.end())
        return Fail("Тип " + types[*type]->Name() + " не может стоять здесь");
    input.busType = *type;
    const std::string addressText = Value(ctx, "--address");
    if (!addressText.empty()) {
        const std::optional<int> address = ParseInt(addressText);
        const std::vector<int> free = ctx.doc.Editor().OfferedAddresses(*parent);
        if (!address || std::find(free.begin(), free.end(), *address) == free.end())
            return Fail("Адрес " + addressText + " занят или недопустим");
        input.address = *address;
    }
    const std::optional<int> loops = LoopsArg(ctx, *type >= 0 ? types[*type]->LoopCount() : 0);
    if (!loops)
        return kExitError;
    input.loopCount = *loops;
    input.name = Value(ctx, "--name");
    input.password = Value(ctx, "--password");
    return Result(ctx.doc.Editor().NewDevice(*parent, input));
}

int CmdEdit(Context& ctx) {
    CTreeNode* node = NodeArg(ctx, 0);
    if (!node)
        return kExitError;
    // Held in memory only, it would be gone when this process ends.
    if (ctx.args.values.count("--new-password"))
        return Fail("Новый пароль задается в команде run: run УСТР КОМАНДА --new-password П "
                    "(или --new-partition-password П)");
    if (node->Kind() == NodeKind::Terminal) {
        const CTerminal& terminal = node->Terminal();
        TerminalInput input;
        input.number = std::to_string(terminal.Id());
        input.hostType = 0;
        input.phone = Value(ctx, "--phone", terminal.Phone());
        input.password = Value(ctx, "--password", terminal.Password());
        return Result(ctx.doc.Editor().EditTerminal(*node, input));
    }
    const CDevice& device = *node->Device();
    DeviceInput input;
    input.address = device.Address();
    input.busType = 0;
    input.name = Value(ctx, "--name", device.Name());
    input.password = Value(ctx, "--password", device.Password());
    return Result(ctx.doc.Editor().EditDevice(*node, input));
}

int CmdDelete(Context& ctx) {
    CTreeNode* node = NodeArg(ctx, 0);
    if (!node)
        return kExitError;
    if (!ctx.doc.Editor().CanDelete(*node))
        return Fail("Это устройство нельзя удалить отдельно от базового модуля");
    return Result(ctx.doc.Editor().DeleteNode(*node));
}

int CmdDistribute(Context& ctx) {
    CTreeNode* node = NodeArg(ctx, 0, "базовый модуль");
    if (!node)
        return kExitError;
    if (node->Kind() != NodeKind::Terminal)
        return Fail("Распределение шлейфов делается для базового модуля");
    return Result(ctx.doc.Editor().DistributeLoops(*node));
}

CTreeNode* DeviceArg(Context& ctx, std::size_t needed) {
    CTreeNode* node = NodeArg(ctx, 0);
    if (!node)
        return nullptr;
    if (!node->Device() || ctx.args.positional.size() < needed) {
        std::cerr << "Нужны устройство (НОМЕР/АДРЕС) и " << needed - 1 << " аргумента" << std::endl;
        return nullptr;
    }
    return node;
}

// Entry `index` of a list of `count`: its number, or the range message.
std::optional<std::size_t> EntryArg(Context& ctx, std::size_t index, std::size_t count,
                                    const char* what) {
    const std::optional<int> number = ParseInt(ctx.args.positional[index]);
    if (number && *number >= 0 && static_cast<std::size_t>(*number) < count)
        return static_cast<std::size_t>(*number);
    std::cerr << what << ": от 0 до " << (count == 0 ? 0 : count - 1) << std::endl;
    return std::nullopt;
}

int CmdSetParam(Context& ctx) {
    CTreeNode* node = DeviceArg(ctx, 3);
    if (!node)
        return kExitError;
    const std::string& name = ctx.args.positional[1];
    const ParamGridModel grid = *ctx.doc.Editor().ParamGrid(*node);
    const auto named = std::find_if(grid.rows.begin(), grid.rows.end(),
                                    [&](const ParamGridRow& row) { return row.name == name; });
    if (named == grid.rows.end())
        return Fail("У устройства нет параметра " + name);
    // A refusal has been told by the document.
    const EditResult result = ctx.doc.Editor().EditParam(*node, name, ctx.args.positional[2]);
    if (result.outcome == EditOutcome::Stored)
        return kExitOk;
    if (result.outcome == EditOutcome::ReadOnly || result.outcome == EditOutcome::BadFormat)
        return kExitError;
    if (result.outcome == EditOutcome::StoreFailed)
        return kExitFailed;
    return Fail("Значение не сохранено");
}

int CmdSetKey(Context& ctx) {
    CTreeNode* node = DeviceArg(ctx, 3);
    if (!node)
        return kExitError;
    const std::size_t count = ctx.doc.Editor().KeyList(*node)->size();
    const std::optional<std::size_t> index = EntryArg(ctx, 1, count, "Номер ключа");
    if (!index)
        return kExitError;
    std::optional<std::string> owner;
    if (ctx.args.values.count("--owner"))
        owner = Value(ctx, "--owner");
    const bool valid = IsValidKeyCode(ctx.args.positional[2]);
    if (!ctx.doc.Editor().SetKey(*node, *index, ctx.args.positional[2], owner))
        return valid ? kExitFailed : kExitError;
    return kExitOk;
}

int CmdSetPhone(Context& ctx) {
    CTreeNode* node = DeviceArg(ctx, 3);
    if (!node)
        return kExitError;
    const std::size_t count = ctx.doc.Editor().PhoneBook(*node)->rows.size();
    const std::optional<std::size_t> index = EntryArg(ctx, 1, count, "Номер записи");
    if (!index)
        return kExitError;
    // Every argument is checked before anything is written.
    std::optional<std::int64_t> mask;
    if (ctx.args.values.count("--mask")) {
        const std::optional<int> parsed = ParseInt(Value(ctx, "--mask"));
        if (!parsed || *parsed < 0 || *parsed > 0xFFFFFF)
            return Fail("Маска: от 0 до 16777215");
        mask = *parsed;
    }
    const CDevicePhone& phone = *node->Device()->Phones()[*index];
    const bool wellFormed = !CheckPhoneNumberInput(ctx.args.positional[2], phone.Type());
    if (!ctx.doc.Editor().SetPhoneNumber(*node, *index, ctx.args.positional[2]))
        return wellFormed ? kExitFailed : kExitError;
    if (mask && !ctx.doc.Editor().SetPhoneMask(*node, *index, *mask))
        return kExitFailed;
    return kExitOk;
}

// "phonebook" and "keys": load or save the device's list through a file.
int ListFileCommand(Context& ctx,
                    bool (CConfigEditor::*load)(CTreeNode&, const std::string&, const IDocObserver*),
                    bool (CConfigEditor::*save)(CTreeNode&, const std::string&)) {
    CTreeNode* node = DeviceArg(ctx, 3);
    if (!node)
        return kExitError;
    const std::string& action = ctx.args.positional[1];
    const std::string& path = ctx.args.positional[2];
    if (action == "load")
        return (ctx.doc.Editor().*load)(*node, path, nullptr) ? kExitOk : kExitFailed;
    if (action == "save")
        return (ctx.doc.Editor().*save)(*node, path) ? kExitOk : kExitFailed;
    return Fail("Ожидается load или save, а не " + action);
}

int CmdPhoneBook(Context& ctx) {
    return ListFileCommand(ctx, &CConfigEditor::LoadPhoneBook, &CConfigEditor::SavePhoneBook);
}

int CmdKeys(Context& ctx) {
    return ListFileCommand(ctx, &CConfigEditor::LoadKeyList, &CConfigEditor::SaveKeyList);
}

int CmdModem(Context& ctx) {
    const std::vector<ModemPortEntry> entries = ModemPortEntries();
    ModemPortSettings settings = ctx.doc.Workspace().ModemPort(entries);
    const auto& values = ctx.args.values;
    if (values.empty()) {
        std::cout << "Порт: " << settings.port << "\nСкорость: "
                  << (settings.speed ? std::to_string(settings.speed) : std::string())
                  << "\nСтрока инициализации: " << settings.init
                  << "\nРежим эмуляции: " << (settings.emulation ? 1 : 0) << '\n';
        if (!settings.port.empty())
            if (std::optional<std::string> problem = ModemPortAccessProblem(settings.port))
                std::cout << *problem << '\n';
        return kExitOk;
    }
    for (const auto& [key, value] : values)
        if (key != "--port" && key != "--speed" && key != "--init" && key != "--emul")
            return Fail("Неизвестный параметр " + key + "; см. modem --help");
    if (values.count("--port"))
        settings.port = values.at("--port");
    if (values.count("--speed")) {
        const std::optional<int> speed = ParseInt(values.at("--speed"));
        settings.speed = speed && *speed > 0 ? static_cast<std::uint32_t>(*speed) : 0;
    }
    if (values.count("--init"))
        settings.init = values.at("--init");
    if (values.count("--emul")) {
        const std::string& emul = values.at("--emul");
        if (emul != "0" && emul != "1")
            return Fail("--emul: 0 или 1");
        settings.emulation = emul == "1";
    }
    if (!ctx.doc.Workspace().SetModemPort(settings))
        return kExitError;
    if (std::optional<std::string> problem = ModemPortAccessProblem(settings.port))
        std::cerr << problem->c_str() << std::endl;
    return kExitOk;
}

int CmdHistory(Context& ctx) {
    HistoryFilter filter;
    if (!ctx.args.positional.empty()) {
        // A deleted terminal keeps its history: the number need not be in the tree.
        const std::string& spec = ctx.args.positional[0];
        const std::size_t slash = spec.find('/');
        filter.terminal = ParseInt(std::string_view(spec).substr(0, slash));
        if (slash != std::string::npos)
            filter.device = ParseInt(std::string_view(spec).substr(slash + 1));
        if (!filter.terminal || (slash != std::string::npos && !filter.device))
            return Fail("Неверное устройство: " + spec);
    }
    filter.since = Value(ctx, "--since");
    filter.who = Value(ctx, "--who");
    filter.text = Value(ctx, "--text");
    filter.source = Value(ctx, "--source");
    std::vector<HistoryEntry> entries;
    CConfigDatabase& db = ctx.doc.Workspace().Database();
    if (!db.History().Read(filter, entries))
        return Fail("Невозможно прочитать историю изменений: " + db.LastError());
    PrintHistory(entries, ctx.args.flags.count("--csv") > 0, std::cout);
    return kExitOk;
}

int CmdDiff(Context& ctx) {
    CTreeNode* node = NodeArg(ctx, 0);
    return node ? RunDiff(ctx.doc, *node, std::cout) : kExitError;
}

int CmdBatch(Context& ctx) {
    return RunBatch(ctx.doc, ctx.args.positional, ctx.args.values, ctx.args.flags, ctx.args.filesIn,
                    ctx.args.filesOut);
}

constexpr std::size_t kAnyCount = 1000;

struct Command {
    int (*run)(Context&);
    const char* help;
    std::size_t minArgs = 0;
    std::size_t maxArgs = 0; // kAnyCount: no limit
    std::vector<const char*> options{}; // taking a value
    std::vector<const char*> flags{};
    // Only shows what the database holds: ends without freeing the records.
    bool onlyShows = false;
};

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"list",
         {CmdList, "list\n  Дерево: базовые модули, сетевые и подчиненные устройства.", 0, 0, {},
          {}, true}},
        {"show",
         {CmdShow, "show НОМЕР[/АДРЕС] [--show-passwords]\n"
                   "  Содержимое окна параметров; пароли скрыты без --show-passwords.",
          1, 1, {}, {"--show-passwords"}, true}},
        {"run",
         {CmdRun, "run НОМЕР[/АДРЕС] КОМАНДА... [--yes] [--file-in КОМАНДА=ПУТЬ]\n"
                  "    [--file-out КОМАНДА=ПУТЬ] [--new-password П] [--new-partition-password П]\n"
                  "  Обмен с командами каталога (по их ключам). Пути файлов запоминаются\n"
                  "  в tornucfg.ini. --yes отвечает \"да\" на вопросы. Ctrl+C отменяет обмен.\n"
                  "  --new-password: новый пароль на связь для команды смены пароля;\n"
                  "  --new-partition-password: новый пароль раздела (для устройства).\n"
                  "  Прочитанное значение заменяет измененное в программе и не записанное\n"
                  "  в прибор; --keep-pending оставляет значение программы.\n"
                  "  Выход: 0 все выполнены, 1 есть невыполненные, 2 обмен не удался.",
          1, kAnyCount,
          {"--file-in", "--file-out", "--new-password", "--new-partition-password"},
          {"--yes", "--keep-pending"}}},
        {"import", {CmdImport, "import ПАПКА\n  Телефоны и пароли из таблицы станции.", 1, 1}},
        {"add-terminal",
         {CmdAddTerminal, "add-terminal НОМЕР --type ТИП [--loops N] [--phone ТЕЛ]\n"
                          "    [--password ПАРОЛЬ]\n  Новый базовый модуль.", 1, 1,
          {"--type", "--loops", "--phone", "--password"}}},
        {"add-device",
         {CmdAddDevice, "add-device НОМЕР[/АДРЕС_ВЕДУЩЕГО] --address A --type ТИП [--loops N]\n"
                        "    [--name ИМЯ] [--password ПАРОЛЬ]\n"
                        "  Новый раздел базового модуля или подчиненное устройство раздела.", 1, 1,
          {"--address", "--type", "--loops", "--name", "--password"}}},
        {"edit",
         {CmdEdit, "edit НОМЕР[/АДРЕС] [--phone ТЕЛ] [--password П] [--name ИМЯ]\n"
                   "  Изменить базовый модуль (телефон, пароль) или устройство (название,\n"
                   "  пароль). Новые пароли задаются в команде run.",
          1, 1, {"--phone", "--password", "--new-password", "--name"}}},
        {"delete", {CmdDelete, "delete НОМЕР[/АДРЕС]\n  Удалить со всем, что под ним.", 1, 1}},
        {"distribute", {CmdDistribute, "distribute НОМЕР\n  Распределение шлейфов.", 1, 1}},
        {"set-param",
         {CmdSetParam, "set-param НОМЕР/АДРЕС ИМЯ ЗНАЧЕНИЕ\n"
                       "  Значение параметра в отображаемом виде (для списка: пункт).", 3, 3}},
        {"set-key",
         {CmdSetKey, "set-key НОМЕР/АДРЕС N КОД [--owner ВЛАДЕЛЕЦ]\n  Ключ N (0 мастер).", 3, 3,
          {"--owner"}}},
        {"set-phone",
         {CmdSetPhone, "set-phone НОМЕР/АДРЕС N ТЕЛЕФОН [--mask N]\n"
                       "  Запись N телефонной книги.", 3, 3, {"--mask"}}},
        {"phonebook",
         {CmdPhoneBook, "phonebook НОМЕР/АДРЕС load|save ФАЙЛ\n"
                        "  Телефонная книга устройства из файла или в файл (Windows-1251).", 3, 3}},
        {"keys",
         {CmdKeys, "keys НОМЕР/АДРЕС load|save ФАЙЛ\n"
                   "  Список ключей устройства из файла или в файл: строка \"код,владелец\".",
          3, 3}},
        {"history",
         {CmdHistory, "history [НОМЕР[/АДРЕС]] [--since ВРЕМЯ] [--who ИМЯ] [--text ТЕКСТ]\n"
                      "        [--source ИСТОЧНИК] [--csv]\n"
                      "  История изменений, новые сначала. ВРЕМЯ: \"2026-12-01\" или\n"
                      "  \"2026-12-01 08:00\"; ИМЯ: часть имени пользователя или компьютера;\n"
                      "  ИСТОЧНИК: \"изменение оператором\", \"ответ прибора\", ...",
          0, 1, {"--since", "--who", "--text", "--source"}, {"--csv"}}},
        {"diff",
         {CmdDiff, "diff НОМЕР[/АДРЕС]\n"
                   "  Читает из прибора состояние, телефонную книгу и ключи устройства и\n"
                   "  конфигурацию шлейфов (ничего не записывая в базу) и печатает значения,\n"
                   "  которые отличаются от базы. Код выхода 1, если отличия есть.",
          1, 1}},
        {"modem",
         {CmdModem, "modem [--port ПОРТ] [--speed N] [--init СТРОКА] [--emul 0|1]\n"
                    "  Без параметров показывает настройки порта модема, с ними - задает.", 0, 0,
          {"--port", "--speed", "--init", "--emul"}}},
        {"batch",
         {CmdBatch, kBatchHelp, 1, 2,
          {"--terminals", "--from", "--commands", "--ports", "--attempts", "--delay", "--csv",
           "--file-in", "--file-out", "--device-types"},
          {"--all"}}},
    };
    return commands;
}

void OnInterrupt(int) {
    g_interrupted = 1;
}

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int RunCommand(const std::string& name, const Command& command, Args& args,
               const std::filesystem::path& folder) {
    if (!std::filesystem::exists(folder / kSettingsFileName))
        return Fail(std::string("Нет файла настроек и каталога ") + kSettingsFileName + " в " +
                    std::filesystem::absolute(folder).string());
    CliOptions options;
    options.yes = args.flags.count("--yes") > 0;
    options.keepPending = args.flags.count("--keep-pending") > 0;
    if (name == "import" && !args.positional.empty())
        options.folder = args.positional[0];
    if (name == "run") {
        options.commands.assign(args.positional.begin() + (args.positional.empty() ? 0 : 1),
                                args.positional.end());
        options.filesIn = args.filesIn;
        options.filesOut = args.filesOut;
        CatchInterrupt();
    }
    if (name == "batch")
        CatchInterrupt();
    CCliOperator op(std::move(options));
    CTornuCfgDoc doc(op, folder);
    // An unreadable settings file or database has been told by the
    // document; nothing may be done with it.
    if (!doc.OnNewDocument() || !doc.Workspace().SettingsError().empty() || !doc.Workspace().Database().IsAvailable())
        return kExitError;
    if (doc.Workspace().Catalogue().HostTypes().empty() && doc.Workspace().Catalogue().BusTypes().empty())
        return Fail(std::string("В ") + kSettingsFileName + " нет каталога устройств");
    Context ctx{doc, op, args};
    const int status = command.run(ctx);
    // The records and the tree of a fleet of 100,000 terminals take a tenth
    // of a second to free one by one, longer than a list itself: a command
    // that changed nothing closes the connection and leaves the rest to the
    // end of the process. Exit handlers still run (streams, coverage, the
    // leak check, which finds the records reachable from this frame).
    if (command.onlyShows) {
        doc.Workspace().Database().Connection().Close();
        std::cout.flush();
        std::exit(status);
    }
    return status;
}

std::string OptionList(const Command& command) {
    std::string list;
    for (const char* option : command.options)
        list += std::string(list.empty() ? "" : ", ") + option;
    for (const char* flag : command.flags)
        list += std::string(list.empty() ? "" : ", ") + flag;
    return (list.empty() ? std::string() : list + ", ") + "--help";
}

struct Invocation {
    std::optional<std::string> dir;
    bool help = false;
    bool version = false;
    std::string command; // empty: none named
    Args args;
};

// A word that names an option: "-x" or "--name"; "-", "--" and negative
// numbers are not.
bool IsOptionWord(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && word != "--" &&
           !std::isdigit(static_cast<unsigned char>(word[1]));
}

// Options whose empty value means something (no password, no name).
bool MayBeEmpty(const std::string& option) {
    for (const char* name : {"--password", "--phone", "--name", "--owner", "--init"})
        if (option == name)
            return true;
    return false;
}

// The value of the option at words[at]: after its "=", or the next word
// unless that is an option itself. Nothing when it has none.
std::optional<std::string> OptionValue(const std::vector<std::string>& words, std::size_t& at) {
    const std::size_t equals = words[at].find('=');
    if (equals != std::string::npos)
        return words[at].substr(equals + 1);
    if (at + 1 < words.size() && words[at + 1] != "--" && !IsOptionWord(words[at + 1]))
        return words[++at];
    return std::nullopt;
}

// What is wrong with one command's words, said on the standard error.
std::nullopt_t BadWords(const std::string& command, const std::string& what) {
    std::cerr << "Неверные параметры команды " << command << ": " << what << "; см. tornucfg-cli "
              << command << " --help" << std::endl;
    return std::nullopt;
}

// The options before the command: --dir, --help, --version.
bool ParseProgramOptions(const std::vector<std::string>& words, std::size_t& at,
                         Invocation& invocation) {
    for (; at < words.size() && IsOptionWord(words[at]); ++at) {
        const std::string& word = words[at];
        const std::string name = word.substr(0, word.find('='));
        if ((name == "--help" || name == "--version") && name == word) {
            (name == "--help" ? invocation.help : invocation.version) = true;
            continue;
        }
        if (name != "--dir") {
            std::cerr << "Неизвестный параметр " << name << "; допустимые: --dir, --help, --version"
                      << std::endl;
            return false;
        }
        const std::optional<std::string> value = OptionValue(words, at);
        if (!value || value->empty()) {
            std::cerr << "Не задана папка в --dir" << std::endl;
            return false;
        }
        if (invocation.dir) {
            std::cerr << "--dir задан больше одного раза" << std::endl;
            return false;
        }
        invocation.dir = value;
    }
    return true;
}

// The words as the command functions take them, every option and the number
// of arguments checked before anything is opened; nothing when they are
// wrong (said on the standard error).
std::optional<Invocation> Parse(const std::vector<std::string>& words) {
    Invocation invocation;
    std::size_t at = 0;
    if (!ParseProgramOptions(words, at, invocation))
        return std::nullopt;
    if (at == words.size())
        return invocation;
    const auto found = Commands().find(words[at]);
    if (found == Commands().end()) {
        std::cerr << "Неизвестная команда " << words[at] << "; см. --help" << std::endl;
        return std::nullopt;
    }
    const auto& [name, command] = *found;
    invocation.command = name;
    Args& args = invocation.args;
    std::map<std::string, std::vector<std::string>> values;
    const auto listed = [](const std::vector<const char*>& list, const std::string& option) {
        return std::find(list.begin(), list.end(), option) != list.end();
    };
    // "--" ends the options: what follows are arguments, even when they
    // begin with "-".
    bool optionsEnded = false;
    for (std::size_t i = at + 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !IsOptionWord(word)) {
            args.positional.push_back(word);
            continue;
        }
        const std::string option = word.substr(0, word.find('='));
        const bool isFlag = option == "--help" || listed(command.flags, option);
        if (!isFlag && !listed(command.options, option)) {
            std::cerr << "Неизвестный параметр " << option << " команды " << name
                      << "; допустимые: " << OptionList(command) << std::endl;
            return std::nullopt;
        }
        if (isFlag) {
            if (option != word)
                return BadWords(name, option + " задается без значения");
            args.flags.insert(option);
            continue;
        }
        const std::optional<std::string> value = OptionValue(words, i);
        if (!value)
            return BadWords(name, "у " + option + " нет значения");
        if (value->empty() && !MayBeEmpty(option))
            return BadWords(name, "у " + option + " пустое значение");
        values[option].push_back(*value);
    }
    if (args.flags.count("--help"))
        return invocation;
    if (args.positional.size() > command.maxArgs)
        return BadWords(name, "лишний аргумент " + args.positional[command.maxArgs]);
    if (args.positional.size() < command.minArgs) {
        std::cerr << "Команда " << name << " ждет аргументов: " << command.minArgs;
        if (command.maxArgs == kAnyCount)
            std::cerr << " и более";
        else if (command.maxArgs != command.minArgs)
            std::cerr << " - " << command.maxArgs;
        std::cerr << "; см. tornucfg-cli " << name << " --help" << std::endl;
        return std::nullopt;
    }
    for (const auto& [option, given] : values) {
        if (option != "--file-in" && option != "--file-out") {
            if (given.size() > 1) {
                std::cerr << option << " задан больше одного раза" << std::endl;
                return std::nullopt;
            }
            args.values[option] = given.front();
            continue;
        }
        for (const std::string& pair : given) {
            const std::size_t eq = pair.find('=');
            if (eq == std::string::npos || eq == 0) {
                std::cerr << option << " ждет КОМАНДА=ПУТЬ" << std::endl;
                return std::nullopt;
            }
            (option == "--file-in" ? args.filesIn : args.filesOut)[pair.substr(0, eq)] =
                pair.substr(eq + 1);
        }
    }
    return invocation;
}

int Main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    for (const std::string& word : words)
        if (!IsValidUtf8(word))
            return Fail("Аргумент не в кодировке UTF-8");
    std::optional<Invocation> invocation = Parse(words);
    if (!invocation)
        return kExitError;
    if (invocation->help) {
        std::cout << kProgramHelp;
        return kExitOk;
    }
    if (invocation->version) {
        std::cout << "tornucfg-cli " << TORNU_PACKAGE_VERSION << '\n';
        return kExitOk;
    }
    if (invocation->command.empty()) {
        std::cerr << kProgramHelp;
        return kExitError;
    }
    const auto found = Commands().find(invocation->command);
    if (invocation->args.flags.count("--help")) {
        std::cout << "Использование: tornucfg-cli [--dir ПАПКА] " << found->second.help << '\n';
        return kExitOk;
    }
    std::error_code ec;
    const std::filesystem::path folder = invocation->dir ? std::filesystem::path(*invocation->dir)
                                                         : std::filesystem::current_path(ec);
    if (!std::filesystem::is_directory(folder, ec))
        return Fail("Нет папки " + folder.string());
    return RunCommand(found->first, found->second, invocation->args, folder);
}

} // namespace
} // namespace tornu::cli

int main(int argc, char** argv) {
    try {
        return tornu::cli::Main(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "Ошибка: " << error.what() << std::endl;
        return 2;
    }
}
