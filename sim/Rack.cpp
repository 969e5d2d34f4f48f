#include "sim/Rack.h"

#include "sim/DemoBlocks.h"
#include "sim/ModuleFiles.h"
#include "sim/Protocol.h"

#include "platform/FileAccess.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace mulvane {

namespace {

ModuleConfig DemoModule(uint8_t address, uint8_t type, uint8_t release, uint8_t hwRevision,
                        uint8_t identifyLength) {
    ModuleConfig m;
    m.address = address;
    m.type = type;
    m.release = release;
    m.hwRevision = hwRevision;
    m.wantedPersonality = 1;
    m.runningPersonality = 1;
    m.identifyLength = identifyLength;
    m.block = DemoBlockFor(type);
    m.inputs = DefaultReception(type);
    return m;
}

// The streaming tuner of the demo: a remote receiver, a USB key with the two files its
// schedule plays, and a log that has seen a start-up.
ModuleConfig DemoStreamingTuner(ModuleConfig m) {
    m.remoteReceiver = {192, 168, 10, 51};
    // Made once: every demo rack of the process (tests build many) shares the same bytes.
    static const UsbKeyConfig key = [] {
        UsbKeyConfig k;
        k.files = {{"promo_matin.ts", DemoTransportStream("promo_matin.ts", 188 * 500)},
                   {"meteo_soir.ts", DemoTransportStream("meteo_soir.ts", 188 * 250)}};
        return k;
    }();
    m.usbKey = key;
    m.log = "[       0.000] kernel: RkSat2.0 starting\n"
            "[       1.204] usb: key mounted on /mnt (2 files)\n"
            "[       1.530] play-out: schedule of 2 entries loaded\n"
            "[       2.018] tuner A: locked 11303 MHz H\n"
            "[       2.377] tuner B: locked 12515 MHz V\n";
    return m;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

RackConfig DemoRack() {
    // A small headend: modules sit at bus address 9 + slot. Chains in slot order:
    // twin satellite tuner -> CI module -> 4-channel COFDM; terrestrial tuner -> 2-channel QAM;
    // HD encoder -> IP streamer; single satellite tuner -> 1-channel COFDM; A/V encoder ->
    // 4-channel QAM. Older modules give the shorter identification answers.
    RackConfig rack;
    ModuleConfig controller = DemoModule(kAddrController, 0, 31, 2, 7);
    controller.wantedPersonality = 0;
    controller.runningPersonality = 0;
    rack.modules = {
        controller,
        DemoStreamingTuner(DemoModule(10, 7, 23, 3, 7)), // twin satellite tuner with USB key
        DemoModule(11, 3, 14, 1, 6),                     // common interface with CAM
        DemoModule(12, 6, 21, 2, 7),                     // COFDM modulator, 4 channels
        DemoModule(13, 12, 12, 1, 7),                    // DVB-T/T2/C tuner
        DemoModule(14, 11, 18, 1, 7),                    // QAM modulator, 2 channels
        DemoModule(15, 14, 30, 1, 7),                    // HD encoder
        DemoModule(16, 13, 15, 1, 7),                    // IP streamer
        DemoModule(17, 4, 35, 1, 3), // single satellite tuner, old firmware: 3-byte identification
        DemoModule(18, 2, 27, 1, 4), // COFDM modulator, 1 channel
        DemoModule(19, 9, 41, 2, 5), // A/V encoder
        DemoModule(20, 8, 19, 1, 7), // QAM modulator, 4 channels
    };
    return rack;
}

std::optional<std::vector<uint8_t>> ParseHexText(const std::string& text, std::string& error) {
    std::vector<uint8_t> out;
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(lines, line)) {
        ++lineNo;
        if (auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        for (char& c : line)
            if (c == ',')
                c = ' ';
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            std::string_view digits = word;
            if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
                digits.remove_prefix(2);
            if (digits.empty() || digits.size() % 2 != 0) {
                error =
                    "line " + std::to_string(lineNo) + ": \"" + word + "\" is not a run of hex byte pairs";
                return std::nullopt;
            }
            for (size_t i = 0; i < digits.size(); i += 2) {
                const int hi = HexValue(digits[i]);
                const int lo = HexValue(digits[i + 1]);
                if (hi < 0 || lo < 0) {
                    error = "line " + std::to_string(lineNo) + ": \"" + word + "\" is not hex";
                    return std::nullopt;
                }
                out.push_back(static_cast<uint8_t>(hi * 16 + lo));
            }
        }
    }
    return out;
}

bool ValidateRack(const RackConfig& rack, std::string& error) {
    if (rack.modules.empty() || rack.modules[0].type != 0 || rack.modules[0].address != kAddrController) {
        error = "the first module must be the controller (type 0, address 0)";
        return false;
    }
    std::set<uint8_t> seen;
    for (size_t i = 0; i < rack.modules.size(); ++i) {
        const ModuleConfig& m = rack.modules[i];
        const std::string where = "module " + std::to_string(i) + ": ";
        if (m.type > kMaxModuleType) {
            error = where + "type " + std::to_string(m.type) + " is not 0..14";
            return false;
        }
        if (m.address == kAddrPc || m.address == kAddrAll) {
            error = where + "address " + std::to_string(m.address) + " is reserved";
            return false;
        }
        if (!seen.insert(m.address).second) {
            error = where + "address " + std::to_string(m.address) + " is used twice";
            return false;
        }
        if (i > 0 && m.address == kAddrController) {
            error = where + "address 0 belongs to the controller";
            return false;
        }
        if (m.identifyLength < kMinIdentifyLength || m.identifyLength > kMaxIdentifyLength) {
            error = where + "identifyLength must be 3..7";
            return false;
        }
        if (m.block.size() > kMaxFrameData || m.readData.size() > kMaxFrameData ||
            (m.status && m.status->size() > kMaxFrameData)) {
            error = where + "an answer longer than 65535 bytes does not fit a frame";
            return false;
        }
        if (m.answerDelayMinMs < 0 || m.answerDelayMaxMs < m.answerDelayMinMs) {
            error = where + "answerDelayMs must be [min, max] with 0 <= min <= max";
            return false;
        }
    }
    if (rack.restartSilenceMs < 0) {
        error = "restartSilenceMs must not be negative";
        return false;
    }
    return true;
}

namespace {

bool ReadByteField(const nlohmann::json& j, const char* key, uint8_t& out, std::string& error) {
    if (!j.contains(key))
        return true;
    const auto& v = j.at(key);
    if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > 255) {
        error = std::string("\"") + key + "\" must be an integer 0..255";
        return false;
    }
    out = static_cast<uint8_t>(v.get<int64_t>());
    return true;
}

bool ReadHexField(const nlohmann::json& j, const char* key, std::vector<uint8_t>& out, std::string& error) {
    if (!j.contains(key))
        return true;
    if (!j.at(key).is_string()) {
        error = std::string("\"") + key + "\" must be a hex text";
        return false;
    }
    auto bytes = ParseHexText(j.at(key).get<std::string>(), error);
    if (!bytes) {
        error = std::string("\"") + key + "\": " + error;
        return false;
    }
    out = std::move(*bytes);
    return true;
}

bool ReadU16(const nlohmann::json& j, const char* key, uint16_t& out, std::string& error) {
    if (!j.contains(key))
        return true;
    const auto& v = j.at(key);
    if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > 65535) {
        error = std::string("\"") + key + "\" must be an integer 0..65535";
        return false;
    }
    out = static_cast<uint16_t>(v.get<int64_t>());
    return true;
}

