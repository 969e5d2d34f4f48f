#pragma once
// The check of a loaded configuration against the rack that is connected, and the readable
// summary of what the configuration would set, as the configuration check dialog shows it.
#include "configfiles/ConfigFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kaptiv::configfiles {

// The configuration fits when it has as many entries as the rack has modules and every entry
// has the type of the module at its position. Blocks, addresses and releases do not count.
bool ConfigMatches(std::span<const ConfigEntry> loaded, std::span<const uint8_t> liveTypes);

// Localized text numbers of the configuration texts.
namespace row {
inline constexpr int kMatches = 5;
inline constexpr int kDoesNotMatch = 6;
inline constexpr int kShortDescription = 7;
inline constexpr int kBisFrequency = 8;
inline constexpr int kSymbolRate = 9;
inline constexpr int kBand = 10;
inline constexpr int kPolarity = 11;
inline constexpr int kHigh = 12;
inline constexpr int kLow = 13;
inline constexpr int kVertical = 14;
inline constexpr int kHorizontal = 15;
inline constexpr int kDecryptionOn = 16;
inline constexpr int kActivationDecryption = 17;
inline constexpr int kActivation = 18;
inline constexpr int kMoviesPlayed = 19;
inline constexpr int kFrequency = 20;
inline constexpr int kGuardInterval = 21;
inline constexpr int kNoConfiguration = 22;
inline constexpr int kSaveTitle = 35;
inline constexpr int kLoadTitle = 36;
inline constexpr int kSavedInto = 37;
inline constexpr int kCannotCreate = 38;
inline constexpr int kUploaded = 39;
inline constexpr int kCannotOpen = 40;
inline constexpr int kCheckTitle = 52;
} // namespace row

// The lines of one entry: "Slot %d : " with the module name, then the lines of its family.
// Every line ends with "\r\n".
std::string EntrySummary(size_t slot, const ConfigEntry& entry, int language);

// The whole summary. With liveTypes: first the match line (matches / does not match), an empty
// line, then "Short Description :" and every entry. Without: only "Short Description :" and the
// entries.
std::string ConfigSummary(std::span<const ConfigEntry> loaded,
                          std::optional<std::span<const uint8_t>> liveTypes, int language);

} // namespace kaptiv::configfiles
