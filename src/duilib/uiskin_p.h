#pragma once
// Skin files read once: the element tree of a skin with its attributes in document order, kept
// per file so rows built again and again instantiate the kept tree instead of re-reading XML.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace DuiLib {

struct SkinNode {
    std::wstring tag;
    std::vector<std::pair<std::wstring, std::wstring>> attrs;  // document order
    std::vector<SkinNode> children;
};

struct SkinDocument {
    std::wstring name;  // what the caller asked for, for the log
    SkinNode root;
    // Names already logged as not honoured for this skin.
    std::set<std::wstring> logged;
};

// The parsed skin behind a file path (kept until the file changes), or none when the file
// cannot be read or is not XML (logged).
std::shared_ptr<SkinDocument> LoadSkinFile(const std::wstring& path, const std::wstring& name);
// Parses skin text (not kept).
std::shared_ptr<SkinDocument> ParseSkinText(const std::wstring& text);

// While a skin is instantiated, problems are logged once per skin under its name.
class SkinLogScope {
public:
    explicit SkinLogScope(SkinDocument* doc);
    ~SkinLogScope();
    SkinLogScope(const SkinLogScope&) = delete;
    SkinLogScope& operator=(const SkinLogScope&) = delete;

private:
    SkinDocument* m_previous;
};
// Logs `what` about `name` once per skin inside a scope, every time outside one.
void LogSkinProblem(const wchar_t* what, const std::wstring& name);

} // namespace DuiLib
