#include "tools/Commands.h"

#include <cstdio>

namespace kaptiv::tools {

int RunRackCommand(const std::vector<std::string>&) {
    std::fputs("kaptiv-config: rack list is not built yet\n", stderr);
    return 1;
}

} // namespace kaptiv::tools
