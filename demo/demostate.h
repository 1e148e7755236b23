#pragma once
// Everything the demo server remembers: the seeded merchant, the sessions it issued, the
// usage events it accepted, the version answer and the armed fault modes. One lock guards it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <json/json.h>

namespace demo {

struct Category {
    std::string type;
    std::string name;
};

struct Message {
    std::string msgId;
    std::string type; // category API type
    std::string title;
    std::string content;
    std::string url;
    unsigned msgType = 0;
    int64_t timestamp = 0;
    bool unread = false;
};

struct NoticeSetting {
    std::string title;
    std::string msgType;
    int status = 1; // 1-based choice of the workbench's selector
};

struct ShopCategoryState {
    bool havePermission = true;
    bool subscribed = false;
    std::vector<NoticeSetting> notices;
};

struct Shop {
    int32_t otaId = 0;
    std::string name;
    std::map<std::string, ShopCategoryState> categories; // by API type
};

// What one signed-in merchant (a uid) sees: its categories with their permissions, its
// messages and its shops. Each merchant starts from the seed and keeps its own changes.
struct Merchant {
    std::vector<Category> categories;
    std::map<std::string, bool> permitted; // by API type, for the message center
    std::vector<Message> messages;
    std::vector<Shop> shops;
};

// How a merchant is seeded; /demo/merchant sets these for one uid.
struct MerchantOptions {
    int shops = 3;          // 1 to 3
    bool permitted = true;  // false: no category may be seen at all
};

struct RecordedRequest {
    uint64_t seq = 0; // arrival order; the body is filled in once it has been read
    std::string method;
    std::string target; // path with the raw query
    std::string body;
    std::string userAgent;
    std::string cookie;
    std::string acceptEncoding;
    bool hasCookieHeader = false;
    std::string refused; // why the server refused the request; empty when it did not
    // Arrival on the machine's monotonic clock, which every process shares, in microseconds:
    // a benchmark reads from it when a client's request reached the server.
    uint64_t monoUs = 0;
};

struct ArmedFault {
    std::string mode;
    std::string pathPrefix;
    int remaining = 0; // < 0: until switched off
    int delayMs = 0;
};

struct DemoState {
    std::mutex lock;
    std::condition_variable stopCv;
    bool stopping = false;

    std::string dataDir;
    // "events.jsonl" in dataDir, opened for appending at the first event and kept open.
    std::ofstream eventsLog;
    int64_t startedAt = 0;

    std::map<std::string, Merchant> merchants; // by uid, made on first use
    std::map<std::string, MerchantOptions> merchantOptions;

    std::map<std::string, std::string> sessions; // session cookie value -> signed-in uid

    // Seconds between the console's simulated customers and orders; 0 leaves them to its buttons.
    int streamSeconds = 0;
    // Console pages without a session are signed in at once, as the uid they ask for (or
    // "demo"), as if the merchant had sent the sign-in form.
    bool autoSignIn = false;

    bool hasNewVersion = false;
    std::string newestVersion = "2.2.0";
    std::string downloadUrl;

    Json::Value events{Json::arrayValue}; // accepted usage events, oldest first
    int rejectedEvents = 0;
    // The counts the waits of /demo/events/count are for; eventsCv is told when the smallest is
    // reached, and of the stop, so an upload never has to wake a waiter it does not concern.
    std::multiset<size_t> eventsAwaited;
    std::condition_variable eventsCv;

    std::deque<RecordedRequest> requests; // the latest API requests, for checks
    uint64_t requestSeq = 0;
    // Waits of /demo/requests for a request to arrive; requestsCv is told of each arrival while
    // one waits, and of the stop.
    int requestWaiters = 0;
    std::condition_variable requestsCv;
    std::vector<ArmedFault> faults;

    // Sleeps up to `ms` unless the server is stopping; false when cut short.
    bool Sleep(int ms);
    // The merchant of a uid, seeded on first use. Call with the lock held.
    Merchant& MerchantOf(const std::string& uid);
};

void SeedDemoData(DemoState& state);
// A merchant as seeded: three shops (or fewer), the six categories, one of them with 137
// messages, unread counts above 99, links and no links, notice settings per category.
Merchant SeedMerchant(int64_t now, const MerchantOptions& options);

const char* const kSessionCookie = "shopdesk_session";
// The answer header that ties a response to its recorded request.
const char* const kRequestSeqHeader = "X-Demo-Request";
const char* const kEventSignSalt = "3c9e0a7b51d2f84e6a0b9c7d2e5f1a48";
// The one user agent of the workbench's native requests; the API refuses any other.
const char* const kWorkbenchUserAgent =
    "Mozilla/5.0 (Windows NT 6.2; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/49.0.2623.110 "
    "Safari/537.36 qdxappcode/im.qdx.windows qdxappver/2.1.4";

} // namespace demo
