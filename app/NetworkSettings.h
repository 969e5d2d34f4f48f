#pragma once
// The gateway address and port, kept in the profile as "serverAddress" and "serverPort".
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kaptiv::app {

inline constexpr std::string_view kServerAddressKey = "serverAddress";
inline constexpr std::string_view kServerPortKey = "serverPort";
inline constexpr std::string_view kDefaultServerAddress = "127.0.0.1";
inline constexpr uint16_t kDefaultServerPort = 666;

struct NetworkSettings {
    std::string serverAddress{kDefaultServerAddress};
    uint16_t serverPort = kDefaultServerPort;
};

struct LoadedNetworkSettings {
    NetworkSettings settings;
    // False when the profile exists but could not be read, or holds a value that was
    // refused: it is then not written back, so that neither a file we could not understand
    // nor the installer's own (mistyped) value is ever replaced by a default.
    bool profileWritable = true;
    std::vector<std::string> warnings;
};

// Missing values (and values that cannot serve: an empty address, a port that is not a
// whole number from 1 to 65535) yield their defaults, with a warning for the bad ones; a
// profile with a bad value is left as it is.
LoadedNetworkSettings LoadNetworkSettings(const std::filesystem::path& profilePath);

// Writes both values into the profile, keeping its other lines.
bool SaveNetworkSettings(const std::filesystem::path& profilePath, const NetworkSettings& settings,
                         std::string& error);

} // namespace kaptiv::app
