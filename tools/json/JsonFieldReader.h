#pragma once
// Reading the JSON form of decoded block values back: every field is optional (an absent key
// leaves the field as it was), a present field must have the right kind and fit its range.
// The first problem is kept, with the field's path, and everything after it is skipped.
#include "settings/BlockText.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace kaptiv::tools {

class JsonFieldReader {
public:
    explicit JsonFieldReader(std::string& error) : m_error(error) {}

    bool Ok() const { return m_error.empty(); }
    void Fail(const std::string& path, const std::string& why) {
        if (m_error.empty())
            m_error = path + ": " + why;
    }

    // The member `key` of `object`, or nullptr when absent. `object` itself must be an object.
    const nlohmann::json* Member(const nlohmann::json& object, const std::string& path, const char* key) {
        if (!Ok())
            return nullptr;
        if (!object.is_object()) {
            Fail(path, "expected an object");
            return nullptr;
        }
        const auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }

    template <typename T>
    void Integer(const nlohmann::json& object, const std::string& path, const char* key, T& field,
                 long long min = std::numeric_limits<T>::min(),
                 long long max = std::numeric_limits<T>::max()) {
        const nlohmann::json* value = Member(object, path, key);
        if (!value)
            return;
        IntegerValue(*value, Join(path, key), field, min, max);
    }

    template <typename T>
    void IntegerValue(const nlohmann::json& value, const std::string& path, T& field, long long min,
                      long long max) {
        if (!Ok())
            return;
        const std::string range =
            "expected an integer from " + std::to_string(min) + " to " + std::to_string(max);
        long long number = 0;
        if (value.is_number_unsigned()) {
            const auto u = value.get<unsigned long long>();
            if (u > static_cast<unsigned long long>(max)) {
                Fail(path, range);
                return;
            }
            number = static_cast<long long>(u);
        } else if (value.is_number_integer()) {
            number = value.get<long long>();
        } else {
            Fail(path, "expected an integer");
            return;
        }
        if (number < min || number > max) {
            Fail(path, range);
            return;
        }
        field = static_cast<T>(number);
    }

    void Bool(const nlohmann::json& object, const std::string& path, const char* key, bool& field) {
        const nlohmann::json* value = Member(object, path, key);
        if (!value)
            return;
        if (!value->is_boolean()) {
            Fail(Join(path, key), "expected true or false");
            return;
        }
        field = value->get<bool>();
    }

    void Text(const nlohmann::json& object, const std::string& path, const char* key, std::u32string& field) {
        const nlohmann::json* value = Member(object, path, key);
        if (!value)
            return;
        if (!value->is_string()) {
            Fail(Join(path, key), "expected a text");
            return;
        }
        auto text = settings::FromUtf8(value->get_ref<const std::string&>());
        if (!text) {
            Fail(Join(path, key), "the text is not valid UTF-8");
            return;
        }
        field = std::move(*text);
    }

    // Exactly N bytes written as hexadecimal pairs, separated by blanks or colons.
    template <size_t N>
    void HexBytes(const nlohmann::json& object, const std::string& path, const char* key,
                  std::array<uint8_t, N>& field) {
        const nlohmann::json* value = Member(object, path, key);
        if (!value)
            return;
        std::vector<uint8_t> bytes;
        if (!value->is_string() || !ParseHex(value->get_ref<const std::string&>(), bytes) ||
            bytes.size() != N) {
            Fail(Join(path, key), "expected " + std::to_string(N) + " bytes in hexadecimal (\"0A 1B ...\")");
            return;
        }
        std::copy(bytes.begin(), bytes.end(), field.begin());
    }

    // Dotted IPv4 address "a.b.c.d".
    void Address(const nlohmann::json& object, const std::string& path, const char* key,
                 std::array<uint8_t, 4>& field) {
        const nlohmann::json* value = Member(object, path, key);
        if (!value)
            return;
        unsigned a, b, c, d;
        char end;
        if (!value->is_string() ||
            std::sscanf(value->get_ref<const std::string&>().c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d,
                        &end) != 4 ||
            a > 255 || b > 255 || c > 255 || d > 255) {
            Fail(Join(path, key), "expected a dotted address \"a.b.c.d\" of numbers 0 to 255");
            return;
        }
        field = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                 static_cast<uint8_t>(d)};
    }

    // An array member; nullptr when absent or (with an error) not an array or longer than maxSize.
    const nlohmann::json* Array(const nlohmann::json& object, const std::string& path, const char* key,
                                size_t maxSize) {
        const nlohmann::json* value = Member(object, path, key);
        if (!value)
            return nullptr;
        if (!value->is_array()) {
            Fail(Join(path, key), "expected an array");
            return nullptr;
        }
        if (value->size() > maxSize) {
            Fail(Join(path, key), "at most " + std::to_string(maxSize) + " entries");
            return nullptr;
        }
        return value;
    }

    static std::string Join(const std::string& path, const char* key) {
        return path.empty() ? key : path + "." + key;
    }
    static std::string Index(const std::string& path, const char* key, size_t i) {
        return Join(path, key) + "[" + std::to_string(i) + "]";
    }

    static bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
        int high = -1;
        for (char c : text) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c == ' ' || c == ':' || c == '\t')
                continue;
            else
                return false;
            if (high < 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
                high = -1;
            }
        }
        return high < 0;
    }

private:
    std::string& m_error;
};

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

} // namespace kaptiv::tools
