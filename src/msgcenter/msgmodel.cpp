#include "msgcenter/msgmodel.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <json/json.h>

#include "common/jsonparse.h"
#include "common/sysutils.h"
#include "net/jsonwrite.h"

const SCategory kCategories[kCategoryCount] = {
    {"sales_order", L"horizon_order", L"op_order", L"order_msg_num"},
    {"sales_daily_report", L"horizon_business", L"op_business", L"business_msg_num"},
    {"sales_product", L"horizon_goods", L"op_goods", L"goods_msg_num"},
    {"sales_comment", L"horizon_interaction", L"op_interaction", L"interaction_msg_num"},
    {"sales_system", L"horizon_sys_notice", L"op_sys_notice", L"sys_notice_msg_num"},
    {"sales_order_refund", L"horizon_refund_notice", L"op_refund_notice", L"refund_notice_msg_num"},
};

int FindCategory(const std::string& type) {
    for (int i = 0; i < kCategoryCount; ++i)
        if (type == kCategories[i].type)
            return i;
    return -1;
}

uint64_t TotalPages(uint64_t total) {
    uint64_t pages = total / kPageSize;
    if (pages * kPageSize < total)
        ++pages;
    return pages;
}

int64_t PageOffset(uint64_t page) { return page == 0 ? 0 : static_cast<int64_t>((page - 1) * kPageSize); }

SBadgeLook BadgeLook(uint32_t unread) {
    SBadgeLook look;
    if (unread == 0)
        return look;
    look.visible = true;
    if (unread <= 99) {
        look.text = std::to_wstring(unread);
        look.image = L"imgs\\common\\red_dot.png";
        look.width = 16;
    } else {
        look.text = L"99+";
        look.image = L"imgs\\common\\red_rounded rectangle.png";
        look.width = 24;
    }
    return look;
}

std::wstring MessageTimeText(int64_t timestamp, time_t now) {
    // 32503680000 is 3000-01-01 00:00 UTC; later stamps are taken as garbage, not as dates.
    if (timestamp < 0 || timestamp >= 32503680000LL)
        return std::wstring();
    time_t stamp = static_cast<time_t>(timestamp);
    struct tm msg {}, today {};
    if (!localtime_r(&stamp, &msg) || !localtime_r(&now, &today))
        return std::wstring();
    if (msg.tm_year == today.tm_year && msg.tm_mon == today.tm_mon && msg.tm_mday == today.tm_mday)
        return FormatString(L"今天 %02d:%02d", msg.tm_hour, msg.tm_min);
    return FormatString(L"%04d-%02d-%02d", msg.tm_year + 1900, msg.tm_mon + 1, msg.tm_mday);
}