bool ReadBool(const nlohmann::json& j, const char* key, bool& out, std::string& error) {
    if (!j.contains(key))
        return true;
    if (!j.at(key).is_boolean()) {
        error = std::string("\"") + key + "\" must be true or false";
        return false;
    }
    out = j.at(key).get<bool>();
    return true;
}

bool ReadInputs(const nlohmann::json& j, ModuleConfig& m, std::string& error) {
    if (!j.contains("inputs"))
        return true;
    const auto& inputs = j.at("inputs");
    if (!inputs.is_array() || inputs.size() > 3) {
        error = "\"inputs\" must be an array of at most 3 inputs";
        return false;
    }
    m.inputs.clear();
    for (const auto& in : inputs) {
        InputReception r;
        if (!in.is_object()) {
            error = "an input must be an object";
            return false;
        }
        if (!ReadU16(in, "tsid", r.transportStreamId, error) ||
            !ReadU16(in, "onid", r.originalNetworkId, error) || !ReadBool(in, "signal", r.signal, error))
            return false;
        if (in.contains("services")) {
            const auto& services = in.at("services");
            if (!services.is_array() || services.size() > 100) {
                error = "\"services\" must be an array of at most 100 services";
                return false;
            }
            for (const auto& sj : services) {
                ReceivedService s;
                if (!sj.is_object() || !sj.contains("id") || !ReadU16(sj, "id", s.id, error)) {
                    error = "a service needs an \"id\" 0..65535";
                    return false;
                }
                if (sj.contains("name")) {
                    if (!sj.at("name").is_string()) {
                        error = "a service \"name\" must be a text";
                        return false;
                    }
                    s.name = sj.at("name").get<std::string>();
                }
                if (!ReadBool(sj, "radio", s.radio, error) || !ReadBool(sj, "crypted", s.crypted, error))
                    return false;
                r.services.push_back(std::move(s));
            }
        }
        m.inputs.push_back(std::move(r));
    }
    return true;
}

