#pragma once
// Which window messages another running instance may deliver to our windows.
//
// A pointer, or a heap record the receiver deletes, names memory of the process that made it;
// in ours it names nothing, or worse, something. So only messages whose wParam and lParam are
// plain numbers (counts, flags, indexes, packed coordinates, window handles, which are looked
// up and never dereferenced) cross processes, and WM_COPYDATA crosses only as its own request
// that carries the bytes, never as a plain message. The receiving end decides, whatever the
// sender claims. Everything not listed is refused, so a message added later stays local until
// someone decides it is safe.
//
// Allowed:
//   WM_NULL, WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_ENABLE, WM_CLOSE,
//   WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_NCLBUTTONDOWN, WM_NCLBUTTONDBLCLK, WM_KEYDOWN, WM_KEYUP,
//   WM_CHAR, WM_SYSCOMMAND, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
//   WM_RBUTTONDOWN, WM_RBUTTONUP
//   WM_SHOW_MAIN_WND, WM_HOVER_EMPTY, WM_OTHER_PLACE_LOGIN, WM_CHANGE_STATE, WM_SHOW_QUIT_MSG,
//   WM_QUIT_APP, WM_LOAD_ERROR, WM_OTA_LOGIN, WM_SHOW_SUBSCRIBE_SET, WM_SHOW_MSG_CENTER,
//   WM_GUIDANCE_DONE, WM_GUIDANCE_CLOSED, WM_CONFIG_CHANGE, WM_RELOAD_CONFIG,
//   WM_GET_WINDOWS_CONFIG, WM_TRAY_ICON
//
// Refused, among everything else:
//   WM_OPEN_CONVERSATION, WM_RECEIVE_MSG, WM_MSG_REQUEST_DONE, WM_AVATAR_READY, WM_MENU_CLICK
//     carry heap data the receiver reads and deletes;
//   WM_COPYDATA as a plain message: its lParam would be the sender's COPYDATASTRUCT address;
//   WM_CREATE, WM_GETMINMAXINFO, WM_SETTEXT, WM_GETTEXT point to structures or text;
//   WM_TIMER: its lParam is a timer callback's address;
//   WM_DESTROY, WM_NCDESTROY: only the window's own destruction may announce it (the main
//     window quits the program on it);
//   WM_QUIT is no window message;
//   registered messages (0xC000 and up): their numbers are handed out per process here, so a
//     number from another instance names some other message of ours.
#include "winuser.h"

namespace platform {

bool MessageMayCrossProcesses(UINT msg);

} // namespace platform
