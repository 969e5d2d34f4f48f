#pragma once
// `kaptiv-config firmware list DIR`: the firmware folder as the tool reads it, so that an
// installer sees at once why a module was not updated.
#include <filesystem>
#include <string>
#include <vector>

namespace kaptiv::tools {

// Every line of the index with its file, module type, release, hardware revision and
// minimum release, or why it was skipped (a link out of the folder, not a regular file, too
// large ...); then the front-panel pictures of a personality change; then every HD encoder
// component file with its release and whether its MD5 matches its name. False when the
// folder has no index or its index cannot be read (too large, not a regular file).
bool ListFirmwareFolder(const std::filesystem::path& folder, std::string& out);

int RunFirmwareCommand(const std::vector<std::string>& args);

} // namespace kaptiv::tools
