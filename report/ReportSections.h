#pragma once
// The tables of one module in the installation report, built from what the settings page
// shows just after its first tick: its values, measures, key files and service table.
#include <string>

namespace kaptiv::editor {
class CSatCofdm;
}

namespace kaptiv::report {

// The section of the reported module: the input's tables when it is the chain's input,
// otherwise the output's (output types 2 and 13 have none: the empty text).
std::string WriteSection(const editor::CSatCofdm& page, bool reportedIsInput);

} // namespace kaptiv::report