namespace {

// Member readers: a missing (or null) member reads as 0, false or empty; a member of another
// kind than the layout says makes the whole answer unusable.
bool ReadInt(const Json::Value& obj, const char* key, int64_t lo, int64_t hi, int64_t& out) {
    const Json::Value& v = obj[key];
    out = 0;
    if (v.isNull())
        return true;
    if (v.isBool()) {
        out = v.asBool() ? 1 : 0;
        return true;
    }
    if (v.isInt64()) {
        out = v.asInt64();
        return out >= lo && out <= hi;
    }
    return false;
}

bool ReadU64(const Json::Value& obj, const char* key, uint64_t& out) {
    const Json::Value& v = obj[key];
    out = 0;
    if (v.isNull())
        return true;
    if (v.isBool()) {
        out = v.asBool() ? 1 : 0;
        return true;
    }
    if (v.isUInt64()) {
        out = v.asUInt64();
        return true;
    }
    return false;
}

bool ReadBool(const Json::Value& obj, const char* key, bool& out) {
    const Json::Value& v = obj[key];
    out = false;
    if (v.isNull())
        return true;
    if (v.isBool() || v.isNumeric()) {
        out = v.isBool() ? v.asBool() : v.asDouble() != 0.0;
        return true;
    }
    return false;
}

bool ReadText(const Json::Value& obj, const char* key, std::string& out) {
    const Json::Value& v = obj[key];
    out.clear();
    if (v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.asString();
    return true;
}

bool ReadWide(const Json::Value& obj, const char* key, std::wstring& out) {
    std::string text;
    if (!ReadText(obj, key, text))
        return false;
    out = Utf8ToWide(text); // the servers send UTF-8
    return true;
}

// The envelope: JSON object, "code" 0 (or missing). `data` is the payload.
EAnswer OpenEnvelope(const std::string& text, Json::Value& root) {
    if (!JsonParse(text, root))
        return EAnswer::NotJson;
    if (!root.isObject())
        return EAnswer::WrongPayload;
    int64_t code = 0;
    if (!ReadInt(root, "code", INT32_MIN, INT32_MAX, code))
        return EAnswer::WrongPayload;
    return code == 0 ? EAnswer::Ok : EAnswer::Refused;
}

// Hands every object of `list` to `read`, skipping nulls; WrongPayload at the first entry that
// is not an object or that `read` refuses.
template <class Read>
EAnswer ReadEntries(const Json::Value& list, Read&& read) {
    for (const Json::Value& e : list) {
        if (e.isNull())
            continue;
        if (!e.isObject() || !read(e))
            return EAnswer::WrongPayload;
    }
    return EAnswer::Ok;
}

// The status of a notice setting: decimal text as the servers send it, or a number.
bool ReadStatus(const Json::Value& e, int& out) {
    const Json::Value& st = e["status"];
    int64_t v = 0;
    if (st.isString()) {
        std::string t = st.asString();
        char* end = nullptr;
        errno = 0;
        v = std::strtoll(t.c_str(), &end, 10);
        if (t.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
            return false;
    } else if (!ReadInt(e, "status", INT32_MIN, INT32_MAX, v)) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// An answer whose entries `listOf` finds in its "data" (null when they are not there): each goes
// through `read` into the new items, and `out`, emptied first, gets them only from a whole answer.
template <typename T, typename ListOf, typename Read>
EAnswer ParseListAnswer(const std::string& text, std::vector<T>& out, ListOf listOf, Read read) {
    out.clear();
    Json::Value root;
    EAnswer r = OpenEnvelope(text, root);
    if (r != EAnswer::Ok)
        return r;
    const Json::Value* list = listOf(static_cast<const Json::Value&>(root)["data"]);
    if (!list)
        return EAnswer::WrongPayload;
    std::vector<T> items;
    r = ReadEntries(*list, [&](const Json::Value& e) { return read(e, items); });
    if (r == EAnswer::Ok)
        out.swap(items);
    return r;
}

const Json::Value* DataArray(const Json::Value& data) { return data.isArray() ? &data : nullptr; }

} // namespace

EAnswer ParsePermissionAnswer(const std::string& text, std::vector<SPermission>& out) {
    return ParseListAnswer(text, out, DataArray, [](const Json::Value& e, std::vector<SPermission>& items) {
        SPermission p;
        int64_t unread = 0;
        if (!ReadText(e, "type", p.type) || !ReadWide(e, "name", p.name) ||
            !ReadInt(e, "unread_num", 0, UINT32_MAX, unread) || !ReadBool(e, "is_subscribe", p.subscribed) ||
            !ReadBool(e, "have_permission", p.permitted))
            return false;
        p.unread = static_cast<uint32_t>(unread);
        // Types the client does not know change nothing; only the six are kept.
        if (FindCategory(p.type) >= 0)
            items.push_back(std::move(p));
        return true;
    });
}

EAnswer ParseMessageListAnswer(const std::string& text, SMessagePage& out, size_t maxEntries) {
    out = SMessagePage();
    Json::Value root;
    EAnswer r = OpenEnvelope(text, root);
    if (r != EAnswer::Ok)
        return r;
    const Json::Value& data = root["data"];
    if (!data.isObject())
        return EAnswer::WrongPayload;
    SMessagePage page;
    if (!ReadU64(data, "total", page.total))
        return EAnswer::WrongPayload;
    const Json::Value& list = data["list"];
    page.listIsArray = list.isArray();
    if (page.listIsArray && page.total > 0) {
        page.listSize = list.size();
        r = ReadEntries(list, [&](const Json::Value& e) {
            SMessageEntry m;
            int64_t unread = 0, msgType = 0;
            std::string msgId;
            if (!ReadWide(e, "title", m.title) || !ReadWide(e, "content", m.content) || !ReadWide(e, "url", m.url) ||
                !ReadInt(e, "msg_type", 0, UINT32_MAX, msgType) ||
                !ReadInt(e, "timestamp", INT64_MIN, INT64_MAX, m.timestamp) || !ReadText(e, "msg_id", msgId) ||
                !ReadInt(e, "is_unread", INT32_MIN, INT32_MAX, unread))
                return false;
            m.unread = unread != 0;
            if (page.entries.size() < maxEntries)
                page.entries.push_back(std::move(m));
            return true;
        });
        if (r != EAnswer::Ok)
            return r;
    }
    out = std::move(page);
    return EAnswer::Ok;
}

EAnswer ParseCodeAnswer(const std::string& text) {
    Json::Value root;
    return OpenEnvelope(text, root);
}

EAnswer ParseShopListAnswer(const std::string& text, std::vector<SShop>& out, size_t maxShops) {
    return ParseListAnswer(text, out, DataArray, [maxShops](const Json::Value& e, std::vector<SShop>& shops) {
        SShop s;
        int64_t id = 0;
        if (!ReadInt(e, "ota_id", INT32_MIN, INT32_MAX, id) || !ReadWide(e, "name", s.name))
            return false;
        s.otaId = static_cast<int32_t>(id);
        if (shops.size() < maxShops)
            shops.push_back(std::move(s));
        return true;
    });
}

EAnswer ParseNoticeSettingsAnswer(const std::string& text, std::vector<SNoticeSetting>& out, size_t maxSettings) {
    auto subList = [](const Json::Value& data) -> const Json::Value* {
        return data.isObject() && data["sub_list"].isArray() ? &data["sub_list"] : nullptr;
    };
    auto read = [maxSettings](const Json::Value& e, std::vector<SNoticeSetting>& settings) {
        SNoticeSetting s;
        if (!ReadText(e, "title", s.title) || !ReadText(e, "msg_type", s.msgType) || !ReadStatus(e, s.status))
            return false;
        if (settings.size() < maxSettings)
            settings.push_back(std::move(s));
        return true;
    };
    return ParseListAnswer(text, out, subList, read);
}
