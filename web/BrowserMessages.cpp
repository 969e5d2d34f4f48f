// The page-to-model half of the protocol: parsing untrusted browser messages.
#include "web/Protocol.h"

#include "ui/Controls.h"

#include <nlohmann/json.hpp>

#include <array>
#include <utility>

namespace kaptiv::web {

namespace {

using nlohmann::json;

template <class Enum> struct Named {
    std::string_view name;
    Enum value;
};

constexpr std::array<Named<ui::EventKind>, 13> kEventKinds{{
    {"click", ui::EventKind::Click},
    {"dblclick", ui::EventKind::DoubleClick},
    {"select", ui::EventKind::SelChange},
    {"edit", ui::EventKind::EditChange},
    {"check", ui::EventKind::CheckChange},
    {"scroll", ui::EventKind::Scroll},
    {"time", ui::EventKind::TimeChange},
    {"focus", ui::EventKind::FocusGained},
    {"focuslost", ui::EventKind::FocusLost},
    {"keydown", ui::EventKind::KeyDown},
    {"keyup", ui::EventKind::KeyUp},
    {"endlabeledit", ui::EventKind::EndLabelEdit},
    {"close", ui::EventKind::Close},
}};

// Key names as the browser's KeyboardEvent.key spells them.
constexpr std::array<Named<ui::Key>, 9> kKeys{{
    {"Enter", ui::Key::Enter},
    {"Escape", ui::Key::Escape},
    {"Tab", ui::Key::Tab},
    {"ArrowUp", ui::Key::Up},
    {"ArrowDown", ui::Key::Down},
    {"ArrowLeft", ui::Key::Left},
    {"ArrowRight", ui::Key::Right},
    {"Delete", ui::Key::Delete},
    {" ", ui::Key::Space},
}};

constexpr std::array<Named<ui::ModalResult>, 7> kResults{{
    {"ok", ui::ModalResult::Ok},
    {"cancel", ui::ModalResult::Cancel},
    {"abort", ui::ModalResult::Abort},
    {"retry", ui::ModalResult::Retry},
    {"ignore", ui::ModalResult::Ignore},
    {"yes", ui::ModalResult::Yes},
    {"no", ui::ModalResult::No},
}};

template <class Enum, size_t N>
std::optional<Enum> Lookup(const std::array<Named<Enum>, N>& table, std::string_view name) {
    for (const auto& entry : table)
        if (entry.name == name)
            return entry.value;
    return std::nullopt;
}

template <class Enum, size_t N> const char* NameOf(const std::array<Named<Enum>, N>& table, Enum value) {
    for (const auto& entry : table)
        if (entry.value == value)
            return entry.name.data();
    return "?";
}

// nlohmann::json keeps nesting on the native stack when it destroys a value; a cheap scan
// before parsing refuses deep nesting so that hostile input cannot exhaust it.
bool NestingWithin(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// Reads the fields of one message; the first problem is kept and later reads return
// defaults, like a byte reader's sticky error.
class FieldReader {
public:
    explicit FieldReader(const json& object) : m_object(object) {}

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    int Int(const char* name, int min, int max) {
        const json* v = Find(name);
        if (!v)
            return min;
        if (!v->is_number_integer()) {
            Fail(std::string(name) + " is not an integer");
            return min;
        }
        const auto value = v->get<int64_t>();
        if (value < min || value > max) {
            Fail(std::string(name) + " out of range");
            return min;
        }
        return static_cast<int>(value);
    }

    // Optional integer: the default when absent, an error when present but wrong.
    int IntOr(const char* name, int fallback, int min, int max) {
        if (!m_object.contains(name))
            return fallback;
        return Int(name, min, max);
    }

    std::string Text(const char* name, size_t maxBytes = kMaxEventText) {
        const json* v = Find(name);
        if (!v)
            return {};
        return CheckedText(*v, name, maxBytes);
    }

    std::vector<int> Ints(const char* name, size_t maxCount, int min, int max) {
        std::vector<int> out;
        const json* v = Find(name);
        if (!v)
            return out;
        if (!v->is_array() || v->size() > maxCount) {
            Fail(std::string(name) + " is not a short array");
            return out;
        }
        for (const auto& item : *v) {
            if (!item.is_number_integer() || item.get<int64_t>() < min || item.get<int64_t>() > max) {
                Fail(std::string(name) + " holds a bad entry");
                return {};
            }
            out.push_back(static_cast<int>(item.get<int64_t>()));
        }
        return out;
    }

    // An optional array of strings: empty when absent.
    std::vector<std::string> TextsOr(const char* name, size_t maxCount, size_t maxBytes) {
        std::vector<std::string> out;
        if (!m_object.contains(name))
            return out;
        const json* v = Find(name);
        if (!v->is_array() || v->size() > maxCount) {
            Fail(std::string(name) + " is not a short array");
            return out;
        }
        for (const auto& item : *v) {
            out.push_back(CheckedText(item, name, maxBytes));
            if (!Ok())
                return {};
        }
        return out;
    }

    void Fail(std::string why) {
        if (m_error.empty())
            m_error = std::move(why);
    }

private:
    const json* Find(const char* name) {
        const auto it = m_object.find(name);
        if (it == m_object.end()) {
            Fail(std::string("missing ") + name);
            return nullptr;
        }
        return &*it;
    }

    std::string CheckedText(const json& v, const char* name, size_t maxBytes) {
        if (!v.is_string()) {
            Fail(std::string(name) + " is not a string");
            return {};
        }
        const auto& s = v.get_ref<const std::string&>();
        // A NUL would cut the text short in every C interface it later reaches.
        if (s.size() > maxBytes || s.find('\0') != std::string::npos) {
            Fail(std::string(name) + " is too long or holds a NUL");
            return {};
        }
        return s;
    }

    const json& m_object;
    std::string m_error;
};

std::optional<ui::Key> ReadKey(FieldReader& in) {
    const auto key = Lookup(kKeys, in.Text("key", 16));
    if (!key)
        in.Fail("unknown key");
    return key;
}

void ReadEvent(FieldReader& in, const json& object, ui::UiEvent& e) {
    e.dialogId = in.Int("dialog", 0, kMaxId);
    const bool needsControl =
        e.kind != ui::EventKind::Close && e.kind != ui::EventKind::KeyDown && e.kind != ui::EventKind::KeyUp;
    e.controlId = needsControl ? in.Int("control", 0, kMaxId) : in.IntOr("control", 0, 0, kMaxId);
    switch (e.kind) {
    case ui::EventKind::Click:
        e.row = in.IntOr("row", -1, -1, kMaxId);
        e.column = in.IntOr("col", -1, -1, kMaxId);
        break;
    case ui::EventKind::DoubleClick:
        e.row = in.Int("row", -1, kMaxId);
        e.column = in.Int("col", -1, kMaxId);
        break;
    case ui::EventKind::SelChange:
        // Combo and list boxes send the index; list views the selected rows.
        if (object.contains("rows"))
            e.rows = in.Ints("rows", kMaxEventRows, 0, kMaxId);
        else
            e.value = in.Int("value", -1, kMaxId);
        break;
    case ui::EventKind::EditChange:
        e.text = in.Text("text");
        break;
    case ui::EventKind::CheckChange:
        e.value = in.Int("value", 0, 1);
        break;
    case ui::EventKind::Scroll:
        e.value = in.Int("value", -1'000'000, 1'000'000);
        break;
    case ui::EventKind::TimeChange:
        e.text = in.Text("text", 5);
        if (in.Ok() && !ui::ParseTimeOfDay(e.text))
            in.Fail("time is not HH:mm");
        break;
    case ui::EventKind::KeyDown:
    case ui::EventKind::KeyUp:
        if (const auto key = ReadKey(in))
            e.key = *key;
        break;
    case ui::EventKind::EndLabelEdit:
        e.row = in.Int("row", 0, kMaxId);
        e.column = in.Int("col", 0, kMaxId);
        // value 1 = accepted with text; no text = the edit was cancelled.
        e.value = object.contains("text") ? 1 : 0;
        if (e.value)
            e.text = in.Text("text");
        break;
    case ui::EventKind::FocusGained:
    case ui::EventKind::FocusLost:
    case ui::EventKind::Close:
        break;
    }
}

void ReadAnswer(FieldReader& in, BrowserMessage& m) {
    m.request = static_cast<uint64_t>(in.Int("request", 1, 1'000'000'000));
    const auto result = Lookup(kResults, in.Text("result", 16));
    if (!result)
        in.Fail("unknown result");
    else
        m.answer.result = *result;
    m.answer.paths = in.TextsOr("paths", kMaxAnswerPaths, kMaxPathBytes);
    for (std::string& path : m.answer.paths)
        path = DecodePathRef(path); // names that are not UTF-8 come back as refs
}

} // namespace

ParsedBrowserMessage ParseBrowserMessage(std::string_view text) noexcept {
    ParsedBrowserMessage result;
    try {
        if (text.size() > kMaxBrowserMessageBytes) {
            result.error = "message too long";
            return result;
        }
        if (!NestingWithin(text, kMaxBrowserMessageDepth)) {
            result.error = "message nested too deeply";
            return result;
        }
        const json object = json::parse(text, nullptr, /*allow_exceptions=*/false);
        if (!object.is_object()) {
            result.error = "not a JSON object";
            return result;
        }
        const auto type = object.find("type");
        if (type == object.end() || !type->is_string()) {
            result.error = "no message type";
            return result;
        }
        const std::string& name = type->get_ref<const std::string&>();
        BrowserMessage message;
        FieldReader in(object);
        if (name == "answer") {
            message.kind = BrowserMessageKind::Answer;
            ReadAnswer(in, message);
        } else if (name == "listfolder") {
            message.kind = BrowserMessageKind::ListFolder;
            message.request = static_cast<uint64_t>(in.Int("request", 1, 1'000'000'000));
            message.path = DecodePathRef(in.Text("path", kMaxPathBytes));
            if (object.contains("patterns"))
                message.patterns = in.Text("patterns", 256);
        } else if (name == "resync") {
            message.kind = BrowserMessageKind::Resync;
        } else if (const auto kind = Lookup(kEventKinds, name)) {
            message.kind = BrowserMessageKind::Event;
            message.event.kind = *kind;
            ReadEvent(in, object, message.event);
        } else {
            result.error = "unknown message type";
            return result;
        }
        if (!in.Ok()) {
            result.error = in.Error();
            return result;
        }
        result.message = std::move(message);
    } catch (const std::exception&) {
        // Only allocation failure can get here; the message is refused like any other.
        result.message.reset();
        result.error = "message could not be read";
    }
    return result;
}

std::string EncodeBrowserMessage(const BrowserMessage& m) {
    json j;
    switch (m.kind) {
    case BrowserMessageKind::Answer:
        j["type"] = "answer";
        j["request"] = m.request;
        j["result"] = NameOf(kResults, m.answer.result);
        if (!m.answer.paths.empty()) {
            json paths = json::array();
            for (const std::string& path : m.answer.paths)
                paths.push_back(EncodePathRef(path));
            j["paths"] = std::move(paths);
        }
        break;
    case BrowserMessageKind::ListFolder:
        j["type"] = "listfolder";
        j["request"] = m.request;
        j["path"] = EncodePathRef(m.path);
        if (!m.patterns.empty())
            j["patterns"] = m.patterns;
        break;
    case BrowserMessageKind::Resync:
        j["type"] = "resync";
        break;
    case BrowserMessageKind::Event: {
        const ui::UiEvent& e = m.event;
        j["type"] = NameOf(kEventKinds, e.kind);
        j["dialog"] = e.dialogId;
        j["control"] = e.controlId;
        switch (e.kind) {
        case ui::EventKind::Click:
        case ui::EventKind::DoubleClick:
            j["row"] = e.row;
            j["col"] = e.column;
            break;
        case ui::EventKind::SelChange:
            if (!e.rows.empty())
                j["rows"] = e.rows;
            else
                j["value"] = e.value;
            break;
        case ui::EventKind::EditChange:
        case ui::EventKind::TimeChange:
            j["text"] = e.text;
            break;
        case ui::EventKind::CheckChange:
        case ui::EventKind::Scroll:
            j["value"] = e.value;
            break;
        case ui::EventKind::KeyDown:
        case ui::EventKind::KeyUp:
            j["key"] = NameOf(kKeys, e.key);
            break;
        case ui::EventKind::EndLabelEdit:
            j["row"] = e.row;
            j["col"] = e.column;
            if (e.value)
                j["text"] = e.text;
            break;
        default:
            break;
        }
        break;
    }
    }
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

const char* EventKindToText(ui::EventKind kind) {
    return NameOf(kEventKinds, kind);
}

const char* KeyToText(ui::Key key) {
    return NameOf(kKeys, key);
}

const char* ResultToText(ui::ModalResult result) {
    return NameOf(kResults, result);
}

} // namespace kaptiv::web
