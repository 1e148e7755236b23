#pragma once
// The application object: reads the account identifier, hands it to a running instance or
// starts one — cache folder, skins, settings, browser runtime — and runs the main window
// until it ends.
#include <string>
#include <vector>

#include "platform/winuser.h"
#include "settings/configmanage.h"

class CshopdeskApp {
public:
    CshopdeskApp(int argc, char** argv);

    // Does all of the program's work; always FALSE, the process ends when it returns.
    BOOL InitInstance();

    const std::wstring& GetExeDir() const { return m_strExeDir; }
    const std::wstring& GetCacheDir() const { return m_strCacheDir; }
    const std::wstring& GetUid() const { return m_strUid; }

private:
    void InitSkinResources();

    std::vector<std::wstring> m_args;
    std::wstring m_strExeDir;   // ends in a separator
    std::wstring m_strCacheDir; // ends in a separator; empty when it cannot be derived
    std::wstring m_strUid;
    STRUCT_Config m_config{};
};

// What a launch hands to the running workbenches, and how many of their windows took it.
struct SForwardUid {
    std::wstring uid;
    int delivered = 0;
};

// Sends the uid of the SForwardUid in `request`, as the 256-byte forwarding packet, to `hwnd`
// when its title is "QDX_IM", and counts the windows that answered that they took it.
// Always continues the enumeration; a null request stops it.
BOOL ForwardUidProc(HWND hwnd, LPARAM request);
// The forwarding packet: 128 UTF-16 units, the uid cut at 127, zero-padded.
std::vector<uint16_t> MakeForwardPacket(const std::wstring& uid);
