// The download the version answer points at: "/download/shopdesk-<newest version>.deb". The
// demo has no package to give, so it serves a stand-in file of the same name that a browser
// saves like the real one; any other name is not found.
#include "routes.h"

namespace demo {

void RegisterDownloadRoutes(httplib::Server& server, DemoState& state) {
    server.Get(R"(/download/([^/]+))", [&state](const httplib::Request& req, httplib::Response& res) {
        std::string version;
        {
            std::lock_guard<std::mutex> guard(state.lock);
            version = state.newestVersion;
        }
        std::string name = "shopdesk-" + version + ".deb";
        if (req.matches[1] != name) {
            res.status = 404;
            res.set_content("no such download\n", "text/plain");
            return;
        }
        std::string body = "shopdesk " + version + " demo download\n";
        body.resize(64 * 1024, '.');
        res.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
        res.set_content(body, "application/vnd.debian.binary-package");
    });
}

} // namespace demo
