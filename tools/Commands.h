#pragma once
// The subcommands of kaptiv-config. Each returns the process exit code: 0 on success,
// 1 when the input was refused (with a message on stderr), 2 for a usage error.
#include <string>
#include <vector>

namespace kaptiv::tools {

int RunBlockCommand(const std::vector<std::string>& args);
int RunRackCommand(const std::vector<std::string>& args);

} // namespace kaptiv::tools
