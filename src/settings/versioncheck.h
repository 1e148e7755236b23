#pragma once
// The version check: asks the mobile API whether a newer client exists and reads its answer.
// The server decides from the version the request carries; the client compares nothing.
#include <string>

#include "platform/winuser.h"

enum EVersionAnswer {
    eVersionNoAnswer, // no answer, or one that is not a version answer: say nothing
    eVersionCurrent,  // a version answer without a newer client
    eVersionNewer,    // "has_new_version" is 1
};

struct SVersionOffer {
    std::wstring strVersion; // "newest_version"; empty when it is not text
    std::wstring strLink;    // "url", the download link; empty when it is not text
};

// Reads a version answer: an object whose "data" object holds "has_new_version", and with it
// "newest_version" and "url". Never throws, whatever the text.
EVersionAnswer ParseVersionAnswer(const std::string& body, SVersionOffer& offer);

// Asks the server and reads the answer. The request runs on a worker thread while this thread
// goes on serving its windows (the worker wakes `hwnd`, a window of this thread, when it is
// done), so the caller waits for the answer without freezing the desktop.
EVersionAnswer RunVersionCheck(HWND hwnd, SVersionOffer& offer);
