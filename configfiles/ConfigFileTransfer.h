#pragma once
// Buttons 1024 and 1025: the file dialogs in the program's "config" folder, the safe write of
// a configuration file, and the load that reads a file into the loaded half of the rack image,
// shows the check dialog and, on OK, writes the file's settings to the rack.
#include "configfiles/CConfigValidate.h"
#include "rack/CInfo.h"
#include "rack/ConfigurationFiles.h"

#include <string>
#include <vector>

namespace kaptiv::configfiles {

class ConfigFileTransfer final : public rack::ConfigurationFiles {
public:
    static constexpr int kBeepHz = 440;
    static constexpr int kBeepMs = 250;
    static constexpr int64_t kMessageMs = 2000;
    static constexpr int64_t kRefusedMessageMs = 5000;

    ConfigFileTransfer(ui::WindowSystem& windows, rack::CInfo& info, CConfigValidate& validate);

    void Save(rack::RackImage& image, ui::Dialog& owner) override;
    void Load(rack::RackImage& image, link::CommandSet& commands, ui::Dialog& owner) override;

    // The folder the file dialogs open in: "config" under the program folder, created when missing.
    static std::string ConfigFolder(const rack::RackImage& image);

private:
    void Fail(const std::string& message, int64_t displayMs);

    ui::WindowSystem& m_windows;
    rack::CInfo& m_info;
    CConfigValidate& m_validate;
};

// The message of a load whose writes failed for some modules: their names and slots.
std::string NotUploadedMessage(const rack::RackImage& image, const std::vector<size_t>& modules);

// The first message of a refused file: names the problem in the installer's words.
std::string RefusedFileMessage(const ConfigReadResult& result);

} // namespace kaptiv::configfiles
