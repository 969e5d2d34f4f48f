#pragma once
// CAM packets to a common-interface module holding menus nested in each other, as a damaged or
// hostile trace may hold them: `menus` menu_last objects, each the only item of the one
// around it, around one text_last "X".
#include <cstdint>
#include <vector>

namespace kaptiv::testing {

inline void AppendCamLength(std::vector<uint8_t>& out, size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
        return;
    }
    out.insert(out.end(), {0x82, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
}

// The application objects only.
inline std::vector<uint8_t> NestedMenus(size_t menus) {
    std::vector<uint8_t> inner = {0x9F, 0x88, 0x03, 0x01, 'X'};
    for (size_t i = 0; i < menus; ++i) {
        std::vector<uint8_t> menu = {0x9F, 0x88, 0x09};
        AppendCamLength(menu, inner.size() + 1);
        menu.push_back(0x01); // one choice
        menu.insert(menu.end(), inner.begin(), inner.end());
        inner.swap(menu);
    }
    return inner;
}

// The objects in a whole packet as the tool writes it: link header, T_data_last, session_number.
inline std::vector<uint8_t> CamPacket(const std::vector<uint8_t>& objects) {
    std::vector<uint8_t> spdu = {0x90, 0x02, 0x00, 0x01};
    spdu.insert(spdu.end(), objects.begin(), objects.end());
    std::vector<uint8_t> packet = {0x01, 0x00, 0xA0};
    AppendCamLength(packet, spdu.size() + 1);
    packet.push_back(0x01);
    packet.insert(packet.end(), spdu.begin(), spdu.end());
    return packet;
}

} // namespace kaptiv::testing
