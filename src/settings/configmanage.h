#pragma once
// The settings store: "Config/Config.json" in the per-user cache folder. It creates the file
// with defaults, reads it into a settings record and writes a record back; the live record
// belongs to the main window.
#include <cstdint>
#include <string>

// The eight settings, in this order; the index 0-7 is also the index the settings window sends.
struct STRUCT_Config {
    int32_t AutoStart;
    int32_t AutoLogin;
    int32_t ConversationTip;
    int32_t OrderTip;
    int32_t NewcomerTip;
    int32_t ConversationSound;
    int32_t OrderSound;
    int32_t NewcomerSound;
};

class CConfigManage {
public:
    // Created on first use and never destroyed; used from the main window's thread only.
    static CConfigManage* GetInstance();

    // Remembers the paths under `baseFolder` (ending in a separator), creates the "Config"
    // folder and, when the file is missing, writes it with the defaults. A file ReadConfig
    // cannot read is renamed to "Config.json.bad" (replacing an older one) and written anew
    // with the defaults; a readable file is never rewritten here.
    void Init(const std::wstring& baseFolder);
    // Fills the record from the file. False, with the record untouched, when the file is missing,
    // is not JSON, or its root, "Config" member or a setting has the wrong JSON type.
    // AutoStart always mirrors the autorun entry, whatever the file says.
    bool ReadConfig(STRUCT_Config& config);
    // Writes all eight fields as the file's whole new content; other members are dropped. The
    // file is replaced in one step, so a failed or interrupted save leaves the old one.
    void SaveConfig(const STRUCT_Config& config);

    // The compact, key-sorted one-line text SaveConfig writes for a record.
    static std::string Serialize(const STRUCT_Config& config);

    const std::wstring& GetFilePath() const { return m_strFilePath; }

private:
    CConfigManage() = default;

    std::wstring m_strBaseDir;
    std::wstring m_strConfigDir;
    std::wstring m_strFilePath;
};
