#include "configfiles/ConfigFileTransfer.h"

#include "configfiles/ConfigSummary.h"
#include "configfiles/KeptBytes.h"
#include "text/Language.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <filesystem>

namespace kaptiv::configfiles {

namespace {

const ui::FileFilter kFilter{"Config.", "*.qvc"};

ui::FileDialogOptions DialogOptions(const rack::RackImage& image, bool save) {
    ui::FileDialogOptions options;
    options.save = save;
    options.title = kaptiv::text::LocalizedText(save ? row::kSaveTitle : row::kLoadTitle);
    options.initialFolder = ConfigFileTransfer::ConfigFolder(image);
    options.filters = {kFilter};
    options.overwritePrompt = save;
    if (save)
        options.defaultExtension = "qvc";
    return options;
}

// The chosen path, or nothing when the dialog was cancelled or answered with no name. A save
// dialog hands back the name that will really be written (".qvc" added by the file-name
// rule), and it asked before replacing that file.
std::optional<std::string> AskPath(ui::WindowSystem& windows, const ui::FileDialogOptions& options) {
    const auto paths =
        options.save ? windows.FileDialog(options, ConfigFileName) : windows.FileDialog(options);
    if (!paths || paths->empty() || paths->front().empty())
        return std::nullopt;
    return paths->front();
}

// A table text followed by the system's reason, which names the file.
std::string WithReason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + " (" + reason + ")";
}

std::vector<uint8_t> LiveTypes(const rack::RackImage& image) {
    std::vector<uint8_t> types;
    for (size_t i = 0; i < image.moduleCount; ++i)
        types.push_back(image.Live(i).type);
    return types;
}

} // namespace

std::string NotUploadedMessage(const rack::RackImage& image, const std::vector<size_t>& modules) {
    std::string list;
    for (size_t index : modules) {
        if (!list.empty())
            list += ", ";
        list += std::string(ModuleName(image.Live(index).type)) + " #" + std::to_string(index);
    }
    return kaptiv::text::FillToolText(kaptiv::text::ToolText::ConfigurationNotUploaded, {list});
}

std::string RefusedFileMessage(const ConfigReadResult& result) {
    return kaptiv::text::FormatToolText(kaptiv::text::ToolText::ConfigFileRefused, {DescribeProblem(result)});
}

ConfigFileTransfer::ConfigFileTransfer(ui::WindowSystem& windows, rack::CInfo& info,
                                       CConfigValidate& validate)
    : m_windows(windows), m_info(info), m_validate(validate) {}

std::string ConfigFileTransfer::ConfigFolder(const rack::RackImage& image) {
    const std::string base = image.applicationFolder.empty() ? "." : image.applicationFolder;
    const std::string folder = base + "/config";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

void ConfigFileTransfer::Fail(const std::string& message, int64_t displayMs) {
    m_windows.Beep(kBeepHz, kBeepMs);
    m_info.ShowMessage(message, displayMs);
}

void ConfigFileTransfer::Save(rack::RackImage& image, ui::Dialog&) {
    const std::optional<std::string> chosen = AskPath(m_windows, DialogOptions(image, true));
    if (!chosen)
        return;
    const std::string& path = *chosen;
    std::vector<ConfigEntry> entries;
    for (size_t i = 0; i < image.moduleCount; ++i) {
        const rack::ModuleRecord& r = image.Live(i);
        entries.push_back({r.type, {r.Block().begin(), r.Block().end()}});
    }
    std::string error;
    const std::vector<uint8_t> bytes = BuildConfigFile(entries, error);
    if (!error.empty() || !WriteFileSafely(path, bytes, error)) {
        Fail(WithReason(kaptiv::text::LocalizedText(row::kCannotCreate), error), kRefusedMessageMs);
        return;
    }
    m_info.ShowMessage(kaptiv::text::LocalizedText(row::kSavedInto) + path, kMessageMs);
}

void ConfigFileTransfer::Load(rack::RackImage& image, link::CommandSet& commands, ui::Dialog& owner) {
    const std::optional<std::string> path = AskPath(m_windows, DialogOptions(image, false));
    if (!path)
        return;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFilePrefix(*path, kMaxFileBytes + 1, bytes, error)) {
        Fail(WithReason(kaptiv::text::LocalizedText(row::kCannotOpen), error), kRefusedMessageMs);
        return;
    }
    // A file that does not fit the rack image, or ends inside an entry, is refused whole: a cut
    // block written to a module would corrupt its settings.
    ConfigReadResult file = ParseConfigFile(bytes);
    if (!file.Ok()) {
        Fail(RefusedFileMessage(file), kRefusedMessageMs);
        return;
    }
    image.loadedCount = static_cast<uint8_t>(file.entries.size());
    for (size_t i = 0; i < file.entries.size(); ++i) {
        rack::ModuleRecord& r = image.Loaded(i);
        r = rack::ModuleRecord{};
        r.type = file.entries[i].type;
        r.SetBlock(file.entries[i].block);
    }
    m_validate.SetConfiguration(file.entries, LiveTypes(image));
    if (m_validate.DoModal(&owner) != ui::ModalResult::Ok || !m_validate.Matches())
        return;
    // The link may have dropped and a scan found another rack while the dialog was open.
    if (!ConfigMatches(file.entries, LiveTypes(image))) {
        Fail(kaptiv::text::LocalizedText(row::kDoesNotMatch), kMessageMs);
        return;
    }

    for (size_t i = 0; i < image.moduleCount; ++i) {
        rack::ModuleRecord& live = image.Live(i);
        rack::ModuleRecord& loaded = image.Loaded(i);
        std::vector<uint8_t> block(loaded.Block().begin(), loaded.Block().end());
        if (HoldsKeptBytes(live.type) && CarryKeptBytes(live.type, live.Block(), block))
            loaded.SetBlock(block);
        live.SetBlock(block);
    }
    // A module whose write failed keeps its previous reference copy: the settings editor's
    // next write sends its block again. The installer is told which modules they are.
    std::vector<size_t> notWritten;
    image.SendChanges(commands, &notWritten);
    image.ApplyOutputs(commands, rack::kAllChains);
    if (!notWritten.empty()) {
        Fail(NotUploadedMessage(image, notWritten), kRefusedMessageMs);
        return;
    }
    m_info.ShowMessage(kaptiv::text::LocalizedText(row::kUploaded), kMessageMs);
}

} // namespace kaptiv::configfiles
