#pragma once
// The two pure rules of start-up: the account identifier carried by the command text and the
// per-user cache folder.
#include <functional>
#include <string>

// Everything after the first "uid=" of the command text, less one trailing '/' or '\'.
// Empty when the text holds no "uid=" or nothing follows it.
std::wstring ExtractUid(const std::wstring& commandText);

// The cache folder derived from the "AppData" text, Windows style: the text up to its last
// "Data", then "\Local\QDX\Cache\" when that "\Local" folder exists, otherwise the text
// before its last "\A" + "\Local Settings\Application Data\QDX\Cache\". Empty when neither
// applies. `dirExists` answers whether a folder exists.
std::string DeriveCacheFolderFromAppData(const std::string& appData,
                                         const std::function<bool(const std::string&)>& dirExists);

// The cache folder of this desktop: the derivation above when "AppData" is set, otherwise the
// per-user local application-data folder + "/QDX/Cache/". Empty when neither can be found.
std::string DeriveCacheFolder();
