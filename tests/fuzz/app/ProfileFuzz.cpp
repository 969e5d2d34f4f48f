// The profile file and the first line of pref.txt are read from disk and may hold anything.
#include "app/NetworkSettings.h"
#include "app/Profile.h"
#include "app/StartupFiles.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kaptiv::app;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const int language = LanguageFromPreferenceLine(text);
    if (language < 0 || language > 4)
        std::abort();

    Profile profile = Profile::Parse(text);
    const std::string once = profile.Serialize();
    const Profile again = Profile::Parse(once);
    // Serializing is stable after the first pass and keeps every value.
    if (again.Serialize() != once)
        std::abort();
    for (std::string_view key : {kServerAddressKey, kServerPortKey})
        if (profile.Get(key) != again.Get(key))
            std::abort();

    // Setting the values that start-up writes back always sticks and survives a round trip.
    if (!profile.Set(kServerAddressKey, "10.0.0.1") || !profile.Set(kServerPortKey, "666"))
        std::abort();
    const Profile written = Profile::Parse(profile.Serialize());
    if (written.Get(kServerAddressKey) != "10.0.0.1" || written.Get(kServerPortKey) != "666")
        std::abort();
    return 0;
}
