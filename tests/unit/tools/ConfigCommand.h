#pragma once
// Runs the kaptiv-config program the test target names in KAPTIV_CONFIG, with the shell, and
// keeps its exit status and everything it printed (standard output and error together).
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace kaptiv::testing {

struct CommandRun {
    int status = -1;
    std::string out;
};

inline CommandRun RunConfig(const std::string& arguments) {
    const std::string command = std::string(KAPTIV_CONFIG) + " " + arguments + " 2>&1";
    CommandRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace kaptiv::testing
