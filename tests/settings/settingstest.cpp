#include "settingstest.h"

#include <cstdlib>
#include <filesystem>

#include "support/testenv.h"

OpenRecorder::OpenRecorder(const std::string& dir) : m_log(dir + "/opened.txt") {
    std::string script = dir + "/record-open.sh";
    WriteFileBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + m_log + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("SHOPDESK_OPENER", script.c_str(), 1);
}

OpenRecorder::~OpenRecorder() { unsetenv("SHOPDESK_OPENER"); }

std::string OpenRecorder::Opened() const { return ReadFileBytes(m_log); }

VersionServer::VersionServer() {
    m_server.Get("/system/update/native_app_check_update/v1", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_requests;
        res.set_content(m_body, "application/json");
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
}

VersionServer::~VersionServer() {
    m_server.stop();
    m_thread.join();
}

void VersionServer::Answer(const std::string& body) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_body = body;
}

int VersionServer::Requests() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}
