#include "tools/Commands.h"

#include <cstdio>

namespace kaptiv::tools {

int RunBlockCommand(const std::vector<std::string>&) {
    std::fputs("kaptiv-config: block decode/encode is not built yet\n", stderr);
    return 1;
}

} // namespace kaptiv::tools
