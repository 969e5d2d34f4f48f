#include "ui/Fatal.h"

#include <cstdio>
#include <cstdlib>

namespace kaptiv::ui {

void Fatal(const std::string& message) {
    std::fprintf(stderr, "kaptiv: dialog error: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace kaptiv::ui
