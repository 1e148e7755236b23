#pragma once
// Shared between the window registry (winmsg.cpp) and the instance socket (winbus.cpp).
#include <string>
#include <utility>
#include <vector>
#include "winuser.h"

namespace platform {
namespace detail {

uint32_t HandlePid(HWND hwnd);
// Top-level windows of this process with their titles, in creation order.
std::vector<std::pair<HWND, std::wstring>> LocalTopLevelWindows();
// Handles sent calls queued for the calling thread; true when one ran.
bool DrainSentCalls();

// Instance socket: started with the first top-level window.
void BusEnsureStarted();
void BusListRemote(std::vector<std::pair<HWND, std::wstring>>& out);
bool BusPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool BusSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
bool BusCopyData(HWND hwnd, WPARAM wParam, const COPYDATASTRUCT* cds, LRESULT& result);
bool BusIsWindow(HWND hwnd, std::wstring* title);

} // namespace detail
} // namespace platform
