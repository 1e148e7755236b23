#include "configmanage.h"

#include <cstdio>

#include "common/debug.h"
#include "common/jsonparse.h"
#include "platform/knownfolders.h"
#include "platform/wholefile.h"

namespace {

struct Field {
    const char* key;
    int32_t STRUCT_Config::*member;
};

const Field kFields[] = {
    {"AutoStart", &STRUCT_Config::AutoStart},
    {"AutoLogin", &STRUCT_Config::AutoLogin},
    {"ConversationTip", &STRUCT_Config::ConversationTip},
    {"OrderTip", &STRUCT_Config::OrderTip},
    {"NewcomerTip", &STRUCT_Config::NewcomerTip},
    {"ConversationSound", &STRUCT_Config::ConversationSound},
    {"OrderSound", &STRUCT_Config::OrderSound},
    {"NewcomerSound", &STRUCT_Config::NewcomerSound},
};

// A setting must be a number (or true/false) that fits a signed 32-bit integer.
bool IsIntSetting(const Json::Value& v) {
    return v.isBool() || ((v.isInt() || v.isUInt() || v.isDouble()) && v.isConvertibleTo(Json::intValue));
}

} // namespace

CConfigManage* CConfigManage::GetInstance() {
    static CConfigManage* instance = new CConfigManage();
    return instance;
}

void CConfigManage::Init(const std::wstring& baseFolder) {
    m_strBaseDir = baseFolder;
    m_strConfigDir = baseFolder + L"Config" + kPathSepW;
    m_strFilePath = m_strConfigDir + L"Config.json";
    platform::CreateDirectoryTree(WideToAnsi(m_strConfigDir));
    std::string path = WideToAnsi(m_strFilePath);
    if (platform::FileExists(path)) {
        STRUCT_Config probe{};
        if (ReadConfig(probe))
            return;
        // Left in place, an unreadable file turns every tip, sound and the kept login off for
        // good; kept aside, whatever damaged it can still be looked at.
        if (std::rename(path.c_str(), (path + ".bad").c_str()) != 0) {
            DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"%s is unreadable and cannot be moved aside", m_strFilePath.c_str());
            return;
        }
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"%s is unreadable: kept as Config.json.bad, recreated with the defaults",
                  m_strFilePath.c_str());
    }
    STRUCT_Config defaults{};
    defaults.AutoStart = IsAutoRun() ? 1 : 0;
    defaults.AutoLogin = 1;
    defaults.ConversationTip = defaults.OrderTip = defaults.NewcomerTip = 1;
    defaults.ConversationSound = defaults.OrderSound = defaults.NewcomerSound = 1;
    SaveConfig(defaults);
}

bool CConfigManage::ReadConfig(STRUCT_Config& config) {
    Json::Value root;
    if (!JsonParseFile(WideToAnsi(m_strFilePath), root) || !root.isObject())
        return false;
    // A file without a "Config" member reads as every setting off.
    const Json::Value& section = JsonMember(root, "Config");
    if (!section.isNull() && !section.isObject())
        return false;
    STRUCT_Config read = config;
    for (const Field& f : kFields) {
        if (f.member == &STRUCT_Config::AutoStart)
            continue;
        const Json::Value& v = JsonMember(section, f.key);
        if (v.isNull()) {
            read.*f.member = 0;
            continue;
        }
        if (!IsIntSetting(v))
            return false;
        read.*f.member = v.asInt();
    }
    read.AutoStart = IsAutoRun() ? 1 : 0;
    config = read;
    return true;
}

std::string CConfigManage::Serialize(const STRUCT_Config& config) {
    Json::Value section(Json::objectValue);
    for (const Field& f : kFields)
        section[f.key] = config.*f.member;
    Json::Value root(Json::objectValue);
    root["Config"] = section;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Json::writeString(writer, root) + "\n";
}

void CConfigManage::SaveConfig(const STRUCT_Config& config) {
    if (!platform::WriteFileWhole(WideToAnsi(m_strFilePath), Serialize(config)))
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"cannot write %s", m_strFilePath.c_str());
}
