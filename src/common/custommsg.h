#pragma once
// The program's own window messages (absolute values). A string or record passed in a posted
// message is allocated by the sender and deleted by the receiver.
#include "platform/wintypes.h"

constexpr UINT WM_OPEN_CONVERSATION = 2104;  // wParam: new std::wstring conversation id
constexpr UINT WM_SHOW_MAIN_WND = 2105;
constexpr UINT WM_HOVER_EMPTY = 2106;
constexpr UINT WM_OTHER_PLACE_LOGIN = 2107;
constexpr UINT WM_CHANGE_STATE = 2108;       // wParam, lParam: the two integers of ChangeState
constexpr UINT WM_SHOW_QUIT_MSG = 2109;
constexpr UINT WM_QUIT_APP = 2110;
constexpr UINT WM_LOAD_ERROR = 2111;
constexpr UINT WM_RECEIVE_MSG = 2112;        // wParam: new MessageRecord
constexpr UINT WM_OTA_LOGIN = 2113;          // wParam: account-kind flag
constexpr UINT WM_SHOW_SUBSCRIBE_SET = 2114;
constexpr UINT WM_SHOW_MSG_CENTER = 2115;
constexpr UINT WM_GUIDANCE_DONE = 2116;
constexpr UINT WM_GUIDANCE_CLOSED = 2117;
constexpr UINT WM_CONFIG_CHANGE = 2204;      // wParam: setting index 0-7, lParam: new value
constexpr UINT WM_RELOAD_CONFIG = 2205;
constexpr UINT WM_GET_WINDOWS_CONFIG = 3024;
constexpr UINT WM_MSG_REQUEST_DONE = 3042;   // wParam: the request worker's task record
constexpr UINT WM_AVATAR_READY = 3060;       // wParam: new SAvatarAnswer of the avatar worker
constexpr UINT WM_VERSION_CHECKED = 3061;    // the version check at start has its answer
constexpr UINT WM_TRAY_ICON = 0x401;         // lParam: WM_MOUSEMOVE, WM_LBUTTONDOWN or WM_RBUTTONUP
constexpr UINT WM_MENU_CLICK = 0x479;        // wParam: item name, freed with DeletePtr

// Title of every top-level main window; instances find each other by it.
constexpr const wchar_t* kMainWndTitle = L"QDX_IM";
// Class name of the main window, also the title of its owned pop-ups.
constexpr const wchar_t* kMainWndClass = L"QDX_IM_MAIN";
