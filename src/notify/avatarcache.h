#pragma once
// The avatar cache: one downloaded image per key (a conversation id or the manager's id) in
// the "Avatar" folder of the per-user cache folder, listed in "AvatarList.json" with the URL
// it came from. Used from the main window's handlers only, which never overlap.
#include <map>
#include <set>
#include <string>

struct CUserImage {
    std::wstring m_strUuid; // the key
    std::wstring m_strUrl;  // where the file was downloaded from
    std::wstring m_strPath; // full local path
};

class CAvatarCache {
public:
    // Created on the first call and never destroyed.
    static CAvatarCache* GetInstance();

    // `baseFolder` is the cache folder, ending in a separator. Creates "Avatar/" and a list
    // with the placeholder entry when missing, then loads the list. A list that is not JSON,
    // or whose root or "AvatarList" has the wrong type, loads as empty; an entry of the wrong
    // type, or whose file lies outside the avatar folder, is skipped (and dropped at the next
    // save) while the others load. Starts a new session: failed URLs may be tried again.
    void Init(const std::wstring& baseFolder);
    // Sets `path` to the local file of `key`'s avatar at `url`, downloading it when the key
    // is new or its URL changed (URLs compare without their scheme). Only http and https URLs
    // are downloaded, and a URL whose download failed is not tried again in this session.
    // False, with `path` untouched, for an empty URL, a failed or refused download or an
    // unusable URL for a known key.
    bool GetAvatar(const std::wstring& key, const std::wstring& url, std::wstring& path);
    // Rewrites "AvatarList.json" from the records, in key order.
    void SaveList();

    const std::wstring& GetListPath() const { return m_strListPath; }
    size_t GetCount() const { return m_mapImage.size(); }

private:
    CAvatarCache() = default;
    bool Download(const std::wstring& url, std::wstring& file);

    std::map<std::wstring, CUserImage> m_mapImage;
    std::wstring m_strBaseDir;
    std::wstring m_strAvatarDir;
    std::wstring m_strListPath;
    std::set<std::wstring> m_setFailedUrls; // downloads that failed in this session
};
