#include "app/StartupSettings.h"

#include "app/StartupFiles.h"

namespace kaptiv::app {

StartupSettings ReadStartupSettings(const Options& options, const EnvLookup& env,
                                    const std::filesystem::path& programFolder) {
    StartupSettings startup;
    startup.profilePath = options.profilePath ? options.profilePath : DefaultProfilePath(env);
    if (startup.profilePath) {
        LoadedNetworkSettings loaded = LoadNetworkSettings(*startup.profilePath);
        startup.network = loaded.settings;
        startup.warnings = std::move(loaded.warnings);
        std::string error;
        if (loaded.profileWritable && !SaveNetworkSettings(*startup.profilePath, startup.network, error))
            startup.warnings.push_back("cannot save the profile: " + error);
    } else {
        startup.warnings.emplace_back("neither XDG_CONFIG_HOME nor HOME names a folder for the profile; "
                                      "using the default gateway settings");
    }
    startup.programFolder = programFolder;
    startup.advancedMode = AdvancedModeRequested(programFolder);
    startup.languageIndex = ReadPreferredLanguage(programFolder);
    return startup;
}

} // namespace kaptiv::app
