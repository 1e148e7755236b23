#include "cplaysound.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/debug.h"
#include "platform/mci.h"

const wchar_t* const g_szKindConversation = L"conversation";
const wchar_t* const g_szKindOrder = L"order";
const wchar_t* const g_szKindNewcomer = L"newcomer";

namespace {
// Longer than any of the shipped sounds (the longest lasts 0.75 s).
constexpr int kReleaseAfterMs = 3000;
} // namespace

struct CPlaySound::State {
    std::map<std::wstring, std::wstring> m_mapSoundFile;
    std::wstring m_strExeDir;
    std::mutex m_lock; // guards everything below
    std::condition_variable m_hEvent;
    bool m_bSignalled = false; // auto-reset: the worker clears it when it wakes
    bool m_bStop = false;
    bool m_bEnded = false;
    std::wstring m_strKind;
    unsigned m_nLastResult = 0;
    unsigned m_nPlayed = 0;
};

CPlaySound::CPlaySound(const std::wstring& exeDir) : m_state(std::make_shared<State>()) {
    m_state->m_strExeDir = exeDir;
    m_state->m_mapSoundFile[g_szKindConversation] = L"audio/conversation.wav";
    m_state->m_mapSoundFile[g_szKindOrder] = L"audio/order.wav";
    m_state->m_mapSoundFile[g_szKindNewcomer] = L"audio/newcomer.wav";
}

CPlaySound::~CPlaySound() {
    std::unique_lock<std::mutex> lock(m_state->m_lock);
    m_state->m_bStop = true;
    m_state->m_bSignalled = true;
    m_state->m_hEvent.notify_all();
    if (!m_hThread.joinable())
        return;
    bool ended = m_state->m_hEvent.wait_for(lock, std::chrono::milliseconds(5000), [this] { return m_state->m_bEnded; });
    lock.unlock();
    // A worker stuck in the audio device past the limit is left to finish on its own; it
    // holds its own reference to the state, so nothing it touches goes away under it.
    if (ended)
        m_hThread.join();
    else
        m_hThread.detach();
}

int CPlaySound::StartThread() {
    // Two first Play calls on different threads must not both start (and so overwrite) a worker.
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_hThread.joinable())
        return 0;
    try {
        m_hThread = std::thread(SoundThreadProc, m_state);
    } catch (const std::system_error&) {
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"CPlaySound初始化创建线程失败！！\n");
    }
    return 0;
}

int CPlaySound::Play(const std::wstring& kind) {
    StartThread();
    std::lock_guard<std::mutex> lock(m_state->m_lock);
    m_state->m_strKind = kind;
    m_state->m_bSignalled = true;
    m_state->m_hEvent.notify_all();
    return 1;
}

unsigned CPlaySound::LastResult() const {
    std::lock_guard<std::mutex> lock(m_state->m_lock);
    return m_state->m_nLastResult;
}

unsigned CPlaySound::PlayedCount() const {
    std::lock_guard<std::mutex> lock(m_state->m_lock);
    return m_state->m_nPlayed;
}

void CPlaySound::SoundThreadProc(std::shared_ptr<State> s) {
    const std::wstring alias = g_szKindConversation; // one alias for every kind
    bool open = false;
    for (;;) {
        std::wstring path;
        {
            std::unique_lock<std::mutex> lock(s->m_lock);
            auto signalled = [&] { return s->m_bSignalled; };
            // An open alias keeps the sound device running (it plays silence once the sound has
            // ended), so the device is given back when the sound has had time to end.
            if (open && !s->m_hEvent.wait_for(lock, std::chrono::milliseconds(kReleaseAfterMs), signalled)) {
                lock.unlock();
                platform::mciSendString(FormatString(L"close %s", alias.c_str()));
                open = false;
                continue;
            }
            s->m_hEvent.wait(lock, signalled);
            s->m_bSignalled = false;
            if (s->m_bStop)
                break;
            auto it = s->m_mapSoundFile.find(s->m_strKind);
            if (it != s->m_mapSoundFile.end())
                path = it->second;
        }
        std::wstring full = s->m_strExeDir + path;
        platform::mciSendString(FormatString(L"stop %s", alias.c_str()));
        platform::mciSendString(FormatString(L"close %s", alias.c_str()));
        DWORD result = platform::mciSendString(FormatString(L"open \"%s\" alias %s", full.c_str(), alias.c_str()));
        open = result == 0;
        if (result == 0) {
            result = platform::mciSendString(FormatString(L"play %s", alias.c_str()));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (result != 0)
            DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"播放音频%s失败，错误码：%d\n", full.c_str(), static_cast<int>(result));
        std::lock_guard<std::mutex> lock(s->m_lock);
        s->m_nLastResult = result;
        ++s->m_nPlayed;
    }
    // Release the device before announcing the end, so a joined player leaves nothing open.
    platform::mciSendString(FormatString(L"close %s", alias.c_str()));
    std::lock_guard<std::mutex> lock(s->m_lock);
    s->m_bEnded = true;
    s->m_hEvent.notify_all();
}
