#pragma once
// The built command-line front end run on a folder, as a script runs it.
#include "TestUtil.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace tornu::test {

struct CliRun {
    int status = -1;
    std::string output; // standard output and error together
};

// `timeout` keeps a front end that would loop from hanging the suite.
inline CliRun RunCli(const std::filesystem::path& folder, const std::string& args,
                     const std::string& env) {
    const std::string command = "env " + env + " timeout 60 " + TORNU_CLI_PATH + " --dir '" +
                                folder.string() + "' " + args + " 2>&1 </dev/null";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        run.output.append(buffer.data(), n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// The sample catalogue in `folder`.
inline void CopySampleCatalogue(const std::filesystem::path& folder) {
    WriteBytes(folder / "tornucfg.ini",
               ReadBytes(std::string(TORNU_SOURCE_DIR) + "/data/tornucfg.ini"));
}

} // namespace tornu::test
