#include "tools/json/QvcJson.h"

#include "platform/HexText.h"
#include "platform/ModuleType.h"
#include "tools/json/BlockJson.h"

namespace kaptiv::tools {

std::string HexText(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::optional<std::vector<uint8_t>> ParseHex(const std::string& text, std::string& error) {
    auto parsed = platform::ParseHexPairs(text, " \t\n\r");
    if (!parsed.Ok()) {
        error = parsed.error;
        return std::nullopt;
    }
    return std::move(parsed.bytes);
}

nlohmann::json QvcToJson(const std::vector<configfiles::ConfigEntry>& entries) {
    nlohmann::json modules = nlohmann::json::array();
    for (size_t i = 0; i < entries.size(); ++i) {
        const configfiles::ConfigEntry& e = entries[i];
        nlohmann::json m = {{"slot", i}, {"type", e.type}, {"module", ModuleName(e.type)}};
        JsonDecodeResult decoded;
        if (HasEditableBlock(e.type))
            decoded = BlockToJson(e.type, e.block);
        if (HasEditableBlock(e.type) && decoded.Ok())
            m["block"] = std::move(decoded.json);
        else if (!decoded.Ok())
            m["decodeError"] = decoded.error;
        m["hex"] = HexText(e.block);
        modules.push_back(std::move(m));
    }
    return {{"modules", std::move(modules)}};
}

std::vector<uint8_t> QvcFromJson(const nlohmann::json& json, std::string& error) {
    if (!json.is_object() || !json.contains("modules") || !json["modules"].is_array()) {
        error = "expected an object with a \"modules\" array";
        return {};
    }
    const nlohmann::json& modules = json["modules"];
    if (modules.empty()) {
        // It would make a 0-byte file, which loads as nothing at all.
        error = "the module list is empty: a configuration file holds at least one module";
        return {};
    }
    if (modules.size() > configfiles::kMaxEntries) {
        error = std::to_string(modules.size()) + " modules, at most " +
                std::to_string(configfiles::kMaxEntries) + " fit";
        return {};
    }
    std::vector<configfiles::ConfigEntry> entries;
    for (size_t i = 0; i < modules.size(); ++i) {
        const nlohmann::json& m = modules[i];
        const std::string where = "module " + std::to_string(i) + ": ";
        if (!m.is_object() || !m.contains("type") || !m["type"].is_number_integer()) {
            error = where + "needs an integer \"type\"";
            return {};
        }
        const int64_t code = m["type"].get<int64_t>();
        if (code < 0 || code > 255) {
            error = where + "type " + std::to_string(code) + " is not a byte";
            return {};
        }
        configfiles::ConfigEntry entry;
        entry.type = static_cast<uint8_t>(code);
        std::optional<std::vector<uint8_t>> hex;
        if (m.contains("hex")) {
            if (!m["hex"].is_string()) {
                error = where + "\"hex\" must be a text";
                return {};
            }
            std::string why;
            hex = ParseHex(m["hex"].get<std::string>(), why);
            if (!hex) {
                error = where + why;
                return {};
            }
        }
        const bool blockUnchanged = hex && m.contains("block") && [&] {
            const JsonDecodeResult fromHex = BlockToJson(entry.type, *hex);
            return fromHex.Ok() && fromHex.json == m["block"];
        }();
        if (m.contains("block") && !blockUnchanged) {
            if (!m["block"].is_object()) {
                error = where + "\"block\" must be an object";
                return {};
            }
            settings::EncodeResult built = BlockFromJson(entry.type, m["block"]);
            if (!built.Ok()) {
                error = where + built.error;
                return {};
            }
            entry.block = std::move(built.block);
        } else if (hex) {
            entry.block = std::move(*hex);
        }
        entries.push_back(std::move(entry));
    }
    return configfiles::BuildConfigFile(entries, error);
}

} // namespace kaptiv::tools
