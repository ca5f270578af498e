#include "CliOperator.h"

#include "catalogue/CommandDesc.h"
#include "doc/ExchangeMonitor.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace tornu::cli {

volatile std::sig_atomic_t g_interrupted = 0;

namespace {

constexpr const char* kPasswordEnv = "TORNU_PASSWORD";

// A line from the terminal with echo off when `hidden`; nothing at the end
// of input.
std::optional<std::string> ReadLine(bool hidden) {
    termios saved{};
    const bool tty = hidden && isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (tty) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << '\n';
    }
    if (!got)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

void CCliOperator::Message(const std::string& text) {
    messages_.push_back(text);
    std::cerr << text << std::endl;
}

bool CCliOperator::Ask(const std::string& text) {
    if (options_.yes) {
        std::cerr << text << " да" << std::endl;
        return true;
    }
    std::cerr << text << " [д/н] " << std::flush;
    const std::optional<std::string> answer = ReadLine(false);
    return answer && (*answer == "д" || *answer == "Д" || *answer == "y" || *answer == "Y" ||
                      *answer == "да" || *answer == "yes");
}

ReplaceAnswer CCliOperator::AskReplace(const std::string& text) {
    std::cerr << text << (options_.keepPending ? " нет" : " да") << std::endl;
    return options_.keepPending ? ReplaceAnswer::No : ReplaceAnswer::Yes;
}

std::optional<std::string> CCliOperator::ChooseFolder(const std::string& /*initial*/) {
    return options_.folder;
}

std::optional<std::string> CCliOperator::AskPassword(PasswordMode mode) {
    if (mode == PasswordMode::Login) {
        // Asked again and again, an empty password from the environment would
        // never end: the run ends instead.
        if (const char* env = std::getenv(kPasswordEnv)) {
            if (*env)
                return std::string(env);
            std::cerr << kPasswordEnv << ": пароль не может быть пустым" << std::endl;
            return std::nullopt;
        }
        std::cerr << "Вход в программу. Пароль: " << std::flush;
    } else {
        std::cerr << "Введите новый пароль: " << std::flush;
    }
    return ReadLine(true);
}

bool CCliOperator::ApplyFiles(const std::vector<CCommandDesc*>& offered) {
    const auto apply = [&](const std::map<std::string, std::string>& files, int flag) {
        for (const auto& [name, path] : files) {
            bool found = false;
            for (CCommandDesc* command : offered)
                if (command->Name() == name && command->HasFile(flag)) {
                    command->SetFileName(flag, path);
                    found = true;
                }
            if (!found) {
                std::cerr << "Команда " << name << " не предлагается здесь или не имеет "
                          << (flag == kCommandFileIn ? "входного" : "выходного") << " файла"
                          << std::endl;
                return false;
            }
        }
        return true;
    };
    return apply(options_.filesIn, kCommandFileIn) && apply(options_.filesOut, kCommandFileOut);
}

std::optional<CommandChoice>
CCliOperator::ChooseCommands(const std::vector<CCommandDesc*>& offered) {
    CommandChoice choice;
    for (const std::string& name : options_.commands) {
        CCommandDesc* found = nullptr;
        for (CCommandDesc* command : offered)
            if (command->Name() == name)
                found = command;
        if (!found) {
            std::cerr << "Команда " << name << " не предлагается для этого устройства" << std::endl;
            return std::nullopt;
        }
        choice.chosen.push_back(found);
    }
    if (choice.chosen.empty() || !ApplyFiles(offered))
        return std::nullopt;
    chosen_ = choice.chosen;
    return choice;
}

void CCliOperator::WatchExchange(CExchangeMonitor& monitor,
                                 const std::function<void(ExchangeLogEnd)>& ended) {
    std::vector<ExchangeLogLine> lines;
    const auto print = [&] {
        for (const ExchangeLogLine& line : lines)
            std::cout << line.time << "  " << line.text << std::endl;
        lines.clear();
    };
    while (!monitor.Poll(lines)) {
        print();
        if (g_interrupted) {
            std::cerr << "Отмена обмена..." << std::endl;
            monitor.Cancel();
            monitor.Poll(lines);
            print();
            ended(ExchangeLogEnd::Cancelled);
            return;
        }
        monitor.Wait(100);
    }
    print();
    ended(ExchangeLogEnd::Closed);
}

void CCliOperator::ShowCommandResults(const std::vector<CCommandDesc*>& commands) {
    std::cout << "Результат выполнения команд:" << std::endl;
    int row = 1;
    for (const CCommandDesc* command : commands)
        std::cout << row++ << ". " << command->Name() << " (" << command->Code() << ", "
                  << command->Description() << "): " << CommandResultText(command->ResultState(), command->ResultText()) << std::endl;
}

} // namespace tornu::cli
