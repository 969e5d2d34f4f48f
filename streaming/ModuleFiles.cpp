#include "streaming/ModuleFiles.h"

#include <cstdint>

namespace kaptiv::streaming {

bool CommandSetFiles::ReadNameList(std::vector<uint8_t>& answer) {
    const uint8_t* data = nullptr;
    int length = 0;
    const uint16_t n = m_commands.ReadNameList(m_address, data, length);
    answer.clear();
    if (n == 0 || !data)
        return false;
    answer.assign(data, data + n);
    return true;
}

int64_t CommandSetFiles::OpenByName(std::string_view path) {
    const uint32_t size = m_commands.OpenByName(m_address, path);
    // The module's size is a signed 32-bit number: all ones (-1) when it cannot open the file,
    // and nothing from 2^31 on is a positive size either.
    if (size == link::CommandSet::kNoHandle || size > uint32_t(INT32_MAX))
        return -1;
    return int64_t(size);
}

bool CommandSetFiles::ReadBlock(uint16_t count, std::vector<uint8_t>& bytes) {
    bytes.assign(count, 0);
    if (!m_commands.ReadBlock(m_address, count, bytes))
        return false;
    // A shorter answer would leave the rest of the block unread: the file would be corrupted.
    return m_commands.Xmit().AnswerLength() == int(count);
}

} // namespace kaptiv::streaming
