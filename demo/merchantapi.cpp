// The merchant API: message center, subscriptions and shops, answered from the seeded state.
// Every call needs the session cookie the sign-in issued; without it the answer is a refused
// "code", as the real servers do, with status 200.
#include <cstdlib>

#include "routes.h"

namespace demo {

namespace {

const int kCodeNotSignedIn = 40101;
const int kCodeBadParam = 40001;
const int kCodeNoShop = 40004;
const int kCodeNoType = 40005;

bool SignedIn(DemoState& state, const httplib::Request& req) {
    std::string session = CookieValue(req, kSessionCookie);
    return !session.empty() && state.sessions.count(session) > 0;
}

bool ParseInt64(const std::string& text, int64_t& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0')
        return false;
    out = v;
    return true;
}

// Shop ids arrive as signed decimal in queries and as unsigned decimal of the same 32 bits in
// form bodies; both name the same shop.
Shop* FindShop(DemoState& state, const std::string& text) {
    int64_t v;
    if (!ParseInt64(text, v))
        return nullptr;
    int32_t id = static_cast<int32_t>(static_cast<uint32_t>(v));
    for (Shop& s : state.shops)
        if (s.otaId == id)
            return &s;
    return nullptr;
}

const Category* FindCategory(DemoState& state, const std::string& type) {
    for (const Category& c : state.categories)
        if (c.type == type)
            return &c;
    return nullptr;
}

unsigned UnreadCount(DemoState& state, const std::string& type) {
    unsigned n = 0;
    for (const Message& m : state.messages)
        if (m.type == type && m.unread)
            ++n;
    return n;
}

Json::Value PermissionList(DemoState& state, const Shop& shop) {
    Json::Value list(Json::arrayValue);
    for (const Category& c : state.categories) {
        const ShopCategoryState& cs = shop.categories.at(c.type);
        Json::Value item(Json::objectValue);
        item["name"] = c.name;
        item["type"] = c.type;
        item["unread_num"] = cs.havePermission ? UnreadCount(state, c.type) : 0u;
        item["is_subscribe"] = cs.subscribed;
        item["have_permission"] = cs.havePermission;
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

bool ValidStatus(int64_t status) { return status >= 1 && status <= 3; }

// Wraps a handler with the session check and the state lock.
httplib::Server::Handler Guarded(DemoState& state,
                                 std::function<void(const httplib::Request&, httplib::Response&)> handler) {
    return [&state, handler](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(state.lock);
        if (!SignedIn(state, req)) {
            ReplyJson(res, Envelope(kCodeNotSignedIn, "用户未登录，请重新登录"));
            return;
        }
        handler(req, res);
    };
}

} // namespace

void RegisterMerchantApi(httplib::Server& server, DemoState& state) {
    DemoState* st = &state;

    server.Get("/tessaril/api/message/get_permission", Guarded(state, [st](const httplib::Request&, httplib::Response& res) {
        ReplyJson(res, Envelope(0, "success", PermissionList(*st, st->shops.front())));
    }));

    server.Get("/tessaril/api/message/get_list", Guarded(state, [st](const httplib::Request& req, httplib::Response& res) {
        std::string type = req.get_param_value("message_type");
        int64_t offset = 0, pageSize = 0;
        if (!FindCategory(*st, type) || !ParseInt64(req.get_param_value("offset"), offset) ||
            !ParseInt64(req.get_param_value("page_size"), pageSize) || offset < 0 || pageSize < 1 || pageSize > 100) {
            ReplyJson(res, Envelope(kCodeBadParam, "参数错误"));
            return;
        }
        Json::Value data(Json::objectValue);
        Json::Value list(Json::arrayValue);
        uint64_t total = 0;
        for (const Message& m : st->messages) {
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
        data["total"] = static_cast<Json::UInt64>(total);
        data["list"] = list;
        ReplyJson(res, Envelope(0, "success", data));
    }));

    server.Post("/tessaril/api/message/all_read", Guarded(state, [st](const httplib::Request&, httplib::Response& res) {
        for (Message& m : st->messages)
            m.unread = false;
        ReplyJson(res, Envelope(0, "success"));
    }));

    server.Get("/tessaril/api/shop/get_list", Guarded(state, [st](const httplib::Request&, httplib::Response& res) {
        Json::Value list(Json::arrayValue);
        for (const Shop& s : st->shops) {
            Json::Value item(Json::objectValue);
            item["ota_id"] = s.otaId;
            item["name"] = s.name;
            list.append(item);
        }
        ReplyJson(res, Envelope(0, "success", list));
    }));

    server.Get("/tessaril/api/subscribe/get_permission", Guarded(state, [st](const httplib::Request& req, httplib::Response& res) {
        Shop* shop = FindShop(*st, req.get_param_value("ota_id"));
        if (!shop) {
            ReplyJson(res, Envelope(kCodeNoShop, "店铺不存在"));
            return;
        }
        ReplyJson(res, Envelope(0, "success", PermissionList(*st, *shop)));
    }));

    server.Get("/tessaril/api/subscribe/get_sub_permission", Guarded(state, [st](const httplib::Request& req, httplib::Response& res) {
        Shop* shop = FindShop(*st, req.get_param_value("ota_id"));
        std::string type = req.get_param_value("type");
        if (!shop) {
            ReplyJson(res, Envelope(kCodeNoShop, "店铺不存在"));
            return;
        }
        auto it = shop->categories.find(type);
        if (it == shop->categories.end() || !it->second.havePermission) {
            ReplyJson(res, Envelope(kCodeNoType, "没有该分类的权限"));
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
        ReplyJson(res, Envelope(0, "success", data));
    }));

    server.Post("/tessaril/api/subscribe/set_notice", Guarded(state, [st](const httplib::Request& req, httplib::Response& res) {
        Shop* shop = FindShop(*st, req.get_param_value("ota_id"));
        int64_t status = 0;
        if (!shop || !ParseInt64(req.get_param_value("status"), status) || !ValidStatus(status)) {
            ReplyJson(res, Envelope(kCodeBadParam, "参数错误"));
            return;
        }
        NoticeSetting* n = FindNotice(*shop, req.get_param_value("message_type"));
        if (!n) {
            ReplyJson(res, Envelope(kCodeNoType, "消息类型不存在"));
            return;
        }
        n->status = static_cast<int>(status);
        ReplyJson(res, Envelope(0, "success"));
    }));

    server.Post("/tessaril/api/subscribe/set_notice_batch", Guarded(state, [st](const httplib::Request& req, httplib::Response& res) {
        Json::Value data;
        if (!ParseJson(req.get_param_value("data"), data) || !data.isObject() || !data["ota_id"].isIntegral() ||
            !(data["list"].isNull() || data["list"].isArray())) {
            ReplyJson(res, Envelope(kCodeBadParam, "参数错误"));
            return;
        }
        Shop* shop = FindShop(*st, std::to_string(data["ota_id"].asInt64()));
        if (!shop) {
            ReplyJson(res, Envelope(kCodeNoShop, "店铺不存在"));
            return;
        }
        // Validate every element before changing any, so a refused batch changes nothing.
        std::vector<std::pair<NoticeSetting*, int>> changes;
        for (const Json::Value& item : data["list"]) {
            if (!item.isObject() || !item["message_type"].isString() || !item["status"].isIntegral() ||
                !ValidStatus(item["status"].asInt64())) {
                ReplyJson(res, Envelope(kCodeBadParam, "参数错误"));
                return;
            }
            NoticeSetting* n = FindNotice(*shop, item["message_type"].asString());
            if (!n) {
                ReplyJson(res, Envelope(kCodeNoType, "消息类型不存在"));
                return;
            }
            changes.emplace_back(n, item["status"].asInt());
        }
        for (auto& c : changes)
            c.first->status = c.second;
        ReplyJson(res, Envelope(0, "success"));
    }));

    server.Post("/tessaril/api/subscribe/set_subscribe", Guarded(state, [st](const httplib::Request& req, httplib::Response& res) {
        Shop* shop = FindShop(*st, req.get_param_value("ota_id"));
        int64_t status = -1;
        if (!shop || !ParseInt64(req.get_param_value("status"), status) || (status != 0 && status != 1)) {
            ReplyJson(res, Envelope(kCodeBadParam, "参数错误"));
            return;
        }
        auto it = shop->categories.find(req.get_param_value("type"));
        if (it == shop->categories.end() || !it->second.havePermission) {
            ReplyJson(res, Envelope(kCodeNoType, "没有该分类的权限"));
            return;
        }
        it->second.subscribed = status == 1;
        ReplyJson(res, Envelope(0, "success"));
    }));
}

} // namespace demo
