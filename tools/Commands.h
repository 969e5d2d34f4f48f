#pragma once
// The subcommands of kaptiv-config. Each returns the process exit code: 0 on success,
// 1 when the input was refused (with a message on stderr), 2 for a usage error.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::tools {

int RunBlockCommand(const std::vector<std::string>& args);
int RunRackCommand(const std::vector<std::string>& args);
int RunQvcCommand(const std::vector<std::string>& args);

// The module types of the rack behind a gateway, controller first, as a scan identifies them.
std::optional<std::vector<uint8_t>> RackTypesThroughGateway(const std::string& hostPort, std::string& error);

} // namespace kaptiv::tools
