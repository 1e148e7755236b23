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
    Json::Value item(Json::objectValue);
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
    Json::Value data(Json::arrayValue);
    data.append(item);
    return JsonCompact(data, false);
}

std::string SignEventData(int64_t eventTime, const std::string& dataText) {
    std::string s = std::string(kEventSignSalt) + std::to_string(eventTime) + dataText;
    std::string sign;
    Base64Encode(Md5Hex(s), sign);
    return sign;
}

std::string BuildEventEnvelope(int64_t eventTime, const std::string& dataText) {
    Json::Value root(Json::objectValue);
    root["post_style"] = "default";
    Json::Value& update = root["update"];
    update["data"] = dataText;
    update["sign"] = SignEventData(eventTime, dataText);
    update["ts"] = static_cast<Json::Int64>(eventTime);
    return JsonCompact(root, false);
}

bool CHttpWork::UploadEvent(const SEventLogMsgEx& event, SHttpResult& result) {
    // Events go out one after another to one host; a new connection, or a new handle, each
    // would cost more than the request itself.
    CURL* h = ThreadKeptHandle();
    if (!h)
        return false;
    std::string response;
    PrepareRequest(h, "", response, 5);
    std::string data = BuildEventDataText(event, WideToUtf8(MakeGuidString()), m_strSysVer, m_strOsBits,
                                          m_strOpenUdid);
    std::string form;
    AppendParam(form, "app_code", kEventAppCode, true);
    AppendParam(form, "app_ver", kShopdeskAppVersion, true);
    AppendParam(form, "jsondata", BuildEventEnvelope(event.event_time, data), true);
    std::string url = GetDeployHosts().strMobileApiHost + "/mobilelog/rest/EventLog/";
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(form.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, form.c_str());
    PerformRequest(h, response, &result);
    return EventUploadDelivered(result);
}
