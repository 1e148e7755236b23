#include "avatarcache.h"

#include <fstream>
#include <json/json.h>

#include "common/debug.h"
#include "common/jsonparse.h"
#include "net/httpwork.h"
#include "platform/knownfolders.h"

namespace {

const char kPlaceholderList[] = "{\"AvatarList\":[{\"path\":\"1111\",\"url\":\"1111\",\"uuid\":\"1111\"}]}\n";

// The part after the first "://"; false when there is none.
bool WithoutScheme(const std::wstring& url, std::wstring& rest) {
    size_t pos = url.find(L"://");
    if (pos == std::wstring::npos)
        return false;
    rest = url.substr(pos + 3);
    return true;
}

bool MemberString(const Json::Value& entry, const char* name, std::wstring& out) {
    const Json::Value& v = JsonMember(entry, name);
    if (v.isNull()) {
        out.clear();
        return true;
    }
    if (!v.isString())
        return false;
    out = AnsiToWide(v.asString());
    return true;
}

} // namespace

CAvatarCache* CAvatarCache::GetInstance() {
    static CAvatarCache* instance = new CAvatarCache();
    return instance;
}

void CAvatarCache::Init(const std::wstring& baseFolder) {
    m_strBaseDir = baseFolder;
    m_strAvatarDir = baseFolder + L"Avatar" + kPathSepW;
    m_strListPath = m_strAvatarDir + L"AvatarList.json";
    m_mapImage.clear();
    platform::CreateDirectoryTree(WideToAnsi(m_strAvatarDir));
    std::string listPath = WideToAnsi(m_strListPath);
    if (!platform::FileExists(listPath)) {
        std::ofstream out(listPath, std::ios::trunc);
        out << kPlaceholderList;
    }

    Json::Value root;
    if (!JsonParseFile(listPath, root))
        return;
    const Json::Value& list = JsonMember(root, "AvatarList");
    if (!list.isArray())
        return;
    std::map<std::wstring, CUserImage> loaded;
    for (const Json::Value& entry : list) {
        CUserImage image;
        if (!entry.isObject() || !MemberString(entry, "uuid", image.m_strUuid) ||
            !MemberString(entry, "url", image.m_strUrl) || !MemberString(entry, "path", image.m_strPath)) {
            DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"AvatarList.json has an entry of the wrong type; list ignored");
            return;
        }
        loaded[image.m_strUuid] = image;
    }
    m_mapImage.swap(loaded);
}

bool CAvatarCache::Download(const std::wstring& url, std::wstring& file) {
    file = m_strAvatarDir + MakeGuidString() + L".png";
    return CHttpWork::GetInstance()->DownloadFile(WideToAnsi(url), file);
}

bool CAvatarCache::GetAvatar(const std::wstring& key, const std::wstring& url, std::wstring& path) {
    if (url.empty())
        return false;
    auto it = m_mapImage.find(key);
    if (it != m_mapImage.end()) {
        std::wstring wanted, stored;
        if (!WithoutScheme(url, wanted) || !WithoutScheme(it->second.m_strUrl, stored))
            return false;
        if (wanted == stored) {
            path = it->second.m_strPath;
            return true;
        }
    }
    std::wstring file;
    if (!Download(url, file))
        return false;
    path = file;
    CUserImage& image = m_mapImage[key];
    image.m_strUuid = key;
    image.m_strUrl = url;
    image.m_strPath = file;
    SaveList();
    return true;
}

void CAvatarCache::SaveList() {
    Json::Value list(Json::arrayValue);
    for (const auto& entry : m_mapImage) {
        Json::Value item(Json::objectValue);
        item["uuid"] = WideToAnsi(entry.second.m_strUuid);
        item["url"] = WideToAnsi(entry.second.m_strUrl);
        item["path"] = WideToAnsi(entry.second.m_strPath);
        list.append(item);
    }
    Json::Value root(Json::objectValue);
    root["AvatarList"] = list;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    std::ofstream out(WideToAnsi(m_strListPath), std::ios::trunc);
    out << Json::writeString(writer, root) << "\n";
}
