#pragma once
// The standalone writer's side of the socket link: a listening socket that can stop and
// start again on the same port (a restarting writer refuses connections), and a watch on
// the stop signals, both waitable together with a connection.

#include <cstdint>
#include <string>

namespace brevant {

class Listener {
public:
    Listener() = default;
    ~Listener() { Stop(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds and listens; port 0 lets the system choose (port() then tells which). Listening
    // again after Stop binds the same address and port.
    bool Listen(const std::string& host, uint16_t port, std::string& error);
    bool Resume(std::string& error) { return Listen(host_, port_, error); }
    void Stop();
    bool listening() const { return socket_ >= 0; }
    uint16_t port() const { return port_; }
    const std::string& host() const { return host_; }
    int descriptor() const { return socket_; }
    // Takes a pending connection; -1 when none.
    int Accept();

private:
    int socket_ = -1;
    std::string host_;
    uint16_t port_ = 0;
};

// SIGINT and SIGTERM, taken as events instead of interruptions.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    bool ok() const { return descriptor_ >= 0; }
    int descriptor() const { return descriptor_; }
    // Consumes a pending signal; true when one had arrived.
    bool Take();

private:
    int descriptor_ = -1;
};

enum class Ready { First, Second, Stop, TimedOut };

// Waits until `first` or `second` (either may be -1) is readable or a stop signal arrives.
// A negative timeout waits for ever.
Ready WaitForEvent(int first, int second, const StopSignals& signals, int timeoutMilliseconds);

void CloseSocket(int& socket);

}  // namespace brevant
