#pragma once
// The version check: asks the mobile API whether a newer client exists and reads its answer.
// The server decides from the version the request carries; the client compares nothing.
#include <atomic>
#include <string>
#include <thread>

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

// One request to the server on a worker thread, whose end is posted to a window of the
// thread that started it: that thread never waits on the network.
class CVersionCheck {
public:
    CVersionCheck() = default;
    CVersionCheck(const CVersionCheck&) = delete;
    CVersionCheck& operator=(const CVersionCheck&) = delete;
    // Waits for a request still under way, within the transport's time-out.
    ~CVersionCheck();

    // Starts the request; once its answer is in, `msg` is posted to `hwnd`. False when one
    // was already started.
    bool Start(HWND hwnd, UINT msg);
    bool IsStarted() const { return m_worker.joinable(); }
    // The answer is in (the posted message may still be on its way).
    bool IsDone() const { return m_bDone.load(); }
    // Waits for the worker, at once when the message has arrived, and reads the answer;
    // no answer when none was started.
    EVersionAnswer Finish(SVersionOffer& offer);

private:
    std::thread m_worker;
    std::atomic<bool> m_bDone{false};
    std::string m_strBody;
    bool m_bAnswered = false;
};

// Asks the server and reads the answer. The request runs on a worker thread while this thread
// goes on serving its windows (the worker wakes `hwnd`, a window of this thread, when it is
// done), so the caller waits for the answer without freezing the desktop.
EVersionAnswer RunVersionCheck(HWND hwnd, SVersionOffer& offer);
