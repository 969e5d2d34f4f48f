#pragma once
// A probe's answer in the Prometheus text format, made by prometheus-cpp: kaptiv_probe_success
// and kaptiv_probe_duration_seconds always, the failure's reason when there is one, and the
// measures and alarms of every module with the labels slot, address, type and module.
#include "tools/exporter/Probe.h"

#include <string>

namespace kaptiv::exporter {

std::string RenderProbe(const ProbeResult& result);

} // namespace kaptiv::exporter
