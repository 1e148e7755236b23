#include <ctime>

#include "demostate.h"

namespace demo {

namespace {

struct NoticeSeed {
    const char* title;
    const char* msgType;
};

struct CategorySeed {
    const char* type;
    const char* name;
    int messageCount;
    int unreadEvery; // every n-th message is unread
    std::vector<NoticeSeed> notices;
    std::vector<std::pair<const char*, const char*>> samples; // title, content
};

// The order category is long enough to page through (137 messages, 103 unread, so its badge
// reads "99+"); the product category is empty, for the empty pane.
const std::vector<CategorySeed>& Seeds() {
    static const std::vector<CategorySeed> seeds = {
        {"sales_order", "订单消息", 137, 4,
         {{"新订单提醒", "order_new"}, {"订单取消提醒", "order_cancel"}, {"出行前提醒", "order_travel"}},
         {{"新订单", "您有一笔新订单：三亚五日游（2 成人），请及时确认。"},
          {"订单取消", "游客取消了订单：桂林漓江竹筏一日游。"},
          {"出行提醒", "明日出行：九寨沟双飞四日游，请提前联系游客。"}}},
        {"sales_daily_report", "经营日报", 12, 3,
         {{"经营日报推送", "report_daily"}, {"周报推送", "report weekly"}},
         {{"昨日经营日报", "昨日访客 1,204 人，下单 37 笔，成交额 ¥48,260。"},
          {"本周经营周报", "本周转化率 3.1%，较上周提升 0.4 个百分点。"}}},
        {"sales_product", "产品消息", 0, 1,
         {{"产品审核结果", "product_audit"}, {"库存预警", "product_stock"}},
         {}},
        {"sales_comment", "点评互动", 14, 3,
         {{"新点评提醒", "comment_new"}, {"差评提醒", "comment_bad"}, {"追评提醒", "comment_append"}},
         {{"新点评", "游客给「鼓浪屿一日游」打了 5 星：导游很专业！"},
          {"差评提醒", "游客给「长城一日游」打了 2 星，请及时回复。"}}},
        {"sales_system", "系统公告", 6, 2,
         {{"平台公告", "system_notice"}},
         {{"平台公告", "暑期大促报名已开启，截止 6 月 30 日。"},
          {"系统维护", "本周日 02:00-04:00 系统维护，届时部分功能不可用。"}}},
        {"sales_order_refund", "退款通知", 11, 3,
         {{"退款申请提醒", "refund_apply"}, {"退款完成提醒", "refund_done"}},
         {{"退款申请", "游客申请退款：丽江古城二日游，金额 ¥860。"},
          {"退款完成", "订单 20240611-0032 退款已完成。"}}},
    };
    return seeds;
}

} // namespace

Merchant SeedMerchant(int64_t now, const MerchantOptions& options) {
    Merchant merchant;
    int serial = 1;
    for (size_t c = 0; c < Seeds().size(); ++c) {
        const CategorySeed& seed = Seeds()[c];
        merchant.categories.push_back({seed.type, seed.name});
        merchant.permitted[seed.type] = options.permitted;
        for (int i = 0; i < seed.messageCount; ++i) {
            const auto& sample = seed.samples[static_cast<size_t>(i) % seed.samples.size()];
            Message m;
            m.msgId = "m" + std::to_string(100000 + serial++);
            m.type = seed.type;
            m.title = sample.first;
            m.content = sample.second;
            m.url = i % 4 == 3 ? "" : "https://merchant.example/msg/" + m.msgId;
            m.msgType = static_cast<unsigned>(c * 10 + static_cast<size_t>(i) % 3);
            // Newest first, three hours apart: the first few fall on today, the rest on earlier days.
            m.timestamp = now - static_cast<int64_t>(i) * 3 * 3600 - static_cast<int64_t>(c) * 600;
            m.unread = i % seed.unreadEvery != seed.unreadEvery - 1 || seed.unreadEvery == 1;
            merchant.messages.push_back(m);
        }
    }

    struct ShopSeed {
        int32_t id;
        const char* name;
    };
    const ShopSeed shops[] = {{10086, "海岛度假旗舰店"}, {20417, "山城国际旅行社"}, {31502, "古城自由行专营店"}};
    int shopCount = options.shops < 1 ? 1 : options.shops > 3 ? 3 : options.shops;
    for (int s = 0; s < shopCount; ++s) {
        Shop shop;
        shop.otaId = shops[s].id;
        shop.name = shops[s].name;
        for (size_t c = 0; c < Seeds().size(); ++c) {
            ShopCategoryState cs;
            // The third shop has no refund business, so that category is missing there.
            cs.havePermission = options.permitted && !(s == 2 && c == 5);
            cs.subscribed = (c + static_cast<size_t>(s)) % 4 != 3;
            int status = 1;
            for (const NoticeSeed& n : Seeds()[c].notices)
                cs.notices.push_back({n.title, n.msgType, (status++ + s) % 3 + 1});
            shop.categories[Seeds()[c].type] = cs;
        }
        merchant.shops.push_back(shop);
    }
    return merchant;
}

void SeedDemoData(DemoState& state) {
    state.startedAt = static_cast<int64_t>(std::time(nullptr));
    state.merchants.clear();
}

Merchant& DemoState::MerchantOf(const std::string& uid) {
    auto it = merchants.find(uid);
    if (it != merchants.end())
        return it->second;
    auto opt = merchantOptions.find(uid);
    return merchants[uid] = SeedMerchant(static_cast<int64_t>(std::time(nullptr)),
                                         opt == merchantOptions.end() ? MerchantOptions() : opt->second);
}

bool DemoState::Sleep(int ms) {
    std::unique_lock<std::mutex> guard(lock);
    return !stopCv.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopping; });
}

} // namespace demo
