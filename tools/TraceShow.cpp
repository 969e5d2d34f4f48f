#include "tools/TraceShow.h"

#include "cam/MmiCodec.h"
#include "link/CommandNames.h"
#include "link/CommandSet.h"
#include "link/LinkTrace.h"
#include "platform/ModuleType.h"
#include "tools/TerminalText.h"
#include "tools/json/BlockJson.h"

#include <array>
#include <cstdio>
#include <map>
#include <utility>

namespace kaptiv::tools {

namespace {

constexpr uint8_t kIdentifyMark = 0x77;
constexpr size_t kModuleListEntrySize = 3; // address, type, one byte not used

// What one transport packet's decoding may still spend.
struct Budget {
    size_t objects = 0;
    bool Spend() { return ++objects <= kMaxObjectsPerPacket; }
};

std::string Hex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            out.push_back(' ');
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return out;
}

std::string HexTag(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

const char* TransportTagName(uint8_t tag) {
    switch (tag) {
    case 0x80:
        return "T_SB";
    case 0x81:
        return "T_RCV";
    case 0x82:
        return "T_create_t_c";
    case 0x83:
        return "T_c_t_c_reply";
    case 0x84:
        return "T_delete_t_c";
    case 0x85:
        return "T_d_t_c_reply";
    case 0x86:
        return "T_request_t_c";
    case 0x87:
        return "T_new_t_c";
    case 0x88:
        return "T_t_c_error";
    case 0xA0:
        return "T_data_last";
    case 0xA1:
        return "T_data_more";
    default:
        return nullptr;
    }
}

const char* SessionTagName(uint8_t tag) {
    switch (tag) {
    case 0x90:
        return "session_number";
    case 0x91:
        return "open_session_request";
    case 0x92:
        return "open_session_response";
    case 0x93:
        return "create_session";
    case 0x94:
        return "create_session_response";
    case 0x95:
        return "close_session_request";
    case 0x96:
        return "close_session_response";
    default:
        return nullptr;
    }
}

const char* ObjectTagName(uint32_t tag) {
    switch (tag) {
    case 0x9F8010:
        return "profile_enq";
    case 0x9F8011:
        return "profile";
    case 0x9F8012:
        return "profile_change";
    case 0x9F8020:
        return "application_info_enq";
    case 0x9F8021:
        return "application_info";
    case cam::tag::kEnterMenu:
        return "enter_menu";
    case 0x9F8030:
        return "ca_info_enq";
    case 0x9F8031:
        return "ca_info";
    case 0x9F8032:
        return "ca_pmt";
    case 0x9F8033:
        return "ca_pmt_reply";
    case cam::tag::kCloseMmi:
        return "close_mmi";
    case cam::tag::kDisplayControl:
        return "display_control";
    case 0x9F8802:
        return "display_reply";
    case cam::tag::kTextLast:
        return "text_last";
    case cam::tag::kTextMore:
        return "text_more";
    case cam::tag::kEnq:
        return "enq";
    case cam::tag::kAnsw:
        return "answ";
    case cam::tag::kMenuLast:
        return "menu_last";
    case 0x9F880A:
        return "menu_more";
    case cam::tag::kMenuAnsw:
        return "menu_answ";
    case cam::tag::kListLast:
        return "list_last";
    case 0x9F880D:
        return "list_more";
    default:
        return nullptr;
    }
}

nlohmann::json TooMany(std::span<const uint8_t> rest) {
    return {{"error", "more than " + std::to_string(kMaxObjectsPerPacket) +
                          " objects in one packet: the rest is not decoded"},
            {"undecoded", Hex(rest)}};
}

// The application objects after a session_number header; a menu's items are objects inside
// it, one level deeper.
nlohmann::json DecodeObjects(std::span<const uint8_t> data, size_t level, Budget& budget) {
    nlohmann::json objects = nlohmann::json::array();
    size_t pos = 0;
    while (pos < data.size()) {
        if (!budget.Spend()) {
            objects.push_back(TooMany(data.subspan(pos)));
            break;
        }
        if (data.size() - pos < 4) {
            objects.push_back({{"undecoded", Hex(data.subspan(pos))}});
            break;
        }
        const uint32_t tag = static_cast<uint32_t>(data[pos]) << 16 |
                             static_cast<uint32_t>(data[pos + 1]) << 8 | data[pos + 2];
        size_t at = pos + 3;
        const auto length = cam::ReadLengthField(data, at);
        if (!length || *length > data.size() - at) {
            objects.push_back({{"tag", HexTag(tag, 6)},
                               {"error", "length runs past the packet"},
                               {"undecoded", Hex(data.subspan(pos))}});
            break;
        }
        const auto body = data.subspan(at, *length);
        nlohmann::json object;
        const char* name = ObjectTagName(tag);
        object["object"] = name ? name : "unknown";
        object["tag"] = HexTag(tag, 6);
        if ((tag == cam::tag::kTextLast || tag == cam::tag::kTextMore) && !body.empty())
            object["text"] = cam::Utf8FromBytes(body);
        else if (tag == cam::tag::kEnq && body.size() >= 2) {
            object["blind"] = (body[0] & 0x01) != 0;
            object["answer_length"] = body[1];
            object["text"] = cam::Utf8FromBytes(body.subspan(2));
        } else if (tag == cam::tag::kAnsw && !body.empty()) {
            object["answ_id"] = body[0] == 0x01 ? "answer" : body[0] == 0x00 ? "cancel" : HexTag(body[0], 2);
            object["text"] = cam::Utf8FromBytes(body.subspan(1));
        } else if (tag == cam::tag::kMenuAnsw && body.size() == 1) {
            object["choice"] = body[0];
        } else if ((tag == cam::tag::kMenuLast || tag == cam::tag::kListLast) && !body.empty()) {
            object["choices"] = body[0];
            // The menu's texts follow inside its body.
            if (level < kMaxNesting) {
                object["items"] = DecodeObjects(body.subspan(1), level + 1, budget);
            } else {
                object["error"] = "nested deeper than " + std::to_string(kMaxNesting) + " levels";
                object["undecoded"] = Hex(body.subspan(1));
            }
        } else if (!body.empty()) {
            object["body"] = Hex(body);
        }
        objects.push_back(std::move(object));
        pos = at + *length;
    }
    return objects;
}

// The session objects inside a T_data packet's body (after its transport connection byte).
nlohmann::json DecodeSession(std::span<const uint8_t> data, Budget& budget) {
    nlohmann::json sessions = nlohmann::json::array();
    size_t pos = 0;
    while (pos < data.size()) {
        const uint8_t tag = data[pos];
        size_t at = pos + 1;
        const auto length = cam::ReadLengthField(data, at);
        if (!length || *length > data.size() - at) {
            sessions.push_back(
                {{"error", "session object runs past the packet"}, {"undecoded", Hex(data.subspan(pos))}});
            break;
        }
        const auto body = data.subspan(at, *length);
        nlohmann::json session;
        const char* name = SessionTagName(tag);
        session["spdu"] = name ? name : "unknown";
        session["tag"] = HexTag(tag, 2);
        if (tag == 0x90 && body.size() == 2) {
            session["session"] = body[0] << 8 | body[1];
            // The application objects follow the header, up to the end of the packet.
            session["objects"] = DecodeObjects(data.subspan(at + 2), 1, budget);
            sessions.push_back(std::move(session));
            break;
        }
        if (!body.empty())
            session["body"] = Hex(body);
        sessions.push_back(std::move(session));
        pos = at + *length;
    }
    return sessions;
}

nlohmann::json DecodeTransport(std::span<const uint8_t> data) {
    Budget budget;
    nlohmann::json packets = nlohmann::json::array();
    size_t pos = 0;
    while (pos < data.size()) {
        const uint8_t tag = data[pos];
        size_t at = pos + 1;
        const auto length = cam::ReadLengthField(data, at);
        if (!length || *length > data.size() - at) {
            packets.push_back(
                {{"error", "transport packet runs past the data"}, {"undecoded", Hex(data.subspan(pos))}});
            break;
        }
        const auto body = data.subspan(at, *length);
        nlohmann::json packet;
        const char* name = TransportTagName(tag);
        packet["tpdu"] = name ? name : "unknown";
        packet["tag"] = HexTag(tag, 2);
        if (!body.empty())
            packet["t_c_id"] = body[0];
        if ((tag == 0xA0 || tag == 0xA1) && body.size() > 1)
            packet["spdus"] = DecodeSession(body.subspan(1), budget);
        else if (body.size() > 1)
            packet["body"] = Hex(body.subspan(1));
        packets.push_back(std::move(packet));
        pos = at + *length;
    }
    return packets;
}

} // namespace

nlohmann::json DecodeCamOutgoing(std::span<const uint8_t> bytes) {
    if (bytes.size() < 2)
        return {{"error", "shorter than the link header"}, {"undecoded", Hex(bytes)}};
    return {{"link", {{"t_c_id", bytes[0]}, {"more", (bytes[1] & 0x80) != 0}}},
            {"tpdus", DecodeTransport(bytes.subspan(2))}};
}

nlohmann::json DecodeCamIncoming(std::span<const uint8_t> bytes, std::vector<uint8_t>* pending) {
    nlohmann::json out;
    std::vector<uint8_t> packet;
    if (pending) {
        packet.swap(*pending);
        if (!packet.empty())
            out["continued"] = packet.size();
    }
    nlohmann::json packets = nlohmann::json::array();
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 2) {
            out["error"] = "link record cut short";
            break;
        }
        const bool skip = (bytes[pos] & 0x80) != 0;
        const size_t length = static_cast<size_t>(bytes[pos] & 0x7F) << 8 | bytes[pos + 1];
        if (length > bytes.size() - pos - 2 || (!skip && length < 2)) {
            out["error"] = "link record runs past the answer";
            break;
        }
        if (!skip) {
            const bool more = (bytes[pos + 3] & 0x80) != 0;
            const auto fragment = bytes.subspan(pos + 4, length - 2);
            if (packet.size() + fragment.size() <= cam::CamReceiver::kBufferSize) {
                packet.insert(packet.end(), fragment.begin(), fragment.end());
            } else {
                out["error"] = "a packet longer than the 4096-byte reassembly buffer was dropped";
                packet.clear();
            }
            if (!more) {
                for (auto& p : DecodeTransport(packet))
                    packets.push_back(std::move(p));
                packet.clear();
            }
        }
        pos += 2 + length;
    }
    if (!packet.empty() && pending && !out.contains("error")) {
        out["held_for_next_answer"] = packet.size();
        pending->swap(packet);
    } else if (!packet.empty()) {
        out["incomplete"] = Hex(packet);
    }
    out["tpdus"] = std::move(packets);
    if (pos < bytes.size())
        out["undecoded"] = Hex(bytes.subspan(pos));
    return out;
}

