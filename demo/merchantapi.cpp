// The merchant API: message center, subscriptions and shops, answered from each merchant's
// kept state. It is as strict as the real servers: every call needs the session cookie the
// sign-in issued (a refused "code" with status 200 otherwise), its own method (405 otherwise),
// and its query or form fields in the client's order and encoding (a refused "code").
#include "routes.h"
#include "strictform.h"

namespace demo {

namespace {

const int kCodeNotSignedIn = 40101;
const int kCodeBadParam = 40001;
const int kCodeNoShop = 40004;
const int kCodeNoType = 40005;
const int kCodeBadMethod = 40500;
const int kStatusChoices = 3; // the notice selector's choices: 实时提醒, 每日汇总, 不提醒

// The categories that "all read" clears; system notices and refunds are read one by one.
bool ClearedByAllRead(const std::string& type) { return type != "sales_system" && type != "sales_order_refund"; }

struct Call {
    const httplib::Request& req;
    httplib::Response& res;
    Merchant& merchant;
    StrictForm form;

    void Refuse(int code, const std::string& why) { ReplyJson(res, Envelope(code, why)); }
    void Ok(const Json::Value& data = Json::Value()) { ReplyJson(res, Envelope(0, "success", data)); }
    // The raw query (GET) or body (POST) against the fields this call takes, in order.
    bool Fields(std::initializer_list<const char*> keys) {
        bool isQuery = req.method == "GET";
        std::string raw;
        if (isQuery) {
            size_t q = req.target.find('?');
            raw = q == std::string::npos ? std::string() : req.target.substr(q + 1);
        } else {
            raw = req.body;
            if (!raw.empty() && req.get_header_value("Content-Type") != "application/x-www-form-urlencoded") {
                Refuse(kCodeBadParam, "form bodies are application/x-www-form-urlencoded");
                return false;
            }
        }
        if (!form.Parse(raw, isQuery) || !form.Expect(keys)) {
            Refuse(kCodeBadParam, "参数错误: " + form.Why());
            return false;
        }
        return true;
    }
    // Shop ids: signed decimal in queries, unsigned decimal of the same 32 bits in bodies.
    Shop* ShopField(const char* key) {
        int64_t v = 0;
        bool signedText = req.method == "GET";
        if (!ParseStrictInt(form.Value(key), signedText ? INT32_MIN : 0, signedText ? INT32_MAX : UINT32_MAX, v)) {
            Refuse(kCodeBadParam, "参数错误: ota_id");
            return nullptr;
        }
        int32_t id = static_cast<int32_t>(static_cast<uint32_t>(v));
        for (Shop& s : merchant.shops)
            if (s.otaId == id)
                return &s;
        Refuse(kCodeNoShop, "店铺不存在");
        return nullptr;
    }
};

unsigned UnreadCount(const Merchant& m, const std::string& type) {
    unsigned n = 0;
    for (const Message& msg : m.messages)
        n += msg.type == type && msg.unread;
    return n;
}

Json::Value PermissionList(const Merchant& m, const Shop* shop) {
    Json::Value list(Json::arrayValue);
    for (const Category& c : m.categories) {
        bool permitted = shop ? shop->categories.at(c.type).havePermission : m.permitted.at(c.type);
        bool subscribed = shop ? shop->categories.at(c.type).subscribed
                               : !m.shops.empty() && m.shops.front().categories.at(c.type).subscribed;
        Json::Value item(Json::objectValue);
        item["name"] = c.name;
        item["type"] = c.type;
        item["unread_num"] = permitted ? UnreadCount(m, c.type) : 0u;
        item["is_subscribe"] = subscribed;
        item["have_permission"] = permitted;
        list.append(item);
    }
    return list;
}

NoticeSetting* FindNotice(Shop& shop, const std::string& msgType) {
    for (auto& kv : shop.categories)
        for (NoticeSetting& n : kv.second.notices)
            if (n.msgType == msgType)
                return &n;
    return nullptr;
}

bool ValidStatus(int64_t status) { return status >= 1 && status <= kStatusChoices; }

using Handler = std::function<void(Call&)>;

void Route(httplib::Server& server, DemoState& state, const char* method, const char* path, Handler handler) {
    auto run = [&state, handler](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        auto session = state.sessions.find(CookieValue(req, kSessionCookie));
        if (session == state.sessions.end()) {
            ReplyJson(res, Envelope(kCodeNotSignedIn, "用户未登录，请重新登录"));
            return;
        }
        Call call{req, res, state.MerchantOf(session->second), {}};
        handler(call);
    };
    auto wrongMethod = [method](const httplib::Request&, httplib::Response& res) {
        ReplyJson(res, Envelope(kCodeBadMethod, std::string("method not allowed; use ") + method), 405);
    };
    bool isGet = std::string(method) == "GET";
    if (isGet) {
        server.Get(path, run);
        server.Post(path, wrongMethod);
    } else {
        server.Post(path, run);
        server.Get(path, wrongMethod);
    }
    server.Put(path, wrongMethod);
    server.Delete(path, wrongMethod);
}

void GetMessageList(Call& c) {
    if (!c.Fields({"message_type", "offset", "page_size"}))
        return;
    std::string type = c.form.Value("message_type");
    int64_t offset = 0, pageSize = 0;
    if (!ParseStrictInt(c.form.Value("offset"), 0, INT32_MAX, offset) ||
        !ParseStrictInt(c.form.Value("page_size"), 1, 100, pageSize)) {
        c.Refuse(kCodeBadParam, "参数错误: offset, page_size");
        return;
    }
    auto permitted = c.merchant.permitted.find(type);
    if (permitted == c.merchant.permitted.end() || !permitted->second) {
        c.Refuse(kCodeNoType, "没有该分类的权限");
        return;
    }
    Json::Value list(Json::arrayValue);
    uint64_t total = 0;
    for (const Message& m : c.merchant.messages) {
        if (m.type != type)
            continue;
        if (static_cast<int64_t>(total) >= offset && static_cast<int64_t>(list.size()) < pageSize) {
            Json::Value item(Json::objectValue);
            item["title"] = m.title;
            item["content"] = m.content;
            item["url"] = m.url;
            item["msg_type"] = m.msgType;
            item["timestamp"] = static_cast<Json::Int64>(m.timestamp);
            item["msg_id"] = m.msgId;
            item["is_unread"] = m.unread ? 1 : 0;
            list.append(item);
        }
        ++total;
    }
    Json::Value data(Json::objectValue);
    data["total"] = static_cast<Json::UInt64>(total);
    data["list"] = list;
    c.Ok(data);
}

void GetSubSettings(Call& c) {
    if (!c.Fields({"type", "ota_id"}))
        return;
    Shop* shop = c.ShopField("ota_id");
    if (!shop)
        return;
    auto it = shop->categories.find(c.form.Value("type"));
    if (it == shop->categories.end() || !it->second.havePermission) {
        c.Refuse(kCodeNoType, "没有该分类的权限");
        return;
    }
    Json::Value subList(Json::arrayValue);
    for (const NoticeSetting& n : it->second.notices) {
        Json::Value item(Json::objectValue);
        item["title"] = n.title;
        item["msg_type"] = n.msgType;
        item["status"] = std::to_string(n.status); // the real servers send it as text
        subList.append(item);
    }
    Json::Value data(Json::objectValue);
    data["sub_list"] = subList;
    c.Ok(data);
}

void SetNotice(Call& c) {
    if (!c.Fields({"ota_id", "message_type", "status"}))
        return;
    Shop* shop = c.ShopField("ota_id");
    if (!shop)
        return;
    int64_t status = 0;
    if (!ParseStrictInt(c.form.Value("status"), INT32_MIN, INT32_MAX, status) || !ValidStatus(status)) {
        c.Refuse(kCodeBadParam, "参数错误: status");
        return;
    }
    NoticeSetting* n = FindNotice(*shop, c.form.Value("message_type"));
    if (!n) {
        c.Refuse(kCodeNoType, "消息类型不存在");
        return;
    }
    n->status = static_cast<int>(status);
    c.Ok();
}

void SetNoticeBatch(Call& c) {
    if (!c.Fields({"data"}))
        return;
    const std::string& text = c.form.Value("data");
    Json::Value data;
    // The client's writer sorts keys and ends with a line feed; anything else is not its text.
    if (text.empty() || text.back() != '\n' || !ParseJson(text, data) || !data.isObject() ||
        !data["ota_id"].isIntegral() || !(data["list"].isNull() || data["list"].isArray()) ||
        text.find("\"list\"") > text.find("\"ota_id\"") || data.size() != 2) {
        c.Refuse(kCodeBadParam, "参数错误: data");
        return;
    }
    Shop* shop = nullptr;
    for (Shop& s : c.merchant.shops)
        if (s.otaId == data["ota_id"].asInt64())
            shop = &s;
    if (!shop) {
        c.Refuse(kCodeNoShop, "店铺不存在");
        return;
    }
    // Every element is checked before any changes, so a refused batch changes nothing.
    std::vector<std::pair<NoticeSetting*, int>> changes;
    for (const Json::Value& item : data["list"]) {
        if (!item.isObject() || !item["message_type"].isString() || !item["status"].isIntegral() ||
            !ValidStatus(item["status"].asInt64())) {
            c.Refuse(kCodeBadParam, "参数错误: list");
            return;
        }
        NoticeSetting* n = FindNotice(*shop, item["message_type"].asString());
        if (!n) {
            c.Refuse(kCodeNoType, "消息类型不存在");
            return;
        }
        changes.emplace_back(n, item["status"].asInt());
    }
    for (auto& ch : changes)
        ch.first->status = ch.second;
    c.Ok();
}

void SetSubscribe(Call& c) {
    if (!c.Fields({"ota_id", "type", "status"}))
        return;
    Shop* shop = c.ShopField("ota_id");
    if (!shop)
        return;
    int64_t status = -1;
    if (!ParseStrictInt(c.form.Value("status"), 0, 1, status)) {
        c.Refuse(kCodeBadParam, "参数错误: status");
        return;
    }
    auto it = shop->categories.find(c.form.Value("type"));
    if (it == shop->categories.end() || !it->second.havePermission) {
        c.Refuse(kCodeNoType, "没有该分类的权限");
        return;
    }
    it->second.subscribed = status == 1;
    c.Ok();
}

} // namespace

void RegisterMerchantApi(httplib::Server& server, DemoState& state) {
    Route(server, state, "GET", "/tessaril/api/message/get_permission", [](Call& c) {
        if (c.Fields({}))
            c.Ok(PermissionList(c.merchant, nullptr));
    });
    Route(server, state, "GET", "/tessaril/api/message/get_list", GetMessageList);
    Route(server, state, "POST", "/tessaril/api/message/all_read", [](Call& c) {
        if (!c.Fields({}))
            return;
        for (Message& m : c.merchant.messages)
            if (ClearedByAllRead(m.type))
                m.unread = false;
        c.Ok();
    });
    Route(server, state, "GET", "/tessaril/api/shop/get_list", [](Call& c) {
        if (!c.Fields({}))
            return;
        Json::Value list(Json::arrayValue);
        for (const Shop& s : c.merchant.shops) {
            Json::Value item(Json::objectValue);
            item["ota_id"] = s.otaId;
            item["name"] = s.name;
            list.append(item);
        }
        c.Ok(list);
    });
    Route(server, state, "GET", "/tessaril/api/subscribe/get_permission", [](Call& c) {
        if (!c.Fields({"ota_id"}))
            return;
        if (Shop* shop = c.ShopField("ota_id"))
            c.Ok(PermissionList(c.merchant, shop));
    });
    Route(server, state, "GET", "/tessaril/api/subscribe/get_sub_permission", GetSubSettings);
    Route(server, state, "POST", "/tessaril/api/subscribe/set_notice", SetNotice);
    Route(server, state, "POST", "/tessaril/api/subscribe/set_notice_batch", SetNoticeBatch);
    Route(server, state, "POST", "/tessaril/api/subscribe/set_subscribe", SetSubscribe);
}

} // namespace demo
