#include "editor/PageFields.h"

#include "settings/BlockText.h"
#include "text/ToolText.h"
#include "ui/WindowSystem.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kaptiv::editor {

namespace {
// The number a field holds, as the range check reads it (blanks around it allowed); a number
// too long for the type is still a number, just out of range.
std::optional<long long> ParseNumber(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::nullopt;
    const size_t end = text.find_last_not_of(" \t");
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+')
        ++first;
    long long value = 0;
    const auto [ptr, error] = std::from_chars(first, last, value);
    if (ptr != last || (error != std::errc() && error != std::errc::result_out_of_range))
        return std::nullopt;
    if (error == std::errc::result_out_of_range)
        return *first == '-' ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    return value;
}
} // namespace

bool PageFields::IsDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void PageFields::SetNumber(int controlId, long long value) {
    Item(controlId).SetText(std::to_string(value));
}

void PageFields::Sanitise(int controlId) {
    ui::Control& c = Item(controlId);
    if (!IsDigits(c.Text()))
        c.SetText("");
    if (c.Text().empty())
        c.SetText("0");
}

uint32_t PageFields::Number(int controlId) {
    Sanitise(controlId);
    const std::string& text = Item(controlId).Text();
    if (text.size() > 9)
        return UINT32_MAX;
    return static_cast<uint32_t>(std::stoul(text));
}

uint16_t PageFields::Word(int controlId) {
    return static_cast<uint16_t>(std::min<uint32_t>(Number(controlId), UINT16_MAX));
}

long long PageFields::Shown(int controlId) {
    const std::string& text = Item(controlId).Text();
    return !text.empty() && text.size() < 12 && IsDigits(text) ? std::stoll(text) : 0;
}

bool PageFields::StillRefused(int controlId, const std::string& text) const {
    return controlId == m_refusedField && text == m_refusedText;
}

void PageFields::Accepted(int controlId) {
    if (controlId == m_refusedField)
        m_refusedField = 0;
}

void PageFields::Refuse(int controlId, const std::string& text, const std::string& message) {
    m_refusedField = controlId;
    m_refusedText = text;
    if (m_beforeRefusal)
        m_beforeRefusal(controlId);
    m_page.Windows().MessageBox(message, "KAPTIV", ui::MessageBoxButtons::Ok, ui::MessageBoxIcon::Warning);
    m_page.SetFocus(controlId);
}

std::optional<int> PageFields::Integer(int controlId, int min, int max) {
    const std::string text = Item(controlId).Text();
    if (StillRefused(controlId, text))
        return std::nullopt; // nothing is written, the message is not repeated
    const std::optional<long long> value = ParseNumber(text);
    if (value && *value >= min && *value <= max) {
        Accepted(controlId);
        return static_cast<int>(*value);
    }
    Refuse(controlId, text, value ? ui::RangeMessage(min, max) : ui::kNotAnIntegerMessage);
    return std::nullopt;
}

std::optional<std::u32string> PageFields::Text(int controlId, size_t maxChars) {
    const std::string utf8 = Item(controlId).Text();
    std::optional<std::u32string> text = settings::FromUtf8(utf8);
    if (text && text->size() <= maxChars) {
        Accepted(controlId);
        return text;
    }
    if (!StillRefused(controlId, utf8))
        Refuse(controlId, utf8, "Please enter no more than " + std::to_string(maxChars) + " characters.");
    return std::nullopt;
}

std::optional<std::u32string> PageFields::PlainText(int controlId, size_t maxChars) {
    std::optional<std::u32string> text = Text(controlId, maxChars);
    if (!text)
        return std::nullopt;
    if (settings::CheckPlainText(*text, maxChars).empty())
        return text;
    const std::string utf8 = Item(controlId).Text();
    if (!StillRefused(controlId, utf8))
        Refuse(controlId, utf8, text::LocalizedToolText(text::ToolText::CharacterNotStored));
    return std::nullopt;
}

} // namespace kaptiv::editor