bool ReadRemoteReceiver(const nlohmann::json& j, ModuleConfig& m, std::string& error) {
    if (!j.contains("remoteReceiver"))
        return true;
    const auto& v = j.at("remoteReceiver");
    unsigned a[4];
    char tail = 0;
    if (!v.is_string() ||
        std::sscanf(v.get<std::string>().c_str(), "%u.%u.%u.%u%c", &a[0], &a[1], &a[2], &a[3], &tail) != 4 ||
        a[0] > 255 || a[1] > 255 || a[2] > 255 || a[3] > 255) {
        error = "\"remoteReceiver\" must be a dotted address like \"192.168.1.20\"";
        return false;
    }
    for (int i = 0; i < 4; ++i)
        m.remoteReceiver[static_cast<size_t>(i)] = static_cast<uint8_t>(a[i]);
    return true;
}

bool ReadUsbKey(const nlohmann::json& j, ModuleConfig& m, std::string& error) {
    if (j.contains("log")) {
        if (!j.at("log").is_string()) {
            error = "\"log\" must be a text";
            return false;
        }
        m.log = j.at("log").get<std::string>();
    }
    if (!j.contains("usbKey"))
        return true;
    const auto& k = j.at("usbKey");
    if (!k.is_object()) {
        error = "\"usbKey\" must be an object";
        return false;
    }
    UsbKeyConfig key;
    if (!ReadBool(k, "present", key.present, error))
        return false;
    if (k.contains("capacityBytes")) {
        const auto& v = k.at("capacityBytes");
        if (!v.is_number_unsigned() || v.get<uint64_t>() > (uint64_t{1} << 32)) {
            error = "\"capacityBytes\" must be an integer 0..4294967296";
            return false;
        }
        key.capacityBytes = v.get<uint64_t>();
    }
    uint64_t total = 0;
    if (k.contains("files")) {
        if (!k.at("files").is_array()) {
            error = "\"files\" must be an array";
            return false;
        }
        for (const auto& f : k.at("files")) {
            if (!f.is_object() || !f.contains("name") || !f.at("name").is_string()) {
                error = "a key file needs a \"name\"";
                return false;
            }
            const std::string name = f.at("name").get<std::string>();
            const bool nameOk =
                !name.empty() && name.size() <= 249 && std::none_of(name.begin(), name.end(), [](char c) {
                    return c == '/' || c == 0 || static_cast<unsigned char>(c) < 0x20;
                });
            if (!nameOk) {
                error =
                    "key file name \"" + name + "\" must be 1..249 bytes without '/' or control characters";
                return false;
            }
            std::vector<uint8_t> bytes;
            if (f.contains("size") && f.at("size").is_number_unsigned() &&
                f.at("size").get<uint64_t>() <= kMaxUsbKeyFileBytes) {
                bytes = DemoTransportStream(name, f.at("size").get<size_t>());
            } else if (f.contains("text") && f.at("text").is_string()) {
                const std::string text = f.at("text").get<std::string>();
                bytes.assign(text.begin(), text.end());
            } else if (f.contains("hex")) {
                if (!ReadHexField(f, "hex", bytes, error))
                    return false;
            } else {
                error = "key file \"" + name + "\" needs \"size\" (at most 64 MiB), \"text\" or \"hex\"";
                return false;
            }
            total += bytes.size();
            key.files.emplace_back(name, std::move(bytes));
        }
    }
    if (total > key.capacityBytes) {
        error = "the key's files exceed its capacityBytes";
        return false;
    }
    m.usbKey = std::move(key);
    return true;
}

