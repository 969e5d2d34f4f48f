#pragma once
// The encoder panels of the settings page: channels A and B of the A/V encoder (type 9) and
// channels A to D of the HD encoder (type 14). The view shows the decoded values and reads back
// and checks the panel of the chain's encoder only.
#include "editor/PageFields.h"
#include "settings/EncoderBlock.h"
#include "settings/HdEncoderBlock.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kaptiv::editor {

class EncoderView {
public:
    EncoderView(ui::Dialog& page, PageFields& fields) : m_page(page), m_fields(fields) {}

    void Build();
    void Open(uint8_t type);
    // The decode's problem, empty when the block decoded (the values then hold it). A block
    // re-read from the module that does not decode leaves the values as they were.
    std::string Decode(std::span<const uint8_t> block);
    void ShowValues();
    bool ReadBack();
    std::optional<FieldMarks> OnEditChange(int controlId);
    std::optional<FieldMarks> OnSelChange(int controlId);
    std::optional<FieldMarks> OnScroll(int controlId);

    // The change counter the page compares with the module's status.
    uint8_t Counter() const;
    const settings::EncoderValues& Encoder() const { return m_encoder; }
    settings::EncoderValues& Encoder() { return m_encoder; }
    const settings::HdEncoderValues& Hd() const { return m_hd; }
    settings::HdEncoderValues& Hd() { return m_hd; }

private:
    template <class Channel> bool ReadChannel(int base, int videoMax, Channel& channel);
    template <class Channel> void ShowChannel(int base, const Channel& channel);
    bool IsAv() const;
    bool IsHd() const;

    ui::Dialog& m_page;
    PageFields& m_fields;
    uint8_t m_type = 0;
    settings::EncoderValues m_encoder;
    settings::HdEncoderValues m_hd;
};

} // namespace kaptiv::editor
