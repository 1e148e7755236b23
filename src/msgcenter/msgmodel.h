#pragma once
// What the message center and the subscription window share: the six categories, the answer
// layouts of the merchant API as this client reads them, paging, the unread badge and the
// time text of a message. Pure functions; nothing here touches a window or the network.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// One message category: its API type and its three controls in "messagecenter.xml".
struct SCategory {
    const char* type;
    const wchar_t* row;    // shown only when the merchant may see the category
    const wchar_t* option; // the tab; its text is the server's name
    const wchar_t* badge;  // unread count
};

constexpr int kCategoryCount = 6;
// In display order, which is also the order in which the first tab is chosen.
extern const SCategory kCategories[kCategoryCount];
// Index into kCategories, or -1 for a type the client does not know.
int FindCategory(const std::string& type);

constexpr int kPageSize = 10;
// Pages for `total` messages: the ceiling of total / 10, 0 for none.
uint64_t TotalPages(uint64_t total);
// Offset of the first message of page `page` (counted from 1).
int64_t PageOffset(uint64_t page);

// How a badge shows an unread count.
struct SBadgeLook {
    bool visible = false;
    std::wstring text;
    const wchar_t* image = L"";
    int width = 0;
};
SBadgeLook BadgeLook(uint32_t unread);

// "今天 HH:MM" when the message is from today (local calendar), else "YYYY-MM-DD". Empty for a
// timestamp the calendar refuses (before 1970 or after the year 3000): no made-up date is shown.
std::wstring MessageTimeText(int64_t timestamp, time_t now);

// Why an answer was not used. NotJson is the only one that is not logged.
enum class EAnswer { Ok, NotJson, Refused, WrongPayload };

// Permission answer: one element per category.
struct SPermission {
    std::string type;
    std::wstring name;
    uint32_t unread = 0;
    bool subscribed = false;
    bool permitted = false;
};
EAnswer ParsePermissionAnswer(const std::string& text, std::vector<SPermission>& out);

struct SMessageEntry {
    std::wstring title;
    std::wstring content;
    std::wstring url;
    int64_t timestamp = 0;
    bool unread = false;
};
// List answer. `listIsArray` false with a non-zero total is a list the window cannot show.
// At most `maxEntries` entries are kept: a page never holds more than was asked for.
struct SMessagePage {
    uint64_t total = 0;
    bool listIsArray = false;
    size_t listSize = 0; // elements the server sent, nulls included
    std::vector<SMessageEntry> entries;
};
EAnswer ParseMessageListAnswer(const std::string& text, SMessagePage& out, size_t maxEntries = kPageSize);

// Answers of which only "code" counts (mark all read, the subscription changes).
EAnswer ParseCodeAnswer(const std::string& text);

struct SShop {
    int32_t otaId = 0;
    std::wstring name;
};
EAnswer ParseShopListAnswer(const std::string& text, std::vector<SShop>& out, size_t maxShops);

// One notice setting of a category; the status is the 1-based choice of its selector.
struct SNoticeSetting {
    std::string title;
    std::string msgType;
    int status = 0;
};
EAnswer ParseNoticeSettingsAnswer(const std::string& text, std::vector<SNoticeSetting>& out, size_t maxSettings);
