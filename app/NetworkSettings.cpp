#include "app/NetworkSettings.h"

#include "app/Profile.h"

#include <charconv>

namespace kaptiv::app {

namespace {

constexpr unsigned kMaxPort = 65535;
constexpr const char* kProfileKept = " (the profile is left as it is)";

std::optional<uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [next, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || next != end || value == 0 || value > kMaxPort)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

} // namespace

LoadedNetworkSettings LoadNetworkSettings(const std::filesystem::path& profilePath) {
    LoadedNetworkSettings loaded;
    const ProfileFile file = ReadProfileFile(profilePath);
    if (file.status != ProfileFileStatus::Read && file.status != ProfileFileStatus::Missing) {
        loaded.profileWritable = false;
        loaded.warnings.push_back(file.error + "; using the default gateway settings");
        return loaded;
    }
    if (const auto address = file.profile.Get(kServerAddressKey)) {
        if (address->empty()) {
            loaded.profileWritable = false;
            loaded.warnings.push_back(std::string(kServerAddressKey) + " is empty; using " +
                                      std::string(kDefaultServerAddress) + kProfileKept);
        } else {
            loaded.settings.serverAddress = *address;
        }
    }
    if (const auto portText = file.profile.Get(kServerPortKey)) {
        if (const auto port = ParsePort(*portText))
            loaded.settings.serverPort = *port;
        else {
            loaded.profileWritable = false;
            loaded.warnings.push_back(std::string(kServerPortKey) + " \"" + *portText +
                                      "\" is not a port from 1 to 65535; using " +
                                      std::to_string(kDefaultServerPort) + kProfileKept);
        }
    }
    return loaded;
}

bool SaveNetworkSettings(const std::filesystem::path& profilePath, const NetworkSettings& settings,
                         std::string& error) {
    ProfileFile file = ReadProfileFile(profilePath);
    if (file.status != ProfileFileStatus::Read && file.status != ProfileFileStatus::Missing) {
        error = file.error + "; not rewriting it";
        return false;
    }
    if (!file.profile.Set(kServerAddressKey, settings.serverAddress) ||
        !file.profile.Set(kServerPortKey, std::to_string(settings.serverPort))) {
        error = "the server address cannot be stored in the profile";
        return false;
    }
    return WriteProfileFile(profilePath, file.profile, error);
}

} // namespace kaptiv::app
