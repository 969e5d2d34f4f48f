#pragma once
// Programming errors of dialog code (a control id missing from its template, a property of
// the wrong kind, a modal loop entered twice) stop the program with the id in the message
// instead of corrupting the dialog state.
#include <string>

namespace kaptiv::ui {

[[noreturn]] void Fatal(const std::string& message);

} // namespace kaptiv::ui
