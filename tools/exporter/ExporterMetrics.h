#pragma once
// The exporter's own figures for /metrics: probes by result, failures by reason, probe
// durations, probes in flight, and the process's CPU time and resident memory.
#include "tools/exporter/Probe.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <memory>
#include <mutex>
#include <string>

namespace kaptiv::exporter {

class ExporterMetrics {
public:
    explicit ExporterMetrics(const std::string& version);

    void ProbeStarted();
    void ProbeEnded(const ProbeResult& result);
    // Thread-safe (prometheus-cpp locks its families).
    std::string Render();

private:
    std::shared_ptr<prometheus::Registry> m_registry = std::make_shared<prometheus::Registry>();
    prometheus::Family<prometheus::Counter>& m_probes;
    prometheus::Family<prometheus::Counter>& m_failures;
    prometheus::Histogram& m_durations;
    prometheus::Gauge& m_inFlight;
    prometheus::Counter& m_cpu;
    prometheus::Gauge& m_rss;
    std::mutex m_renderMutex; // the process figures are read and set together
};

} // namespace kaptiv::exporter