bool ReadModule(const nlohmann::json& j, ModuleConfig& m, std::string& error) {
    if (!j.is_object()) {
        error = "a module must be an object";
        return false;
    }
    if (!j.contains("type") || !j.contains("address")) {
        error = "a module needs \"type\" and \"address\"";
        return false;
    }
    if (!ReadByteField(j, "type", m.type, error) || !ReadByteField(j, "address", m.address, error) ||
        !ReadByteField(j, "release", m.release, error) ||
        !ReadByteField(j, "hwRevision", m.hwRevision, error) ||
        !ReadByteField(j, "wantedPersonality", m.wantedPersonality, error) ||
        !ReadByteField(j, "runningPersonality", m.runningPersonality, error) ||
        !ReadByteField(j, "extraStatus", m.extraStatus, error) ||
        !ReadByteField(j, "identifyLength", m.identifyLength, error))
        return false;
    if (m.type > kMaxModuleType) {
        error = "\"type\" must be 0..14";
        return false;
    }
    m.block = DemoBlockFor(m.type);
    if (!ReadHexField(j, "block", m.block, error) || !ReadHexField(j, "readData", m.readData, error))
        return false;
    if (j.contains("status")) {
        std::vector<uint8_t> status;
        if (!ReadHexField(j, "status", status, error))
            return false;
        m.status = std::move(status);
    }
    m.inputs = DefaultReception(m.type);
    if (!ReadInputs(j, m, error) || !ReadRemoteReceiver(j, m, error) || !ReadUsbKey(j, m, error))
        return false;
    if (j.contains("answerDelayMs")) {
        const auto& d = j.at("answerDelayMs");
        if (!d.is_array() || d.size() != 2 || !d[0].is_number_integer() || !d[1].is_number_integer()) {
            error = "\"answerDelayMs\" must be [min, max]";
            return false;
        }
        const int64_t lo = d[0].get<int64_t>();
        const int64_t hi = d[1].get<int64_t>();
        if (lo < 0 || hi < lo || hi > 600000) {
            error = "\"answerDelayMs\" must be [min, max] with 0 <= min <= max <= 600000";
            return false;
        }
        m.answerDelayMinMs = static_cast<int>(lo);
        m.answerDelayMaxMs = static_cast<int>(hi);
    }
    return true;
}

} // namespace

std::optional<RackConfig> LoadRackJson(const std::string& text, std::string& error) {
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "not a JSON object";
        return std::nullopt;
    }
    if (!j.contains("modules") || !j.at("modules").is_array()) {
        error = "\"modules\" must be an array";
        return std::nullopt;
    }
    RackConfig rack;
    if (j.contains("restartSilenceMs")) {
        const auto& v = j.at("restartSilenceMs");
        if (!v.is_number_integer() || v.get<int64_t>() < 0) {
            error = "\"restartSilenceMs\" must be a non-negative integer";
            return std::nullopt;
        }
        rack.restartSilenceMs = v.get<int64_t>();
    }
    size_t index = 0;
    for (const auto& entry : j.at("modules")) {
        ModuleConfig m;
        if (!ReadModule(entry, m, error)) {
            error = "module " + std::to_string(index) + ": " + error;
            return std::nullopt;
        }
        rack.modules.push_back(std::move(m));
        ++index;
    }
    if (!ValidateRack(rack, error))
        return std::nullopt;
    return rack;
}

std::optional<RackConfig> LoadRackFile(const std::string& path, std::string& error) {
    const kaptiv::platform::FileReadResult read = kaptiv::platform::ReadRegularFile(path, kMaxRackFileBytes);
    if (!read) {
        error = read.error;
        return std::nullopt;
    }
    auto rack = LoadRackJson(read.Text(), error);
    if (!rack)
        error = path + ": " + error;
    return rack;
}

} // namespace mulvane
