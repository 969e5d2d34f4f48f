#pragma once
// The subcommands of kaptiv-config. Each returns the process exit code: 0 on success,
// 1 when the input was refused (with a message on stderr), 2 for a usage error.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::link {
class CXmit;
class LinkTrace;
} // namespace kaptiv::link
namespace kaptiv::platform {
class Clock;
}

namespace kaptiv::tools {

int RunBlockCommand(const std::vector<std::string>& args);
int RunRackCommand(const std::vector<std::string>& args);
int RunQvcCommand(const std::vector<std::string>& args);
int RunTraceCommand(const std::vector<std::string>& args);

// --trace FILE: every exchange of the subcommand is written to FILE (link/LinkTrace.h).
void SetTracePath(std::string path);
// The trace for xmit when --trace was given, else nothing; failed when the file could not be
// opened (reported on stderr). Keep it alive as long as xmit makes requests.
std::unique_ptr<link::LinkTrace> StartTrace(link::CXmit& xmit, platform::Clock& clock, bool& failed);
// Why a trace of this run could not be written (empty when every write went through); main()
// then makes the exit status non-zero.
const std::string& TraceWriteFailure();

// The module types of the rack behind a gateway, controller first, as a scan identifies them.
std::optional<std::vector<uint8_t>> RackTypesThroughGateway(const std::string& hostPort, std::string& error);

} // namespace kaptiv::tools
