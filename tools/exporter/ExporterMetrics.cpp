#include "tools/exporter/ExporterMetrics.h"

#include "platform/FileAccess.h"

#include <prometheus/text_serializer.h>

#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace kaptiv::exporter {

namespace {

const prometheus::Histogram::BucketBoundaries kDurationBuckets = {0.01, 0.025, 0.05, 0.1, 0.25,
                                                                  0.5,  1,     2.5,  5,   10};
constexpr size_t kStatmLimit = 4096;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Resident pages (second field of /proc/self/statm) in bytes; 0 when unknown.
double ResidentBytes() {
    const auto file = platform::ReadRegularFile("/proc/self/statm", kStatmLimit, platform::OverLimit::Refuse);
    if (!file)
        return 0;
    const std::string text(file.bytes.begin(), file.bytes.end());
    const auto space = text.find(' ');
    if (space == std::string::npos)
        return 0;
    return std::strtod(text.c_str() + space + 1, nullptr) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

} // namespace

ExporterMetrics::ExporterMetrics(const std::string& version)
    : m_probes(prometheus::BuildCounter()
                   .Name("kaptiv_exporter_probes_total")
                   .Help("Probes answered, by result")
                   .Register(*m_registry)),
      m_failures(prometheus::BuildCounter()
                     .Name("kaptiv_exporter_probe_failures_total")
                     .Help("Failed probes, by reason")
                     .Register(*m_registry)),
      m_durations(prometheus::BuildHistogram()
                      .Name("kaptiv_exporter_probe_duration_seconds")
                      .Help("Time the probes took")
                      .Register(*m_registry)
                      .Add({}, kDurationBuckets)),
      m_inFlight(prometheus::BuildGauge()
                     .Name("kaptiv_exporter_probes_in_flight")
                     .Help("Probes running now")
                     .Register(*m_registry)
                     .Add({})),
      m_cpu(prometheus::BuildCounter()
                .Name("process_cpu_seconds_total")
                .Help("User and system CPU time of the exporter")
                .Register(*m_registry)
                .Add({})),
      m_rss(prometheus::BuildGauge()
                .Name("process_resident_memory_bytes")
                .Help("Resident memory of the exporter")
                .Register(*m_registry)
                .Add({})) {
    prometheus::BuildGauge()
        .Name("kaptiv_exporter_build_info")
        .Help("Version of kaptiv-exporter")
        .Register(*m_registry)
        .Add({{"version", version}})
        .Set(1);
    m_probes.Add({{"result", "success"}});
    m_probes.Add({{"result", "failure"}});
}

void ExporterMetrics::ProbeStarted() {
    m_inFlight.Increment();
}

void ExporterMetrics::ProbeEnded(const ProbeResult& result) {
    m_inFlight.Decrement();
    m_probes.Add({{"result", result.success ? "success" : "failure"}}).Increment();
    if (!result.success)
        m_failures.Add({{"reason", result.reason}}).Increment();
    m_durations.Observe(result.durationSeconds);
}

std::string ExporterMetrics::Render() {
    std::lock_guard<std::mutex> lock(m_renderMutex);
    const double cpu = CpuSeconds();
    if (cpu > m_cpu.Value())
        m_cpu.Increment(cpu - m_cpu.Value());
    m_rss.Set(ResidentBytes());
    return prometheus::TextSerializer().Serialize(m_registry->Collect());
}

} // namespace kaptiv::exporter
