// The URL protocol's registry values as the desktop's scheme handler, and the ".reg" importer
// that is the only way to change them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/sysutils.h"
#include "platform/desktopentry.h"
#include "platform/shell.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

const wchar_t kCommand[] = L"tessaril\\shell\\open\\command";

std::wstring Read(const wchar_t* key, const wchar_t* name) {
    std::wstring v;
    RegReadString(HKEY_CLASSES_ROOT, key, name, v);
    return v;
}

std::string Narrow(const std::wstring& w) { return WideToUtf8(w); }

// A fresh profile with system folders of its own, so that nothing installed on the machine
// takes part.
class UrlProtocol : public ::testing::Test {
protected:
    std::string UserEntry() const { return m_home.dataHome() + "/applications/shopdesk-url-handler.desktop"; }
    std::string MimeApps() const { return m_home.configHome() + "/mimeapps.list"; }
    std::string Script(const std::string& text) const {
        std::string path = m_home.path() + "/in.reg";
        WriteFileBytes(path, text);
        return path;
    }
    // Every file under the profile with its bytes; the script itself and the desktop's cache,
    // which its own tool refreshes in the background, are left out.
    std::map<std::string, std::string> Snapshot() const {
        // The desktop's cache of entries is its own tool's, refreshed in the background after a
        // registration; that tool writes a temporary file beside it and renames it over.
        std::map<std::string, std::string> files;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(m_home.path(), ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (it->is_regular_file(ec) && name != "in.reg" && name.find("mimeinfo.cache") == std::string::npos)
                files[it->path().string()] = ReadFileBytes(it->path().string());
        }
        return files;
    }
    std::string OurScript() const {
        return "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\tessaril]\n@=\"tessarilProtocol\"\n"
               "\"URL Protocol\"=\"" + m_exe + "\"\n[HKEY_CLASSES_ROOT\\tessaril\\DefaultIcon]\n@=\"" + m_exe +
               ",1\"\n[HKEY_CLASSES_ROOT\\tessaril\\shell\\open\\command]\n@=\"\\\"" + m_exe + "\\\" \\\"%1\\\"\"\n";
    }

    ScopedTestHome m_home;
    ScopedSystemFolders m_system{m_home.path() + "/system"};
    std::string m_exe = Narrow(GetModulePath());
};

} // namespace

TEST_F(UrlProtocol, ImportingOurScriptRegistersThisProgramAndKeepsOtherDefaults) {
    EXPECT_EQ(Read(kCommand, L""), L"");
    WriteFileBytes(MimeApps(), "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
                               "text/html=browser.desktop\nx-scheme-handler/tessaril=other.desktop;\n");
    ASSERT_TRUE(platform::ShellOpen(Utf8ToWide(Script(OurScript()))));

    std::wstring exe = GetModulePath();
    EXPECT_EQ(Read(kCommand, L""), L"\"" + exe + L"\" \"%1\"");
    EXPECT_EQ(Read(L"tessaril", L"URL Protocol"), exe);
    EXPECT_EQ(Read(L"TESSARIL\\DefaultIcon\\", L""), exe + L",1");
    EXPECT_EQ(Read(L"tessaril", L""), L"tessarilProtocol"); // kept in the store
    EXPECT_EQ(ReadFileBytes(MimeApps()), "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
                                         "text/html=browser.desktop\n"
                                         "x-scheme-handler/tessaril=shopdesk-url-handler.desktop;\n");
    platform::DesktopEntryKeys keys;
    ASSERT_TRUE(platform::ReadDesktopEntryKeys(UserEntry(), keys));
    EXPECT_EQ(keys.exec, m_exe + " %u");
    EXPECT_EQ(keys.mimeTypes, std::vector<std::string>{"x-scheme-handler/tessaril"});

    // The mirrored values cannot be written around the importer.
    EXPECT_FALSE(RegWriteString(HKEY_CLASSES_ROOT, kCommand, L"", L"\"/bin/sh\" \"%1\""));
    EXPECT_FALSE(RegDeleteValueOf(HKEY_CLASSES_ROOT, L"tessaril", L"URL Protocol"));
}

