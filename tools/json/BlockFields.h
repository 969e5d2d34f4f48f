#pragma once
// A block's JSON form is declared once, as a function template that names each field to a
// visitor, for example
//
//   template <class V, class Channel> void ChannelFields(V& v, Channel& c) {
//       v.Integer("serviceId", c.serviceId);
//       v.Choice("audioIndex", "audioText", c.audioIndex, kAudioRates);
//       v.Text("name", c.name);
//   }
//
// JsonWriter walks the declaration over const values and builds the JSON object; JsonReader
// walks the same declaration over the values to fill and reads the object back. Values that are
// only shown (the text of a code, a derived figure) are written and never read; steps that only
// reading needs sit under `if constexpr (V::kReading)`.
//
// Reading: every key is optional (an absent key leaves its field as it was), a present key must
// have the right kind and fit its range. The first problem is kept, with the field's path, and
// everything after it is skipped. How a problem is worded comes from the reader's Messages
// (PathMessages for most blocks, "sections[0].fecIndex: expected an integer from -14 to 241").
#include "platform/HexText.h"
#include "settings/BlockResult.h"
#include "settings/BlockText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kaptiv::tools {

// Rendering helpers shared by the JSON forms.
inline std::string HexText(std::span<const uint8_t> bytes, char separator = ' ') {
    std::string out;
    char cell[3];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += separator;
        std::snprintf(cell, sizeof cell, "%02X", bytes[i]);
        out += cell;
    }
    return out;
}

