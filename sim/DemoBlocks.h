#pragma once
// Initial parameter blocks of the demo rack's modules. Hand-made blocks found at configure
// time in sim/fixtures/blocks/type-<T>.hex are compiled into the program; a type without
// such a file gets a small stand-in block.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace mulvane {

struct EmbeddedFixture {
    int type;
    std::string_view fileName;
    std::string_view text; // the file's hex text, comments included
};

// Every fixture compiled in (generated at configure time).
std::span<const EmbeddedFixture> EmbeddedFixtures();

// The fixture's bytes when one exists for the type and parses, else the stand-in block.
std::vector<uint8_t> DemoBlockFor(uint8_t type);
std::vector<uint8_t> StandInBlockFor(uint8_t type);

} // namespace mulvane