TEST_F(UrlProtocol, RefusedScriptsChangeNothing) {
    // A registered profile, so that a refused script has something it could have spoiled.
    ASSERT_TRUE(platform::ShellOpen(Utf8ToWide(Script(OurScript()))));
    const auto before = Snapshot();
    const std::string head = "Windows Registry Editor Version 5.00\n";
    const std::string cmdKey = "[HKEY_CLASSES_ROOT\\tessaril\\shell\\open\\command]\n";
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"not registry syntax", "#!/bin/sh\nrm -rf ~\n"},
        {"no header", "[HKEY_CLASSES_ROOT\\tessaril]\n@=\"x\"\n"},
        {"other hive", head + "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                              "\"shopdesk\"=\"/bin/sh\"\n"},
        {"other key beside ours", OurScript() + "[HKEY_CLASSES_ROOT\\tessaril2]\n@=\"x\"\n"},
        {"prefix of our key", head + "[HKEY_CLASSES_ROOT\\tessarilx\\shell\\open\\command]\n@=\"x\"\n"},
        {"key deletion", head + "[-HKEY_CLASSES_ROOT\\tessaril]\n"},
        {"value deletion", head + "[HKEY_CLASSES_ROOT\\tessaril]\n\"URL Protocol\"=-\n"},
        {"dword value", head + "[HKEY_CLASSES_ROOT\\tessaril]\n\"n\"=dword:00000001\n"},
        {"value before any key", head + "@=\"x\"\n"},
        {"unterminated value", head + "[HKEY_CLASSES_ROOT\\tessaril]\n@=\"x\n"},
        {"text after a value", head + "[HKEY_CLASSES_ROOT\\tessaril]\n@=\"x\" \"y\"\n"},
        {"another program", head + cmdKey + "@=\"\\\"/bin/sh\\\" \\\"%1\\\"\"\n"},
        {"command with extra words", head + cmdKey + "@=\"\\\"" + m_exe + "\\\" \\\"%1\\\"; touch /tmp/x\"\n"},
        {"quote breaking out", head + cmdKey + "@=\"\\\"" + m_exe + "\\\" \\\"%1\\\" \\\"$(id)\\\"\"\n"},
        {"newline in a value", head + cmdKey + "@=\"\\\"" + m_exe + "\\\"\nExec=/bin/sh\"\n"},
        {"protocol value of another program", head + "[HKEY_CLASSES_ROOT\\tessaril]\n\"URL Protocol\"=\"/bin/sh\"\n"},
        {"UTF-16 text", std::string("\xFF\xFEW\0i\0n\0", 8)},
        {"oversized", OurScript() + std::string(70 * 1024, ';')},
    };
    for (const auto& [what, text] : bad) {
        EXPECT_FALSE(platform::ShellOpen(Utf8ToWide(Script(text)))) << what;
        EXPECT_EQ(Snapshot(), before) << what;
    }
}

TEST_F(UrlProtocol, ExecLineHoldsAwkwardPathsAsOneArgument) {
    ASSERT_TRUE(platform::ShellOpen(Utf8ToWide(Script(OurScript()))));
    // Rewrite the user's entry for a program whose path the Exec rules must quote.
    const std::string odd = "/opt/my apps/shop\"desk\\$HOME`id`;100%\n[Desktop Entry]\nExec=/bin/sh";
    ASSERT_TRUE(platform::WriteDesktopEntry(UserEntry(), "shopdesk", odd, "%u",
                                            "MimeType=x-scheme-handler/tessaril;\nIcon=shopdesk\n"));
    std::string text = ReadFileBytes(UserEntry());
    EXPECT_EQ(text.find("\nExec=/bin/sh"), std::string::npos) << text;
    EXPECT_EQ(Read(L"tessaril", L"URL Protocol"), Utf8ToWide(odd));
    EXPECT_EQ(Read(kCommand, L""), L"\"" + Utf8ToWide(odd) + L"\" \"%1\"");

    std::vector<platform::ExecArg> args;
    ASSERT_TRUE(platform::SplitExecLine("\"a b\" %%u %u \"%u\"", args));
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[0].text, "a b");
    EXPECT_FALSE(args[1].fieldCode);
    EXPECT_EQ(args[1].text, "%u");
    EXPECT_TRUE(args[2].fieldCode);
    EXPECT_FALSE(args[3].fieldCode);
    EXPECT_FALSE(platform::SplitExecLine("\"unterminated %u", args));
    EXPECT_FALSE(platform::SplitExecLine("\"a\"b", args));
}

TEST_F(UrlProtocol, HandlerIsTheDefaultElseTheFirstEntryThatDeclaresTheScheme) {
    const std::string sys = m_system.applications() + "/";
    // The package's entry names the command, a link to the program found through PATH.
    fs::create_directories(m_home.path() + "/bin");
    fs::create_symlink(m_exe, m_home.path() + "/bin/shopdesk");
    setenv("PATH", (m_home.path() + "/bin:" + getenv("PATH")).c_str(), 1);
    WriteFileBytes(sys + "shopdesk-url-handler.desktop", "[Desktop Entry]\nType=Application\nName=shopdesk\n"
                                                         "Exec=shopdesk %u\nIcon=shopdesk\n"
                                                         "MimeType=x-scheme-handler/tessaril;\n");
    std::wstring exe = GetModulePath();
    EXPECT_EQ(Read(kCommand, L""), L"\"" + exe + L"\" \"%1\"");
    EXPECT_EQ(Read(L"tessaril", L"URL Protocol"), exe);
    EXPECT_EQ(Read(L"tessaril\\DefaultIcon", L""), exe + L",1");

    // Another program made the default takes over; one that is not installed does not.
    WriteFileBytes(MimeApps(), "[Default Applications]\nx-scheme-handler/tessaril=gone.desktop;other.desktop;\n");
    EXPECT_EQ(Read(L"tessaril", L"URL Protocol"), exe);
    WriteFileBytes(sys + "other.desktop", "[Desktop Entry]\nType=Application\nName=o\nExec=/usr/bin/other --open %u\n");
    EXPECT_EQ(Read(kCommand, L""), L"\"/usr/bin/other\" \"--open\" \"%1\"");
    EXPECT_EQ(Read(L"tessaril\\DefaultIcon", L""), L""); // that entry names no icon

    // A hidden user entry of the same id deletes the system one.
    fs::remove(MimeApps());
    WriteFileBytes(UserEntry(), "[Desktop Entry]\nHidden=true\n");
    EXPECT_EQ(Read(L"tessaril", L"URL Protocol"), L"");
}
