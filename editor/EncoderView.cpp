#include "editor/EncoderView.h"

#include "platform/ModuleType.h"
#include "resources/SettingsIds.h"
#include "settings/BlockText.h"

#include <algorithm>

namespace kaptiv::editor {

using namespace resources::page;
namespace st = settings;

namespace {
const std::vector<std::string> kAspectTexts = {"4/3", "16/9"};
const std::vector<std::string> kVideoStandardTexts = {"PAL", "NTSC"};
const std::vector<std::string> kAudioTexts = {"128 Kb/s", "192 Kb/s", "256 Kb/s", "320  Kb/s", "384  Kb/s"};
const std::vector<std::string> kCodingTexts = {"AAC", "MPEG"};

constexpr int kEncoderChannels = 2;
constexpr int kHdChannels = 4;
constexpr int kMaxWord = 65535;
constexpr int kVideoMin = 4000;
constexpr int kAvVideoMax = 12000;
constexpr int kHdVideoMax = 15000;
constexpr size_t kMaxChannelNameChars = 31;

// The channel whose panel holds the control, or -1: base of channel ch = first + ch * stride.
int ChannelOf(int controlId, int first, int stride, int channels) {
    if (controlId < first || controlId >= first + channels * stride)
        return -1;
    return (controlId - first) / stride;
}
} // namespace

bool EncoderView::IsAv() const {
    return m_type == type::kAvEncoder;
}

bool EncoderView::IsHd() const {
    return m_type == type::kHdEncoder;
}

void EncoderView::Build() {
    for (int ch = 0; ch < kEncoderChannels; ++ch) {
        const int b = kEncoderBase + ch * kEncoderStride;
        for (int offset : {kEncBrightness, kEncContrast, kEncSaturation})
            m_page.Item(b + offset).SetRange(0, 255);
        m_page.Item(b + kEncAudio).SetItems(kAudioTexts);
        m_page.Item(b + kEncAspect).SetItems(kAspectTexts);
        m_page.Item(b + kEncStandard).SetItems(kVideoStandardTexts);
    }
    for (int ch = 0; ch < kHdChannels; ++ch) {
        const int b = kHdBase + ch * kHdStride;
        m_page.Item(b + kEncAudio).SetItems(kAudioTexts);
        m_page.Item(b + kEncAspect).SetItems(kCodingTexts);
    }
}

void EncoderView::Open(uint8_t type) {
    m_type = type;
    m_encoder = {};
    m_hd = {};
    for (int ch = 0; ch < kEncoderChannels; ++ch)
        for (int off = 0; off < kEncoderStride; ++off)
            if (ui::Control* c = m_page.FindItem(kEncoderBase + ch * kEncoderStride + off))
                c->Show(IsAv());
    for (int ch = 0; ch < kHdChannels; ++ch)
        for (int off = 0; off < kHdStride; ++off)
            if (ui::Control* c = m_page.FindItem(kHdBase + ch * kHdStride + off))
                c->Show(IsHd());
}

std::string EncoderView::Decode(std::span<const uint8_t> block) {
    if (IsAv()) {
        auto decoded = st::DecodeEncoderBlock(block);
        if (!decoded.Ok())
            return decoded.error;
        m_encoder = std::move(decoded.values);
    } else if (IsHd()) {
        auto decoded = st::DecodeHdEncoderBlock(block);
        if (!decoded.Ok())
            return decoded.error;
        m_hd = std::move(decoded.values);
    }
    return {};
}

uint8_t EncoderView::Counter() const {
    return IsAv() ? m_encoder.counter : m_hd.counter;
}

template <class Channel> void EncoderView::ShowChannel(int base, const Channel& channel) {
    m_page.Item(base + kEncName).SetText(st::ToUtf8(channel.name));
    m_fields.SetNumber(base + kEncSid, channel.serviceId);
    m_fields.SetNumber(base + kEncVideo, channel.videoRateKbps);
    m_page.Item(base + kEncAudio).SetSelectedItem(channel.audioIndex);
}

void EncoderView::ShowValues() {
    if (IsAv()) {
        for (int ch = 0; ch < kEncoderChannels; ++ch) {
            const st::EncoderChannel& c = m_encoder.channels[ch];
            const int b = kEncoderBase + ch * kEncoderStride;
            ShowChannel(b, c);
            m_page.Item(b + kEncAspect).SetSelectedItem(c.aspect);
            m_page.Item(b + kEncStandard).SetSelectedItem(c.standard);
            m_page.Item(b + kEncBrightness).SetPosition(c.brightness);
            m_page.Item(b + kEncContrast).SetPosition(c.contrast);
            m_page.Item(b + kEncSaturation).SetPosition(c.saturation);
        }
    } else if (IsHd()) {
        for (int ch = 0; ch < kHdChannels; ++ch) {
            const st::HdChannel& c = m_hd.channels[ch];
            const int b = kHdBase + ch * kHdStride;
            ShowChannel(b, c);
            m_page.Item(b + kEncAspect).SetSelectedItem(c.audioCoding);
        }
    }
}

// The fields an SD and an HD channel share: name, service id, video rate, audio rate.
template <class Channel> bool EncoderView::ReadChannel(int base, int videoMax, Channel& channel) {
    auto name = m_fields.Text(base + kEncName, kMaxChannelNameChars);
    if (!name)
        return false;
    channel.name = *name;
    auto sid = m_fields.Integer(base + kEncSid, 1, kMaxWord);
    if (!sid)
        return false;
    channel.serviceId = uint16_t(*sid);
    auto video = m_fields.Integer(base + kEncVideo, kVideoMin, videoMax);
    if (!video)
        return false;
    channel.videoRateKbps = uint16_t(*video);
    if (int audio = m_page.Item(base + kEncAudio).SelectedItem(); audio >= 0)
        channel.audioIndex = uint8_t(audio);
    return true;
}

bool EncoderView::ReadBack() {
    if (IsAv()) {
        st::EncoderValues v = m_encoder;
        for (int ch = 0; ch < kEncoderChannels; ++ch) {
            const int b = kEncoderBase + ch * kEncoderStride;
            st::EncoderChannel& c = v.channels[ch];
            if (!ReadChannel(b, kAvVideoMax, c))
                return false;
            if (int i = m_page.Item(b + kEncAspect).SelectedItem(); i >= 0)
                c.aspect = uint8_t(i);
            if (int i = m_page.Item(b + kEncStandard).SelectedItem(); i >= 0)
                c.standard = uint8_t(i);
            c.brightness = uint8_t(m_page.Item(b + kEncBrightness).Position());
            c.contrast = uint8_t(m_page.Item(b + kEncContrast).Position());
            c.saturation = uint8_t(m_page.Item(b + kEncSaturation).Position());
        }
        m_encoder = std::move(v);
    } else if (IsHd()) {
        st::HdEncoderValues v = m_hd;
        for (int ch = 0; ch < kHdChannels; ++ch) {
            const int b = kHdBase + ch * kHdStride;
            st::HdChannel& c = v.channels[ch];
            if (!ReadChannel(b, kHdVideoMax, c))
                return false;
            if (int i = m_page.Item(b + kEncAspect).SelectedItem(); i >= 0)
                c.audioCoding = uint8_t(i);
        }
        m_hd = std::move(v);
    }
    return true;
}

std::optional<FieldMarks> EncoderView::OnEditChange(int controlId) {
    int offset = -1;
    if (const int ch = ChannelOf(controlId, kEncoderBase, kEncoderStride, kEncoderChannels); ch >= 0)
        offset = controlId - kEncoderBase - ch * kEncoderStride;
    else if (const int hd = ChannelOf(controlId, kHdBase, kHdStride, kHdChannels); hd >= 0)
        offset = controlId - kHdBase - hd * kHdStride;
    if (offset == kEncName || offset == kEncSid)
        return kInputFull;
    if (offset == kEncVideo)
        return kInputOnly;
    return std::nullopt;
}

std::optional<FieldMarks> EncoderView::OnSelChange(int controlId) {
    if (const int ch = ChannelOf(controlId, kEncoderBase, kEncoderStride, kEncoderChannels); ch >= 0) {
        const int offset = controlId - kEncoderBase - ch * kEncoderStride;
        if (offset == kEncAudio || offset == kEncAspect || offset == kEncStandard)
            return kInputOnly;
    } else if (const int hd = ChannelOf(controlId, kHdBase, kHdStride, kHdChannels); hd >= 0) {
        const int offset = controlId - kHdBase - hd * kHdStride;
        if (offset == kEncAudio || offset == kEncAspect)
            return kInputOnly;
    }
    return std::nullopt;
}

std::optional<FieldMarks> EncoderView::OnScroll(int controlId) {
    if (const int ch = ChannelOf(controlId, kEncoderBase, kEncoderStride, kEncoderChannels); ch >= 0) {
        const int offset = controlId - kEncoderBase - ch * kEncoderStride;
        if (offset == kEncBrightness || offset == kEncContrast || offset == kEncSaturation)
            return kInputOnly;
    }
    return std::nullopt;
}

} // namespace kaptiv::editor
