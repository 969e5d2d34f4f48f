#pragma once
// The settings start-up gathers before the first window: the gateway address and port from
// the profile (written straight back, so that they exist with their defaults after the first
// run), and advanced mode and the language from the program folder.
#include "app/NetworkSettings.h"
#include "app/Options.h"
#include "app/Profile.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kaptiv::app {

struct StartupSettings {
    std::optional<std::filesystem::path> profilePath; // empty when no profile location exists
    NetworkSettings network;
    std::filesystem::path programFolder;
    bool advancedMode = false;
    int languageIndex = 0;
    // Problems that do not stop the tool (an unreadable profile, a bad port value ...);
    // start-up prints them.
    std::vector<std::string> warnings;
};

// Reads everything; never fails: each missing or bad source leaves its default.
StartupSettings ReadStartupSettings(const Options& options, const EnvLookup& env,
                                    const std::filesystem::path& programFolder);

} // namespace kaptiv::app
