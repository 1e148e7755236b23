#pragma once
// The demo server as a child process on a free loopback port, for tests that need a real peer.
#include <sys/types.h>

#include <string>

#include <httplib.h>
#include <json/json.h>

class DemoPeer {
public:
    DemoPeer() = default;
    ~DemoPeer();
    DemoPeer(const DemoPeer&) = delete;
    DemoPeer& operator=(const DemoPeer&) = delete;

    // Starts the server with its own data folder; false when it did not come up.
    bool Start(const std::string& dataDir, const std::string& extraArg = std::string());
    // The same in a fresh folder under the temporary folder, removed when the server stops, so
    // that nothing a run leaves there reaches the next run.
    bool StartInFreshFolder(const std::string& extraArg = std::string());
    void Stop();

    int Port() const { return m_port; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    // A client that identifies itself as the workbench does, for requests to the API.
    httplib::Client WorkbenchClient() const;
    // Plain requests to the server's own switches and listings.
    std::string Get(const std::string& target, int* status = nullptr) const;
    Json::Value GetJson(const std::string& target) const;
    // Signs in and returns the cookie text as the workbench's browser would give it.
    std::string SignIn(const std::string& user = "merchant") const;
    Json::Value Events() const { return GetJson("/demo/events"); }
    Json::Value Requests() const { return GetJson("/demo/requests"); }
    // The same list, answered once `count` requests for `target` have arrived or `waitMs` (at
    // most 2 s, inside the client's read time-out) is over.
    Json::Value RequestsOnceArrived(const std::string& target, unsigned count, int waitMs) const;
    // Waits until the server holds at least `count` events; false on time-out.
    bool WaitForEvents(unsigned count, int timeoutMs) const;

private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_freshFolder; // removed by Stop
};

// A port on which nothing listens (bound once, then released).
int UnusedLoopbackPort();
