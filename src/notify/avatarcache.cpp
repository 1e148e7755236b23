#include "avatarcache.h"

#include <cwctype>
#include <json/json.h>

#include "common/debug.h"
#include "common/jsonparse.h"
#include "net/httpwork.h"
#include "platform/knownfolders.h"
#include "platform/wholefile.h"

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

// Avatars come from the web only: a page could otherwise have a local file, or an answer of
// another service, copied into the cache and shown.
bool IsWebUrl(const std::wstring& url) {
    size_t pos = url.find(L"://");
    if (pos == std::wstring::npos)
        return false;
    std::wstring scheme = url.substr(0, pos);
    for (wchar_t& c : scheme)
        c = static_cast<wchar_t>(std::towlower(c));
    return scheme == L"http" || scheme == L"https";
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

// Every list starts with this entry, and lists on disk keep it; it names no file.
bool IsPlaceholder(const CUserImage& image) {
    return image.m_strUuid == L"1111" && image.m_strUrl == L"1111" && image.m_strPath == L"1111";
}

// A file the cache itself made: directly inside the avatar folder. An entry pointing anywhere
// else would have the windows show (and the list keep) a file the cache never downloaded.
bool IsCacheFile(const std::wstring& path, const std::wstring& avatarDir) {
    if (path.size() <= avatarDir.size() || path.compare(0, avatarDir.size(), avatarDir) != 0)
        return false;
    std::wstring name = path.substr(avatarDir.size());
    return name.find(kPathSepW) == std::wstring::npos && name != L"." && name != L"..";
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
    m_setFailedUrls.clear();
    platform::CreateDirectoryTree(WideToAnsi(m_strAvatarDir));
    std::string listPath = WideToAnsi(m_strListPath);
    if (!platform::FileExists(listPath))
        platform::WriteFileWhole(listPath, kPlaceholderList);

    Json::Value root;
    if (!JsonParseFile(listPath, root))
        return;
    const Json::Value& list = JsonMember(root, "AvatarList");
    if (!list.isArray())
        return;
    int skipped = 0;
    for (const Json::Value& entry : list) {
        CUserImage image;
        if (!entry.isObject() || !MemberString(entry, "uuid", image.m_strUuid) ||
            !MemberString(entry, "url", image.m_strUrl) || !MemberString(entry, "path", image.m_strPath) ||
            !(IsPlaceholder(image) || IsCacheFile(image.m_strPath, m_strAvatarDir))) {
            ++skipped;
            continue;
        }
        m_mapImage[image.m_strUuid] = image;
    }
    if (skipped > 0)
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"AvatarList.json: %d unusable entries skipped", skipped);
}

bool CAvatarCache::Download(const std::wstring& url, std::wstring& file) {
    if (!IsWebUrl(url) || m_setFailedUrls.count(url))
        return false;
    file = m_strAvatarDir + MakeGuidString() + L".png";
    if (CHttpWork::GetInstance()->DownloadFile(WideToAnsi(url), file))
        return true;
    // Every message of that person would otherwise wait for the same failure again.
    m_setFailedUrls.insert(url);
    DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"avatar download failed, not tried again: %s", url.c_str());
    return false;
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
    if (!platform::WriteFileWhole(WideToAnsi(m_strListPath), Json::writeString(writer, root) + "\n"))
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"cannot write %s", m_strListPath.c_str());
}
