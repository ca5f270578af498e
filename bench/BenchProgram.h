#pragma once
// A program of the project run to its end by a benchmark: its wall time, CPU
// time, peak memory and standard output (its standard error thrown away).
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tornu::bench {

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct ProgramRun {
    bool ok = false; // ran and exited with 0
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
    std::string output;
};

inline ProgramRun RunProgram(std::vector<std::string> args) {
    ProgramRun run;
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("tornu-bench-out-" + std::to_string(getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::filesystem::path errors = out.string() + ".err";
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    run.seconds = SecondsSince(start);
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream file(out);
    run.output.assign(std::istreambuf_iterator<char>(file), {});
    std::filesystem::remove(out);
    // A program that failed says why beside the benchmark's own error.
    if (!run.ok) {
        std::ifstream said(errors);
        std::cerr << argv[0] << ": " << std::string(std::istreambuf_iterator<char>(said), {});
    }
    std::filesystem::remove(errors);
    return run;
}

} // namespace tornu::bench
