#include "tools/FirmwareListing.h"

#include "firmware/FirmwareFolder.h"
#include "platform/ModuleType.h"
#include "tools/TerminalText.h"

#include <cstdio>
#include <vector>

namespace kaptiv::tools {

namespace {

std::string Release(int release) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", release / 10, release % 10);
    return text;
}

} // namespace

bool ListFirmwareFolder(const std::filesystem::path& folder, std::string& out) {
    char line[512];
    // One reader for the whole listing, as for one scan of the tool: each file is read once.
    firmware::FolderFiles files(folder);
    const firmware::FolderIndex index = firmware::IndexFirmwareFolder(files);
    if (!index.indexFound) {
        out += "no index " + std::string(firmware::kIndexFileName) + " in " + folder.string() + "\n";
    } else if (!index.indexError.empty()) {
        out += std::string(firmware::kIndexFileName) + " not read: " + index.indexError + "\n";
    } else {
        std::snprintf(line, sizeof line, "%s: %zu lines, %zu files in use\n", firmware::kIndexFileName,
                      index.lines.size(), index.Entries().size());
        out += line;
        std::snprintf(line, sizeof line, "  %-32s %4s %-9s %7s %8s %s\n", "file", "type", "", "release",
                      "revision", "minimum");
        out += line;
        for (const firmware::IndexLine& l : index.lines) {
            if (!l.added) {
                std::snprintf(line, sizeof line, "  %-32s skipped: %s\n", l.name.c_str(), l.skipped.c_str());
                out += line;
                continue;
            }
            const rack::FirmwareEntry& e = l.entry;
            const std::string minimum =
                e.minimumRelease == firmware::kNoMinimumRelease ? "none" : Release(e.minimumRelease);
            std::snprintf(line, sizeof line, "  %-32s %4d %-9s %7s %8d %s\n", l.name.c_str(), e.moduleType,
                          ModuleName(e.moduleType), Release(e.release).c_str(), e.hardwareRevision,
                          minimum.c_str());
            out += line;
        }
    }
    // The pictures a personality change needs: without its picture a modulator is not
    // switched to that personality (and nothing is sent to it).
    out += "front-panel pictures for a personality change:\n";
    for (const uint8_t target : {type::kModT2, type::kModT4, type::kModC4, type::kModC2}) {
        char name[32];
        std::snprintf(name, sizeof name, firmware::FrontPanelPicturePattern(target),
                      firmware::kPictureChangeFlag);
        const auto path = firmware::FindInFolder(folder, name);
        std::string state = "missing: no change to this personality";
        if (path) {
            const firmware::FolderFiles::File file = files.Read(*path);
            if (!file.ok)
                state = file.error + ": no change to this personality";
            else if (!firmware::SplitPackets(file.Bytes()))
                state = "not packet coded: no change to this personality";
            else
                state = std::to_string(file.Bytes().size()) + " bytes";
        }
        std::snprintf(line, sizeof line, "  %-12s %-9s %s\n", name, ModuleName(target), state.c_str());
        out += line;
    }
    const auto hd = firmware::ListHdComponentFiles(folder);
    const auto newest = firmware::NewestHdComponentFile(folder);
    out += "HD encoder component files: " + std::to_string(hd.size()) + "\n";
    for (const firmware::HdComponentFile& file : hd) {
        std::string computed;
        const auto matches = firmware::HdComponentDigestMatches(files, file, &computed);
        std::string state = !matches   ? "unreadable: " + files.Read(file.path).error
                            : *matches ? "MD5 matches"
                                       : "MD5 differs (computed " + computed + ")";
        if (newest && newest->path == file.path)
            state += matches == true ? ", the one sent" : ", refused: newest but MD5 differs or unreadable";
        std::snprintf(line, sizeof line, "  %s  release %s  %s\n", file.path.filename().string().c_str(),
                      Release(file.name.release).c_str(), state.c_str());
        out += line;
    }
    return index.indexFound && index.indexError.empty();
}

int RunFirmwareCommand(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "list") {
        std::fputs("usage: kaptiv-config firmware list DIR\n", stderr);
        return 2;
    }
    std::string out;
    const bool found = ListFirmwareFolder(args[1], out);
    // File names and index lines come from the folder: escaped on their way to the terminal.
    if (!PrintEscaped(stdout, out) || std::fflush(stdout) != 0)
        return 1;
    return found ? 0 : 1;
}

} // namespace kaptiv::tools