inline std::string AddressText(const std::array<uint8_t, 4>& ip) {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

// The text of a coded choice, or null for a code outside the list.
template <size_t N> nlohmann::json ChoiceText(const std::array<const char*, N>& texts, unsigned index) {
    return index < N ? nlohmann::json(texts[index]) : nlohmann::json(nullptr);
}

// A coded field whose JSON form is one of a few names ("EACEM", "ITC").
template <typename E, size_t N> using FieldNames = std::array<std::pair<const char*, E>, N>;

namespace detail {

template <typename T> struct Stored { using type = T; };
template <typename T>
requires std::is_enum_v<T>
struct Stored<T> {
    using type = std::underlying_type_t<T>;
};
// The integer a field is written as and read through (an enum field as its underlying type).
template <typename T> using StoredType = typename Stored<T>::type;

inline std::string Join(const std::string& path, const char* key) {
    return path.empty() ? key : path + "." + key;
}
inline std::string Index(const std::string& path, size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

} // namespace detail

class JsonWriter {
public:
    static constexpr bool kReading = false;

    explicit JsonWriter(nlohmann::json& object) : m_object(object) {}

    template <typename T> void Integer(const char* key, const T& field) {
        m_object[key] = static_cast<detail::StoredType<T>>(field);
    }
    template <typename T> void Integer(const char* key, const T& field, long long, long long) {
        Integer(key, field);
    }
    template <typename T> void Required(const char* key, const T& field) { Integer(key, field); }
    // The module type the block belongs to; reading refuses another.
    void TypeTag(const char* key, uint8_t type) { m_object[key] = type; }
    void Bool(const char* key, bool field) { m_object[key] = field; }
    void Text(const char* key, const std::u32string& field) { m_object[key] = settings::ToUtf8(field); }
    template <size_t N> void Hex(const char* key, const std::array<uint8_t, N>& field, char separator = ' ') {
        m_object[key] = HexText(field, separator);
    }
    void Address(const char* key, const std::array<uint8_t, 4>& field) { m_object[key] = AddressText(field); }
    template <typename T, size_t N>
    void Choice(const char* key, const char* textKey, const T& field,
                const std::array<const char*, N>& texts) {
        Integer(key, field);
        m_object[textKey] = ChoiceText(texts, field);
    }
    template <typename E, size_t N>
    void Named(const char* key, const E& field, const FieldNames<E, N>& names) {
        m_object[key] = nullptr;
        for (const auto& [name, value] : names) {
            if (value == field) {
                m_object[key] = name;
                break;
            }
        }
    }
    // Exactly N words, all of them written.
    template <size_t N> void Words(const char* key, const std::array<uint16_t, N>& field) {
        m_object[key] = field;
    }
    // The first `written` ids (the others exist in the block but mean nothing for this type).
    template <size_t N> void IdArray(const char* key, const std::array<uint16_t, N>& ids, size_t written) {
        nlohmann::json array = nlohmann::json::array();
        for (size_t i = 0; i < written && i < N; ++i)
            array.push_back(ids[i]);
        m_object[key] = std::move(array);
    }
    // N lists of service ids.
    template <size_t N> void IdLists(const char* key, const std::array<std::vector<uint16_t>, N>& lists) {
        nlohmann::json array = nlohmann::json::array();
        for (const auto& list : lists)
            array.push_back(list);
        m_object[key] = std::move(array);
    }
    // A value computed for the reader of the JSON; never read back.
    template <typename Make> void Shown(const char* key, Make make) { m_object[key] = make(); }

    template <typename Fields> void Object(const char* key, Fields fields) {
        nlohmann::json nested = nlohmann::json::object();
        JsonWriter writer(nested);
        fields(writer);
        m_object[key] = std::move(nested);
    }
    // Items of a container of fixed size: reading fills the first ones, up to `max`, in place.
    template <typename Items, typename Fields>
    void Objects(const char* key, const Items& items, size_t, Fields fields) {
        nlohmann::json array = nlohmann::json::array();
        for (size_t i = 0; i < items.size(); ++i) {
            nlohmann::json item = nlohmann::json::object();
            JsonWriter writer(item);
            fields(writer, items[i], i);
            array.push_back(std::move(item));
        }
        m_object[key] = std::move(array);
    }
    // A list of up to `max` entries: reading replaces the list by fresh entries filled from the JSON.
    template <typename Item, typename Fields>
    void Entries(const char* key, const std::vector<Item>& items, size_t max, Fields fields) {
        Objects(key, items, max, fields);
    }
    // Fields written only when `written` holds; reading takes them whenever present.
    template <typename Fields> void WrittenIf(bool written, Fields fields) {
        if (written)
            fields(*this);
    }

private:
    nlohmann::json& m_object;
};

template <typename Fields> nlohmann::json WriteJson(Fields fields) {
    nlohmann::json object = nlohmann::json::object();
    JsonWriter writer(object);
    fields(writer);
    return object;
}

// "sections[0].fecIndex: expected an integer from -14 to 241"
struct PathMessages {
    static std::string Say(const std::string& path, const std::string& why) { return path + ": " + why; }
    static std::string NotObject() { return "expected an object"; }
    static std::string NotInteger() { return "expected an integer"; }
    static std::string OutOfRange(long long min, long long max) {
        return "expected an integer from " + std::to_string(min) + " to " + std::to_string(max);
    }
    static std::string NotBool() { return "expected true or false"; }
    static std::string NotText() { return "expected a text"; }
    static std::string NotUtf8() { return "the text is not valid UTF-8"; }
    static std::string NotArray() { return "expected an array"; }
    static std::string TooMany(size_t max) { return "at most " + std::to_string(max) + " entries"; }
    static std::string Missing() { return "missing"; }
    static std::string NotOneOf(const std::vector<std::string>& names) {
        std::string why = "expected one of";
        for (const auto& name : names)
            why += " \"" + name + "\"";
        return why;
    }
    static std::string BadIdArray(size_t max) {
        return "expected an array of at most " + std::to_string(max) + " ids";
    }
    static std::string BadId() { return "expected 16-bit ids"; }
};

// "services[0].channel is outside 0 to 15"
struct PhraseMessages {
    static std::string Say(const std::string& path, const std::string& why) { return path + " " + why; }
    static std::string NotObject() { return "is not an object"; }
    static std::string NotInteger() { return "is not an integer"; }
    static std::string OutOfRange(long long min, long long max) {
        return "is outside " + std::to_string(min) + " to " + std::to_string(max);
    }
    static std::string NotBool() { return "is not true or false"; }
    static std::string NotText() { return "is not a string"; }
    static std::string NotUtf8() { return "is not valid UTF-8"; }
    static std::string NotArray() { return "is not an array"; }
    static std::string TooMany(size_t max) { return "has more than " + std::to_string(max) + " entries"; }
    static std::string Missing() { return "is missing"; }
    static std::string NotOneOf(const std::vector<std::string>& names) {
        std::string why = names.size() == 2 ? "is neither" : "is none of";
        for (size_t i = 0; i < names.size(); ++i)
            why += (i == 0 ? " \"" : (names.size() == 2 ? " nor \"" : ", \"")) + names[i] + "\"";
        return why;
    }
    static std::string BadIdArray(size_t max) {
        return "is not an array of at most " + std::to_string(max) + " ids";
    }
    static std::string BadId() { return "holds a value that is not a 16-bit id"; }
};

template <typename Messages> class JsonReader {
public:
    static constexpr bool kReading = true;

    // Reads the members of `object` at `path` ("" for the top); the first problem goes to `error`.
    JsonReader(const nlohmann::json& object, std::string path, std::string& error)
        : m_object(object), m_path(std::move(path)), m_error(error) {
        if (!m_object.is_object())
            Fail(m_path, Messages::NotObject());
    }

    bool Ok() const { return m_error.empty(); }

    template <typename T> void Integer(const char* key, T& field) {
        using S = detail::StoredType<T>;
        Integer(key, field, std::numeric_limits<S>::min(), std::numeric_limits<S>::max());
    }
    template <typename T> void Integer(const char* key, T& field, long long min, long long max) {
        if (const nlohmann::json* value = Member(key))
            IntegerValue(*value, detail::Join(m_path, key), field, min, max);
    }
    template <typename T> void Required(const char* key, T& field) {
        if (Ok() && m_object.is_object() && !m_object.contains(key))
            Fail(detail::Join(m_path, key), Messages::Missing());
        Integer(key, field);
    }
    void TypeTag(const char* key, uint8_t type) {
        const nlohmann::json* value = Member(key);
        if (value && (!value->is_number_integer() || value->get<long long>() != type))
            Fail(detail::Join(m_path, key), "does not match module type " + std::to_string(type));
    }
    void Bool(const char* key, bool& field) {
        const nlohmann::json* value = Member(key);
        if (!value)
            return;
        if (!value->is_boolean())
            return Fail(detail::Join(m_path, key), Messages::NotBool());
        field = value->get<bool>();
    }
    void Text(const char* key, std::u32string& field) {
        const nlohmann::json* value = Member(key);
        if (!value)
            return;
        if (!value->is_string())
            return Fail(detail::Join(m_path, key), Messages::NotText());
        auto text = settings::FromUtf8(value->get_ref<const std::string&>());
        if (!text)
            return Fail(detail::Join(m_path, key), Messages::NotUtf8());
        field = std::move(*text);
    }
    // Exactly N bytes written as hexadecimal pairs, separated by blanks or colons.
    template <size_t N> void Hex(const char* key, std::array<uint8_t, N>& field, char = ' ') {
        const nlohmann::json* value = Member(key);
        if (!value)
            return;
        // Pairs of hex digits with blanks, tabs or colons between them ("02:4D:56:13:2C:E7").
        platform::HexTextResult parsed;
        if (value->is_string())
            parsed = platform::ParseHexPairs(value->get_ref<const std::string&>(), " \t:", N);
        if (!value->is_string() || !parsed.Ok() || parsed.bytes.size() != N)
            return Fail(detail::Join(m_path, key),
                        "expected " + std::to_string(N) + " bytes in hexadecimal (\"0A 1B ...\")");
        std::copy(parsed.bytes.begin(), parsed.bytes.end(), field.begin());
    }
    // Dotted IPv4 address "a.b.c.d".
    void Address(const char* key, std::array<uint8_t, 4>& field) {
        const nlohmann::json* value = Member(key);
        if (!value)
            return;
        unsigned a, b, c, d;
        char end;
        if (!value->is_string() ||
            std::sscanf(value->get_ref<const std::string&>().c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d,
                        &end) != 4 ||
            a > 255 || b > 255 || c > 255 || d > 255)
            return Fail(detail::Join(m_path, key),
                        "expected a dotted address \"a.b.c.d\" of numbers 0 to 255");
        field = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                 static_cast<uint8_t>(d)};
    }
    template <typename T, size_t N>
    void Choice(const char* key, const char*, T& field, const std::array<const char*, N>&) {
        Integer(key, field);
    }
    template <typename E, size_t N> void Named(const char* key, E& field, const FieldNames<E, N>& names) {
        const nlohmann::json* value = Member(key);
        if (!value)
            return;
        for (const auto& [name, code] : names) {
            if (*value == name) {
                field = code;
                return;
            }
        }
        std::vector<std::string> texts;
        for (const auto& entry : names)
            texts.emplace_back(entry.first);
        Fail(detail::Join(m_path, key), Messages::NotOneOf(texts));
    }
    template <size_t N> void Words(const char* key, std::array<uint16_t, N>& field) {
        const nlohmann::json* value = Array(key, N);
        if (!value)
            return;
        const std::string path = detail::Join(m_path, key);
        if (value->size() != N)
            return Fail(path, "expected " + std::to_string(N) + " words");
        for (size_t i = 0; i < N; ++i)
            IntegerValue((*value)[i], detail::Index(path, i), field[i], 0, 0xFFFF);
    }
    template <size_t N> void IdArray(const char* key, std::array<uint16_t, N>& ids, size_t) {
        const nlohmann::json* value = Member(key);
        if (!value)
            return;
        const std::string path = detail::Join(m_path, key);
        if (!value->is_array() || value->size() > N)
            return Fail(path, Messages::BadIdArray(N));
        for (size_t i = 0; i < value->size(); ++i) {
            const nlohmann::json& id = (*value)[i];
            if (!id.is_number_integer() || id.get<int64_t>() < 0 || id.get<int64_t>() > 0xFFFF)
                return Fail(path, Messages::BadId());
            ids[i] = id.get<uint16_t>();
        }
    }
    // Present, the lists are replaced: list i takes the i-th array of the JSON, the others empty.
    template <size_t N> void IdLists(const char* key, std::array<std::vector<uint16_t>, N>& lists) {
        const nlohmann::json* value = Array(key, N);
        if (!value)
            return;
        for (auto& list : lists)
            list.clear();
        const std::string path = detail::Join(m_path, key);
        for (size_t i = 0; i < value->size() && Ok(); ++i) {
            const std::string at = detail::Index(path, i);
            const nlohmann::json& ids = (*value)[i];
            if (!ids.is_array())
                return Fail(at, "expected an array of service ids");
            if (ids.size() > settings::kMaxBlockSize)
                return Fail(at, "too many service ids");
            lists[i].assign(ids.size(), 0);
            for (size_t k = 0; k < ids.size() && Ok(); ++k)
                IntegerValue(ids[k], detail::Index(at, k), lists[i][k], 0, 0xFFFF);
        }
    }
    template <typename Make> void Shown(const char*, Make) {}

    template <typename Fields> void Object(const char* key, Fields fields) {
        if (const nlohmann::json* value = Member(key)) {
            JsonReader nested(*value, detail::Join(m_path, key), m_error);
            fields(nested);
        }
    }
    template <typename Items, typename Fields>
    void Objects(const char* key, Items& items, size_t max, Fields fields) {
        const nlohmann::json* value = Array(key, std::min(max, items.size()));
        if (value)
            ReadItems(key, *value, items, fields);
    }
    template <typename Item, typename Fields>
    void Entries(const char* key, std::vector<Item>& items, size_t max, Fields fields) {
        const nlohmann::json* value = Array(key, max);
        if (!value)
            return;
        items.assign(value->size(), Item{});
        ReadItems(key, *value, items, fields);
    }
    template <typename Fields> void WrittenIf(bool, Fields fields) { fields(*this); }

private:
    void Fail(const std::string& path, const std::string& why) {
        if (m_error.empty())
            m_error = Messages::Say(path, why);
    }

    // The member `key`, or nullptr when absent, when this is no object or after a problem.
    const nlohmann::json* Member(const char* key) {
        if (!Ok() || !m_object.is_object())
            return nullptr;
        const auto it = m_object.find(key);
        return it == m_object.end() ? nullptr : &*it;
    }

    // An array member; nullptr when absent or (with a problem) not an array or longer than max.
    const nlohmann::json* Array(const char* key, size_t max) {
        const nlohmann::json* value = Member(key);
        if (!value)
            return nullptr;
        if (!value->is_array()) {
            Fail(detail::Join(m_path, key), Messages::NotArray());
            return nullptr;
        }
        if (value->size() > max) {
            Fail(detail::Join(m_path, key), Messages::TooMany(max));
            return nullptr;
        }
        return value;
    }

    template <typename Items, typename Fields>
    void ReadItems(const char* key, const nlohmann::json& array, Items& items, Fields fields) {
        const std::string path = detail::Join(m_path, key);
        for (size_t i = 0; i < array.size() && Ok(); ++i) {
            JsonReader item(array[i], detail::Index(path, i), m_error);
            fields(item, items[i], i);
        }
    }

    template <typename T>
    void IntegerValue(const nlohmann::json& value, const std::string& path, T& field, long long min,
                      long long max) {
        if (!Ok())
            return;
        long long number = 0;
        if (value.is_number_unsigned()) {
            const auto u = value.get<unsigned long long>();
            if (u > static_cast<unsigned long long>(max))
                return Fail(path, Messages::OutOfRange(min, max));
            number = static_cast<long long>(u);
        } else if (value.is_number_integer()) {
            number = value.get<long long>();
        } else {
            return Fail(path, Messages::NotInteger());
        }
        if (number < min || number > max)
            return Fail(path, Messages::OutOfRange(min, max));
        field = static_cast<T>(number);
    }

    const nlohmann::json& m_object;
    std::string m_path;
    std::string& m_error;
};

// Reads `json` through the declaration `fields`; false with the first problem in `error`.
template <typename Messages, typename Fields>
bool ReadJson(const nlohmann::json& json, std::string& error, Fields fields) {
    error.clear();
    JsonReader<Messages> reader(json, "", error);
    fields(reader);
    return reader.Ok();
}

} // namespace kaptiv::tools
