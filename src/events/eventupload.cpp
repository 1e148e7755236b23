// The upload request of one usage event: the signed JSON envelope and its form body.
#include <curl/curl.h>

#include "common/sysutils.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "net/httpworkshare.h"
#include "net/jsonwrite.h"

const char* const kEventSignSalt = "3c9e0a7b51d2f84e6a0b9c7d2e5f1a48";
const char* const kEventAppCode = "win.qdx.tsclient";

std::string BuildEventDataText(const SEventLogMsgEx& event, const std::string& eventGuid, const std::string& sysVer,
                               const std::string& osBits, const std::string& openUdid) {
    // Built in place in its array: a copy of the object would cost as much as the writing.
    Json::Value data(Json::arrayValue);
    Json::Value& item = data.append(Json::Value(Json::objectValue));
    Json::Value& attr = item["attr"]; // null when there are no attributes
    // The locale's code page is UTF-8 here, so attribute values go out as they are.
    for (const auto& kv : event.attr)
        attr[kv.first] = kv.second;
    Json::Value& basic = item["basic"];
    basic["app_code"] = kEventAppCode;
    basic["app_ver"] = event.app_ver;
    basic["device_type"] = "win";
    basic["sys_ver"] = sysVer;
    basic["hardware_model"] = osBits;
    basic["event_code"] = event.event_code;
    basic["event_time"] = static_cast<Json::Int64>(event.event_time);
    basic["event_guid"] = eventGuid;
    basic["uid"] = event.uid;
    basic["open_udid"] = openUdid;
    basic["launch_guid"] = event.launch_guid;
    return JsonCompact(data, false);
}

std::string SignEventData(int64_t eventTime, const std::string& dataText) {
    std::string s = std::string(kEventSignSalt) + std::to_string(eventTime) + dataText;
    std::string sign;
    Base64Encode(Md5Hex(s), sign);
    return sign;
}

namespace {

// `text` quoted as the library's compact writer quotes it, when `text` is printable ASCII: then
// only quotes and backslashes take an escape. False, with `out` partly written, otherwise.
bool AppendPrintableQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F)
            return false;
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return true;
}

} // namespace

std::string BuildEventEnvelope(int64_t eventTime, const std::string& dataText) {
    std::string sign = SignEventData(eventTime, dataText);
    // The data text is the writer's own output, ASCII with its control bytes escaped, so the
    // envelope around it is spelled out byte for byte as the writer would write it: building and
    // writing it as a JSON value cost as much as the data itself. Any other text (a DEL, which the
    // writer leaves as it is, included) goes through the writer.
    std::string out;
    out.reserve(dataText.size() + dataText.size() / 4 + 128);
    out += "{\"post_style\":\"default\",\"update\":{\"data\":";
    if (AppendPrintableQuoted(out, dataText)) {
        out += ",\"sign\":";
        if (AppendPrintableQuoted(out, sign)) {
            out += ",\"ts\":";
            out += std::to_string(eventTime);
            out += "}}";
            return out;
        }
    }
    Json::Value root(Json::objectValue);
    root["post_style"] = "default";
    Json::Value& update = root["update"];
    update["data"] = dataText;
    update["sign"] = sign;
    update["ts"] = static_cast<Json::Int64>(eventTime);
    return JsonCompact(root, false);
}

namespace {

// The upload in progress on this thread: its body and its answer outlive the calls that start
// and finish it.
struct SUploadInFlight {
    std::string form, response;
    CURL* handle = nullptr;
};
thread_local SUploadInFlight t_upload;

} // namespace

std::string CHttpWork::BuildEventForm(const SEventLogMsgEx& event) const {
    std::string data = BuildEventDataText(event, WideToUtf8(MakeGuidString()), m_strSysVer, m_strOsBits,
                                          m_strOpenUdid);
    std::string form;
    AppendParam(form, "app_code", kEventAppCode, true);
    AppendParam(form, "app_ver", kShopdeskAppVersion, true);
    AppendParam(form, "jsondata", BuildEventEnvelope(event.event_time, data), true);
    return form;
}

bool CHttpWork::StartUpload(std::string form) {
    // Events go out one after another to one host; a new connection, or a new handle, each
    // would cost more than the request itself.
    if (t_upload.handle)
        return false;
    CURL* h = ThreadKeptHandle();
    CURLM* multi = ThreadKeptMulti();
    if (!h || !multi)
        return false;
    t_upload.form = std::move(form);
    t_upload.response.clear();
    PrepareRequest(h, "", t_upload.response, 5);
    std::string url = GetDeployHosts().strMobileApiHost + "/mobilelog/rest/EventLog/";
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(t_upload.form.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, t_upload.form.c_str());
    if (curl_multi_add_handle(multi, h) != CURLM_OK)
        return false;
    t_upload.handle = h;
    // On a kept connection this one step sends the whole request.
    int running = 0;
    curl_multi_perform(multi, &running);
    return true;
}

bool CHttpWork::FinishUpload(SHttpResult& result) {
    CURL* h = t_upload.handle;
    if (!h)
        return false;
    CURLM* multi = ThreadKeptMulti();
    int rc = WaitForTransfer(multi, h);
    curl_multi_remove_handle(multi, h);
    t_upload.handle = nullptr;
    ReportTransfer(h, rc, t_upload.response, &result);
    // A body can be megabytes (an event carrying a page's text); the thread keeps neither it nor
    // its answer until its next upload.
    std::string().swap(t_upload.form);
    std::string().swap(t_upload.response);
    return EventUploadDelivered(result);
}
