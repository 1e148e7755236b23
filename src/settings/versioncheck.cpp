#include "versioncheck.h"

#include "common/jsonparse.h"
#include "common/sysutils.h"
#include "net/httpwork.h"
#include "platform/winuser.h"

EVersionAnswer ParseVersionAnswer(const std::string& body, SVersionOffer& offer) {
    Json::Value root;
    if (!JsonParse(body, root))
        return eVersionNoAnswer;
    const Json::Value& data = JsonMember(root, "data");
    if (!data.isObject())
        return eVersionNoAnswer;
    int hasNew = 0;
    if (!JsonGetInt(data, "has_new_version", hasNew) || hasNew != 1)
        return eVersionCurrent;
    std::string version, link;
    JsonGetString(data, "newest_version", version);
    JsonGetString(data, "url", link);
    offer.strVersion = Utf8ToWide(version);
    offer.strLink = Utf8ToWide(link);
    return eVersionNewer;
}

CVersionCheck::~CVersionCheck() {
    if (m_worker.joinable())
        m_worker.join();
}

bool CVersionCheck::Start(HWND hwnd, UINT msg) {
    if (m_worker.joinable())
        return false;
    m_worker = std::thread([this, hwnd, msg] {
        m_bAnswered = CHttpWork::GetInstance()->CheckUpdate(m_strBody);
        m_bDone.store(true);
        platform::PostMessage(hwnd, msg, 0, 0);
    });
    return true;
}

EVersionAnswer CVersionCheck::Finish(SVersionOffer& offer) {
    if (!m_worker.joinable())
        return eVersionNoAnswer;
    m_worker.join();
    return m_bAnswered ? ParseVersionAnswer(m_strBody, offer) : eVersionNoAnswer;
}

EVersionAnswer RunVersionCheck(HWND hwnd, SVersionOffer& offer) {
    CVersionCheck check;
    check.Start(hwnd, WM_NULL); // ends the wait below
    bool quit = !platform::RunModalLoop([&check] { return check.IsDone(); });
    EVersionAnswer answer = check.Finish(offer);
    if (quit) {
        // The program is ending: hand the quit on to the loop that owns it.
        platform::PostQuitMessage(platform::LastQuitCode());
        return eVersionNoAnswer;
    }
    return answer;
}
