// Fault modes, asked for per request with "?fault=<mode>" or armed for the next requests
// through "/demo/fault". Modes:
//   slow       answer normally, but only after delay_ms (default 12000, past every time-out)
//   500        status 500 with a text body
//   429        status 429 with a text body
//   400        status 400 with a JSON refusal, as a server answers a request it will not take
//   204        status 204 without a body
//   badjson    status 200 with a body that is not JSON
//   wrongtypes status 200 with JSON whose members have the wrong types
//   deepjson   status 200 with well-formed JSON nested 2,000 levels deep
//   cut        a declared length the server never delivers: the connection closes mid-body
//   gzipcut    a gzip body that ends early
//   refused    a merchant envelope with a refused "code"
//   overfull   a message list of 10,000 entries where 10 were asked for
//   hugetitle  a message list of ten entries with 1 MB titles
#include "routes.h"

namespace demo {

namespace {

const char* const kPartialJson = "{\"code\":0,\"message\":\"ok\",\"data\":[{\"name\":\"订单消息\",\"type\":\"sales_order\"";

} // namespace

httplib::Server::HandlerResponse ApplyFault(DemoState& state, const httplib::Request& req, httplib::Response& res) {
    using HR = httplib::Server::HandlerResponse;
    if (req.path.rfind("/demo/", 0) == 0)
        return HR::Unhandled;
    std::string mode = req.get_param_value("fault");
    int delayMs = req.has_param("delay_ms") ? std::atoi(req.get_param_value("delay_ms").c_str()) : 12000;
    if (mode.empty()) {
        std::lock_guard<std::mutex> guard(state.lock);
        for (auto it = state.faults.begin(); it != state.faults.end(); ++it) {
            if (req.path.rfind(it->pathPrefix, 0) != 0)
                continue;
            mode = it->mode;
            if (it->delayMs > 0)
                delayMs = it->delayMs;
            if (it->remaining > 0 && --it->remaining == 0)
                state.faults.erase(it);
            break;
        }
    }
    if (mode.empty())
        return HR::Unhandled;

    if (mode == "slow") {
        state.Sleep(delayMs);
        return HR::Unhandled; // the normal answer, late
    }
    if (mode == "500") {
        res.status = 500;
        res.set_content("Internal Server Error: the demo server was asked to fail", "text/plain");
        return HR::Handled;
    }
    if (mode == "429") {
        res.status = 429;
        res.set_content("Too Many Requests: the demo server was asked to throttle", "text/plain");
        return HR::Handled;
    }
    if (mode == "400") {
        ReplyJson(res, Envelope(1001, "bad request: the demo server was asked to refuse"), 400);
        return HR::Handled;
    }
    if (mode == "204") {
        res.status = 204;
        return HR::Handled;
    }
    if (mode == "badjson") {
        res.status = 200;
        res.set_content("<html><body>502 Bad Gateway</body></html>", "text/html");
        return HR::Handled;
    }
    if (mode == "wrongtypes") {
        res.status = 200;
        res.set_content("{\"code\":\"0\",\"message\":17,\"data\":\"none\"}", "application/json");
        return HR::Handled;
    }
    if (mode == "deepjson") {
        const size_t depth = 2000;
        res.status = 200;
        res.set_content("{\"data\":" + std::string(depth, '[') + std::string(depth, ']') + "}", "application/json");
        return HR::Handled;
    }
    if (mode == "cut") {
        res.status = 200;
        std::string partial = kPartialJson;
        res.set_content_provider(
            4096, "application/json", [partial](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0)
                    sink.write(partial.data(), partial.size());
                return offset == 0; // the second call ends the connection with the body unfinished
            });
        return HR::Handled;
    }
    if (mode == "gzipcut") {
        std::string gz = Gzip(std::string(kPartialJson) + "}]}");
        gz.resize(gz.size() / 2);
        res.status = 200;
        // A type the server never compresses itself, so the header below is the only encoding.
        res.set_content(gz, "application/octet-stream");
        res.set_header("Content-Encoding", "gzip");
        return HR::Handled;
    }
    if (mode == "refused") {
        ReplyJson(res, Envelope(40300, "demo: refused on request"));
        return HR::Handled;
    }
    if (mode == "overfull" || mode == "hugetitle") {
        bool huge = mode == "hugetitle";
        Json::Value list(Json::arrayValue);
        for (int i = 0; i < (huge ? 10 : 10000); ++i) {
            Json::Value item(Json::objectValue);
            item["title"] = huge ? std::string(1 << 20, 'T') : "第 " + std::to_string(i + 1) + " 条";
            item["content"] = "demo";
            item["url"] = "";
            item["msg_type"] = 1;
            item["timestamp"] = static_cast<Json::Int64>(1700000000 + i);
            item["msg_id"] = "x" + std::to_string(i);
            item["is_unread"] = 1;
            list.append(item);
        }
        Json::Value data(Json::objectValue);
        data["total"] = 10000;
        data["list"] = list;
        ReplyJson(res, Envelope(0, "success", data));
        return HR::Handled;
    }
    res.status = 400;
    res.set_content("unknown fault mode: " + mode, "text/plain");
    return HR::Handled;
}

} // namespace demo
