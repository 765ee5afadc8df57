#pragma once

class QCoreApplication;

#include <string>
#include <sys/types.h>

// The demo segment of `quorvantix --demo [N]`: a network namespace holding
// the far end of a veth pair, with quorvantix-devsim emulating N devices on
// it; the near end stays here and shows in the network-card chooser. Needs
// root (or CAP_NET_ADMIN and CAP_NET_RAW). Everything is removed when the
// object goes; namespaces left by a crashed earlier run are removed at Start.
class DemoSegment {
public:
    static constexpr int kDefaultDevices = 8;

    DemoSegment() = default;
    ~DemoSegment();
    DemoSegment(const DemoSegment&) = delete;
    DemoSegment& operator=(const DemoSegment&) = delete;

    // Takes "--demo [N]" out of the command line. False (with a message on
    // stderr) when N is not a number from 1 to 4096.
    bool TakeArguments(int& argc, char** argv);
    bool Requested() const { return m_requested; }

    // Makes the segment and starts the emulator; false (and nothing left
    // behind) when that fails.
    bool Start(const std::string& binDir);
    void Stop();

    const std::string& NearEnd() const { return m_near; }
    const std::string& Namespace() const { return m_namespace; }

    // SIGINT, SIGTERM and SIGHUP end app's loop, so the segment is removed on
    // the normal way out.
    static void QuitOnSignals(QCoreApplication& app);

    // Removes demo namespaces whose owning process no longer runs.
    static void RemoveStaleSegments();

private:
    bool m_requested = false;
    int m_devices = kDefaultDevices;
    std::string m_namespace;
    std::string m_near;
    pid_t m_simulator = -1;
};
