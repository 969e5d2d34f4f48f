#pragma once
// What kaptiv-config prints from files, traces and modules goes to a terminal, where a control
// character can move the cursor, retitle the window or worse (an "ESC ] 0;" sequence). Such
// text is escaped on its way out: the C0 controls other than newline, tab and the carriage
// return of a CR-LF line end, DEL and the C1
// controls are written as \xNN (a byte) or \u00NN (a C1 control encoded in UTF-8), and so is
// every byte that is not part of valid UTF-8.
#include <cstdio>
#include <string>
#include <string_view>

namespace kaptiv::tools {

std::string EscapeControls(std::string_view text);
// Writes text escaped; false when the stream refused it.
bool PrintEscaped(std::FILE* out, std::string_view text);

} // namespace kaptiv::tools
