#pragma once
// Shared by the settings window tests: what the desktop's "open" handler was given, and a
// version-check server of the test's own whose answer the test sets.
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

// Points the shell's "open" at a script that appends each target to a file, one a line.
class OpenRecorder {
public:
    explicit OpenRecorder(const std::string& dir);
    ~OpenRecorder();
    // Every target opened so far, in order, each followed by a line feed.
    std::string Opened() const;

private:
    std::string m_log;
};

// Answers the version check with whatever body the test set last.
class VersionServer {
public:
    VersionServer();
    ~VersionServer();
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void Answer(const std::string& body);
    int Requests() const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_lock;
    std::string m_body;
    int m_requests = 0;
};
