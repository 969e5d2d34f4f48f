#pragma once
// The serial rack bus on a pseudo-terminal: the tool opens the slave side as its serial
// port; a background thread reads the master side, puts the bytes on a SerialLine (echo and
// module answers, optionally throttled to 115200 baud) and writes back what the line gives.
// Several servers can run at once in one process; a silent one stands for a serial port with
// no rack behind it.
#include "sim/Engine.h"
#include "sim/SerialLine.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace mulvane {

enum class PtyMode {
    Rack,     // echo and answers: the rack's bus
    EchoOnly, // a bus with the rack switched off: the PC hears its own bytes, nobody answers
    Dead,     // nothing connected: what the PC writes disappears
};

struct PtyOptions {
    PtyMode mode = PtyMode::Rack;
    std::string linkPath; // if set, a symlink to the slave is made there (and removed on Stop)
    bool throttle = false;
};

class PtyServer {
public:
    // engine may be null unless the mode is Rack.
    PtyServer(RackEngine* engine, PtyOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    bool Start(std::string& error);
    void Stop();
    std::string SlavePath() const { return m_slavePath; }
    std::string LinkPath() const { return m_options.linkPath; }
    SerialLine* Line() { return m_line.get(); }

private:
    void Run();

    RackEngine* m_engine;
    PtyOptions m_options;
    std::unique_ptr<SerialLine> m_line;
    int m_master = -1;
    int m_slaveKeepAlive = -1; // held open so that the master never sees a hang-up
    int m_wakePipe[2] = {-1, -1};
    std::string m_slavePath;
    bool m_linkMade = false;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

} // namespace mulvane