namespace {

std::string Dump(const nlohmann::json& json) {
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

// What the trace has taught so far, carried from line to line.
struct TraceState {
    std::map<uint8_t, uint8_t> types; // learned from the trace itself
    // Fragments of a CAM packet whose end comes in a later read-data answer, by module.
    std::map<uint8_t, std::vector<uint8_t>> camPending;
};

// One exchange decoded, unbounded in principle; the caller cuts it.
std::string DecodeLine(const link::TraceLine& l, int number, TraceState& state) {
    std::string out;
    char head[256];
    const auto known = state.types.find(l.address);
    const int type = known == state.types.end() ? -1 : known->second;
    std::string module =
        l.address == link::kBroadcastAddress ? "all modules" : "module " + HexTag(l.address, 2);
    if (type >= 0)
        module += std::string(" (") +
                  (IsKnownType(static_cast<uint8_t>(type)) ? ModuleName(static_cast<uint8_t>(type))
                                                           : "unknown type") +
                  ")";
    const std::string_view name = link::CommandName(l.command, l.request);
    // Built whole: a transport field may be far longer than any fixed buffer.
    out += "line " + std::to_string(number) + "  +" + std::to_string(l.ms) + " ms  " + l.transport + "  " +
           module + "  " + std::string(name) + "  " + std::string(link::ResultToken(l.result)) + "\n";

    const bool toCam = type >= 0 && RoleOf(static_cast<uint8_t>(type)) == ModuleRole::CommonInterface;
    const bool hasBlock = type >= 0 && IsKnownType(static_cast<uint8_t>(type)) &&
                          kModuleTypes[static_cast<size_t>(type)].layout != BlockLayout::None;
    if (!l.request.empty()) {
        if (l.command == link::cmd::kWriteData && toCam) {
            out += "  request: CAM packet " + Dump(DecodeCamOutgoing(l.request)) + "\n";
        } else if (l.command == link::cmd::kWriteData && hasBlock) {
            const JsonDecodeResult decoded = BlockToJson(static_cast<uint8_t>(type), l.request);
            out += decoded.Ok() ? "  request: parameter block " + Dump(decoded.json) + "\n"
                                : "  request: " + Hex(l.request) + "  (not a block: " + decoded.error + ")\n";
        } else {
            out += "  request: " + Hex(l.request) + "\n";
        }
    }
    if (!l.answered)
        return out;
    out += "  answer " + HexTag(l.answerControl, 2) + ":";
    if (l.result != link::LinkResult::Ok || l.answer.empty()) {
        out += (l.answer.empty() ? std::string(" (no data)") : " " + Hex(l.answer)) + "\n";
        return out;
    }
    if (l.command == link::cmd::kIdentify && l.answer.size() >= 3 && l.answer[0] == kIdentifyMark) {
        state.types[l.address] = l.answer[1];
        std::snprintf(head, sizeof head, " type %u %s, release %u.%u%s\n", l.answer[1],
                      ModuleName(l.answer[1]), l.answer[2] / 10, l.answer[2] % 10,
                      l.answer.size() > 3 ? (", hardware " + std::to_string(l.answer[3])).c_str() : "");
        out += head;
    } else if (l.command == link::cmd::kReadData && l.address == link::kControllerAddress) {
        out += " module list";
        for (size_t k = 0; k + kModuleListEntrySize <= l.answer.size(); k += kModuleListEntrySize) {
            state.types.emplace(l.answer[k], l.answer[k + 1]);
            out += " " + HexTag(l.answer[k], 2) + "=" + std::to_string(l.answer[k + 1]);
        }
        out += "\n";
    } else if (l.command == link::cmd::kReadData && toCam) {
        out += " CAM packets " + Dump(DecodeCamIncoming(l.answer, &state.camPending[l.address])) + "\n";
    } else if (l.command == link::cmd::kReadParameters && hasBlock) {
        const JsonDecodeResult decoded = BlockToJson(static_cast<uint8_t>(type), l.answer);
        out += decoded.Ok() ? " parameter block " + Dump(decoded.json) + "\n"
                            : " " + Hex(l.answer) + "  (not a block: " + decoded.error + ")\n";
    } else {
        out += " " + Hex(l.answer) + "\n";
    }
    return out;
}

// Cut to the output bound, escaped, and handed on.
void EmitLine(std::string text, int number, size_t maxOutput, const TraceEmit& emit) {
    if (text.size() > maxOutput) {
        text.resize(maxOutput);
        text += "\n  ... the decoding of line " + std::to_string(number) + " is cut here (more than " +
                std::to_string(maxOutput) + " bytes)\n";
    }
    emit(EscapeControls(text));
}

} // namespace

int ShowTrace(std::string_view text, const TraceEmit& emit, size_t maxLineOutput) {
    TraceState state;
    int faults = 0;
    int number = 0;
    size_t start = 0;
    // Line by line: only the line at hand is held, decoded and written out.
    while (start < text.size()) {
        ++number;
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const link::TraceParse parse = link::ParseTraceLine(text.substr(start, end - start));
        start = end + 1;
        if (!parse.Ok()) {
            ++faults;
            EmitLine("line " + std::to_string(number) + ": not a trace line (" + parse.error + ")\n", number,
                     maxLineOutput, emit);
        } else if (parse.line) {
            EmitLine(DecodeLine(*parse.line, number, state), number, maxLineOutput, emit);
        }
    }
    for (const auto& [address, held] : state.camPending)
        if (!held.empty())
            EmitLine("module " + HexTag(address, 2) + ": the trace ends inside a CAM packet (" +
                         std::to_string(held.size()) + " bytes: " + Hex(held) + ")\n",
                     number, maxLineOutput, emit);
    return faults;
}

int ShowTrace(std::string_view text, std::string& out) {
    return ShowTrace(text, [&out](std::string_view line) { out.append(line); });
}

} // namespace kaptiv::tools
