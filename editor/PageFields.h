#pragma once
// Reading the fields of the settings page, shared by its family views. Numbers are sanitised
// (anything but digits empties the field, an empty field shows 0); checked values stop the
// reading with the standard message and the focus back in the field. A value that was refused
// is not announced again while its field still holds the same text.
#include "ui/Dialog.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kaptiv::editor {

// Which marks of the page a control's change sets.
struct FieldMarks {
    bool input = false;
    bool apply = false;
    bool encoder = false;
    bool output = false;
};
inline constexpr FieldMarks kInputFull{true, true, true, false};
inline constexpr FieldMarks kInputOnly{true, false, false, false};
inline constexpr FieldMarks kOutputOnly{false, false, false, true};

class PageFields {
public:
    explicit PageFields(ui::Dialog& page) : m_page(page) {}

    ui::Control& Item(int controlId) { return m_page.Item(controlId); }
    void SetNumber(int controlId, long long value);
    // Digits only; an empty field becomes "0".
    void Sanitise(int controlId);
    // The sanitised field as a number, no limit (UINT32_MAX beyond 9 digits).
    uint32_t Number(int controlId);
    uint16_t Word(int controlId);
    // A field's value as shown (0 when it holds no number): for the warning colours.
    long long Shown(int controlId);
    // nothing (and the range message, focus in the field) outside [min, max].
    std::optional<int> Integer(int controlId, int min, int max);
    // nothing (and the length message, focus in the field) over maxChars characters or for text
    // that is not UTF-8.
    std::optional<std::u32string> Text(int controlId, size_t maxChars);
    // A text the module stores 8 bits a character: also refuses a character it cannot hold.
    std::optional<std::u32string> PlainText(int controlId, size_t maxChars);
    // Called with the field before its refusal is shown: a view brings the field's panel up.
    void SetBeforeRefusal(std::function<void(int)> hook) { m_beforeRefusal = std::move(hook); }
    // A new chain: no refusal is remembered.
    void Forget() { m_refusedField = 0; }

    static bool IsDigits(const std::string& text);

private:
    // True when this field still holds the text last refused (nothing is said again).
    bool StillRefused(int controlId, const std::string& text) const;
    void Refuse(int controlId, const std::string& text, const std::string& message);
    void Accepted(int controlId);

    ui::Dialog& m_page;
    int m_refusedField = 0;
    std::string m_refusedText;
    std::function<void(int)> m_beforeRefusal;
};

} // namespace kaptiv::editor
