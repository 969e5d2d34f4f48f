#include "sim/Services.h"

#include "sim/Protocol.h"

namespace mulvane {

namespace {

ReceivedService Tv(uint16_t id, const char* name, bool crypted = false) {
    return {id, name, false, crypted};
}
ReceivedService Radio(uint16_t id, const char* name) {
    return {id, name, true, false};
}

// Code points of a UTF-8 text; a malformed sequence yields U+FFFD for its first byte.
std::vector<char32_t> CodePoints(const std::string& utf8) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        size_t extra = b < 0x80             ? 0
                       : (b & 0xE0) == 0xC0 ? 1
                       : (b & 0xF0) == 0xE0 ? 2
                       : (b & 0xF8) == 0xF0 ? 3
                                            : 9;
        if (extra == 9 || (extra > 0 && i + extra >= utf8.size())) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (size_t k = 1; k <= extra; ++k) {
            const auto cont = static_cast<uint8_t>(utf8[i + k]);
            if ((cont & 0xC0) != 0x80)
                ok = false;
            c = (c << 6) | (cont & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

uint64_t Mix(uint64_t x) { // splitmix64 finaliser
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

std::vector<InputReception> DefaultReception(uint8_t type) {
    switch (type) {
    case kTypeTwinSatTuner:
        return {{1031,
                 7936,
                 {Tv(1101, "Canal Nord HD"), Tv(1102, "Info 24"), Tv(1103, "Ciné Nocturne", true),
                  Tv(1104, "Stade Direct", true), Radio(1105, "Radio Vallée")}},
                {1032,
                 7936,
                 {Tv(2201, "Europa Nouvelles"), Tv(2202, "Météo Alpes"), Tv(2203, "L'Atelier Cinéma", true),
                  Radio(2205, "Musique Alpine")}},
                {}};
    case kTypeTwinSatTunerB:
        return {{1071, 7936, {Tv(5101, "Alpes Matin"), Tv(5102, "Télé Versant"), Radio(5103, "Radio Lac")}},
                {1072, 7936, {Tv(5201, "Canal Randonnée"), Radio(5202, "Jazz d'Été")}},
                {}};
    case kTypeTerrestrialTuner:
        return {{3, 8450, {Tv(6101, "Vallée TV HD"), Tv(6102, "Info 24"), Tv(6103, "L'Écran Local")}},
                {201, 61441, {Tv(6201, "Câble Cinéma"), Radio(6202, "Radio Quartier")}},
                {}};
    case kTypeSatTunerB:
        return {{1041,
                 7936,
                 {Tv(3101, "Canal Nord"), Tv(3102, "Info 24"), Tv(3103, "Sport 2", true),
                  Radio(3104, "Radio Vallée"), Tv(3105, "Kids Planet")}}};
    case kTypeSatTuner:
        return {{1051,
                 7936,
                 {Tv(7201, "Ciné Étoile"), Tv(7202, "Vallée TV"), Radio(7203, "Musique FM"),
                  Tv(7204, "Plein Air"), Tv(7205, "Canal Jeunesse")}}};
    default:
        return {};
    }
}

InputReception GeneratedReception(std::span<const uint8_t> tuning, uint64_t seed) {
    static const char* const kTvNames[] = {"Horizon 1", "Canal Lumière", "Télé Cimes",  "Arte Nova",
                                           "Kanal Süd", "Rai Montagna",  "Sport Arena", "Ciné Rétro",
                                           "Docu Plus", "Junior TV"};
    static const char* const kRadioNames[] = {"Radio Écho", "Onda Alpina", "Klassik 24", "Radio Forêt"};
    uint64_t h = Mix(seed);
    for (uint8_t b : tuning)
        h = Mix(h ^ b);
    InputReception reception;
    reception.transportStreamId = static_cast<uint16_t>(1 + h % 4000);
    reception.originalNetworkId = 7936;
    const int count = 3 + static_cast<int>((h >> 12) % 4);
    const auto firstId = static_cast<uint16_t>(10000 + (h >> 20) % 5000 * 10);
    for (int i = 0; i < count; ++i) {
        const uint64_t r = Mix(h + static_cast<uint64_t>(i));
        ReceivedService s;
        s.id = static_cast<uint16_t>(firstId + i);
        s.radio = i == count - 1;
        s.crypted = !s.radio && r % 4 == 0;
        s.name = s.radio ? kRadioNames[r % std::size(kRadioNames)] : kTvNames[r % std::size(kTvNames)];
        reception.services.push_back(std::move(s));
    }
    return reception;
}

std::vector<uint8_t> TableCodedText(const std::string& utf8) {
    std::vector<uint8_t> out;
    for (char32_t c : CodePoints(utf8)) {
        if (c == '\'')
            out.push_back(34); // the table's first apostrophe
        else if (c >= 32 && c <= 126 && c != '"')
            out.push_back(static_cast<uint8_t>(c));
        else if (c >= 161 && c <= 255 && c != 173)
            out.push_back(static_cast<uint8_t>(c));
        // anything else has no place in the table
    }
    return out;
}

std::string TableCodedToUtf8(std::span<const uint8_t> bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        if (b == 0)
            break;
        if ((b >= 0x01 && b <= 0x1F) || (b >= 0x80 && b <= 0x9F))
            continue;
        if (b == 34)
            AppendUtf8(out, '\'');
        else if (b == 173)
            AppendUtf8(out, '-');
        else if (b >= 127 && b <= 160)
            AppendUtf8(out, '.');
        else
            AppendUtf8(out, b);
    }
    return out;
}

} // namespace mulvane
