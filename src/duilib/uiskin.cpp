// Reading skin files with a streaming reader, and keeping what was read.
#include "uiskin_p.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <mutex>

#include "uilog.h"

namespace DuiLib {

namespace {

struct CachedSkin {
    QDateTime modified;
    qint64 size = 0;
    std::shared_ptr<SkinDocument> doc;
};

std::mutex g_cacheMutex;
std::map<std::wstring, CachedSkin> g_cache;
thread_local SkinDocument* tlsSkin = nullptr;

std::shared_ptr<SkinDocument> Parse(QXmlStreamReader& xml, const std::wstring& name) {
    auto doc = std::make_shared<SkinDocument>();
    doc->name = name;
    std::vector<SkinNode*> open;
    bool haveRoot = false;
    while (!xml.atEnd()) {
        QXmlStreamReader::TokenType t = xml.readNext();
        if (t == QXmlStreamReader::StartElement) {
            SkinNode* node;
            if (open.empty()) {
                node = &doc->root;
                haveRoot = true;
            } else {
                open.back()->children.emplace_back();
                node = &open.back()->children.back();
            }
            node->tag = xml.name().toString().toStdWString();
            for (const QXmlStreamAttribute& a : xml.attributes())
                node->attrs.emplace_back(a.name().toString().toStdWString(), a.value().toString().toStdWString());
            open.push_back(node);
        } else if (t == QXmlStreamReader::EndElement) {
            open.pop_back();
        }
    }
    if (xml.hasError() || !haveRoot) {
        std::wstring detail = name.size() > 200 ? name.substr(0, 200) : name;
        UILog(UILOG_ERROR, L"skin %s is not XML (line %d: %s)", detail.c_str(), static_cast<int>(xml.lineNumber()),
              xml.errorString().toStdWString().c_str());
        return nullptr;
    }
    return doc;
}

} // namespace

std::shared_ptr<SkinDocument> LoadSkinFile(const std::wstring& path, const std::wstring& name) {
    QString qpath = QString::fromStdWString(path);
    QFileInfo info(qpath);
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = g_cache.find(path);
        if (it != g_cache.end() && it->second.modified == info.lastModified() && it->second.size == info.size())
            return it->second.doc;
    }
    QFile f(qpath);
    if (!f.open(QIODevice::ReadOnly)) {
        UILog(UILOG_ERROR, L"skin %s not found", name.c_str());
        return nullptr;
    }
    QXmlStreamReader xml(&f);
    std::shared_ptr<SkinDocument> doc = Parse(xml, name);
    if (doc) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache[path] = CachedSkin{info.lastModified(), info.size(), doc};
    }
    return doc;
}

std::shared_ptr<SkinDocument> ParseSkinText(const std::wstring& text) {
    QXmlStreamReader xml(QString::fromStdWString(text));
    return Parse(xml, text);
}

SkinLogScope::SkinLogScope(SkinDocument* doc) : m_previous(tlsSkin) { tlsSkin = doc; }
SkinLogScope::~SkinLogScope() { tlsSkin = m_previous; }

void LogSkinProblem(const wchar_t* what, const std::wstring& name) {
    if (tlsSkin) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        if (!tlsSkin->logged.insert(std::wstring(what) + L"|" + name).second)
            return;
    }
    std::wstring skin = tlsSkin ? tlsSkin->name : std::wstring();
    if (skin.size() > 80)
        skin = skin.substr(0, 80) + L"…";
    UILog(UILOG_WARNING, L"%s: %s%s%s", what, name.c_str(), skin.empty() ? L"" : L" in ", skin.c_str());
}

} // namespace DuiLib
