#pragma once
// `kaptiv-config firmware list DIR`: the firmware folder as the tool reads it, so that an
// installer sees at once why a module was not updated.
#include <filesystem>
#include <string>
#include <vector>

namespace kaptiv::tools {

// Every line of the index with its file, module type, release, hardware revision and
// minimum release, or why it was skipped; then every HD encoder component file with its
// release and whether its MD5 matches its name. False when the folder has no index.
bool ListFirmwareFolder(const std::filesystem::path& folder, std::string& out);

int RunFirmwareCommand(const std::vector<std::string>& args);

} // namespace kaptiv::tools
