#pragma once
// The file requests of one streaming module, as the file operations use them. The product
// reaches the module through the command set; tests put a scripted USB key behind it.
#include "link/CommandSet.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kaptiv::streaming {

// Upload block sizes: what one gateway message carries, and what one serial frame does.
inline constexpr size_t kGatewayUploadBlock = 1350;
inline constexpr size_t kSerialUploadBlock = 256;
inline constexpr uint16_t kDownloadBlock = 400;

// Log control values of SetMode.
inline constexpr uint8_t kLogOn = 0;
inline constexpr uint8_t kLogHold = 1;
inline constexpr uint8_t kLogRelease = 2;

class ModuleFiles {
public:
    virtual ~ModuleFiles() = default;
    // The raw answer of the name list request; false without an answer.
    virtual bool ReadNameList(std::vector<uint8_t>& answer) = 0;
    virtual bool CreateByName(std::string_view path) = 0;
    // The file size, or -1 when the module cannot open the file or reports a size from 2^31 on.
    virtual int64_t OpenByName(std::string_view path) = 0;
    // Exactly `count` bytes of the open file; false otherwise.
    virtual bool ReadBlock(uint16_t count, std::vector<uint8_t>& bytes) = 0;
    virtual bool WriteForm4(std::span<const uint8_t> data) = 0;
    virtual bool CloseLong() = 0;
    virtual bool ExecuteText(std::string_view text) = 0;
    virtual void SetMode(uint8_t value) = 0;
    // Whether requests go through the gateway (larger upload blocks).
    virtual bool OverGateway() const = 0;
};

// The module at `address`, through the command set.
class CommandSetFiles final : public ModuleFiles {
public:
    CommandSetFiles(link::CommandSet& commands, uint8_t address) : m_commands(commands), m_address(address) {}
    bool ReadNameList(std::vector<uint8_t>& answer) override;
    bool CreateByName(std::string_view path) override { return m_commands.CreateByName(m_address, path); }
    int64_t OpenByName(std::string_view path) override;
    bool ReadBlock(uint16_t count, std::vector<uint8_t>& bytes) override;
    bool WriteForm4(std::span<const uint8_t> data) override { return m_commands.WriteForm4(m_address, data); }
    bool CloseLong() override { return m_commands.CloseLong(m_address); }
    bool ExecuteText(std::string_view text) override { return m_commands.ExecuteText(m_address, text); }
    void SetMode(uint8_t value) override { m_commands.SetMode(m_address, value); }
    bool OverGateway() const override { return m_commands.Xmit().IsGatewayLinkUp(); }

private:
    link::CommandSet& m_commands;
    uint8_t m_address;
};

} // namespace kaptiv::streaming
