#include "crossprocessmsg.h"

#include <algorithm>
#include <iterator>

#include "common/custommsg.h"

namespace platform {

namespace {

const UINT kPlainNumberMessages[] = {
    WM_NULL, WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_ENABLE, WM_CLOSE, WM_SHOWWINDOW,
    WM_ACTIVATEAPP, WM_NCLBUTTONDOWN, WM_NCLBUTTONDBLCLK, WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSCOMMAND,
    WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,
    WM_SHOW_MAIN_WND, WM_HOVER_EMPTY, WM_OTHER_PLACE_LOGIN, WM_CHANGE_STATE, WM_SHOW_QUIT_MSG, WM_QUIT_APP,
    WM_LOAD_ERROR, WM_OTA_LOGIN, WM_SHOW_SUBSCRIBE_SET, WM_SHOW_MSG_CENTER, WM_GUIDANCE_DONE,
    WM_GUIDANCE_CLOSED, WM_CONFIG_CHANGE, WM_RELOAD_CONFIG, WM_GET_WINDOWS_CONFIG, WM_TRAY_ICON,
};

} // namespace

bool MessageMayCrossProcesses(UINT msg) {
    return std::find(std::begin(kPlainNumberMessages), std::end(kPlainNumberMessages), msg) !=
           std::end(kPlainNumberMessages);
}

} // namespace platform
