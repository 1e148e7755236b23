#pragma once
// The notification sound player. Play returns at once; a worker thread talks to the audio
// device. Requests form a one-deep mailbox: a request the worker has not picked up yet is
// replaced by the next, so a burst of Play calls plays the last kind once. Play and StartThread
// may be called from any thread at once; only the destructor must run alone.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

extern const wchar_t* const g_szKindConversation; // "conversation"
extern const wchar_t* const g_szKindOrder;        // "order"
extern const wchar_t* const g_szKindNewcomer;     // "newcomer"

class CPlaySound {
public:
    // `exeDir` is the executable's folder, ending in a separator; the sounds live in its "audio" folder.
    explicit CPlaySound(const std::wstring& exeDir);
    virtual ~CPlaySound();
    CPlaySound(const CPlaySound&) = delete;
    CPlaySound& operator=(const CPlaySound&) = delete;

    // Requests the sound of `kind`; starts the worker on first use. Non-zero when the request was posted.
    int Play(const std::wstring& kind);
    // Starts the worker unless it runs; 0.
    int StartThread();

    // Result of the last open or play the worker carried out (0 is success); for diagnostics.
    unsigned LastResult() const;
    // Number of requests the worker has carried out.
    unsigned PlayedCount() const;

private:
    struct State;
    static void SoundThreadProc(std::shared_ptr<State> state);

    std::shared_ptr<State> m_state; // shared with the worker, which may outlive a bounded stop
    std::mutex m_threadLock;        // guards the start of m_hThread
    std::thread m_hThread;
};
