#include "msgcenter/requestworkers.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "common/custommsg.h"
#include "platform/winuser.h"

// Shared by the window and its workers, so a worker that outlives the window still has it.
struct CRequestWorkers::State {
    std::mutex lock;
    std::condition_variable idle;
    size_t running = 0;
    bool closed = false;
    std::set<SRequestTask*> posted;
};

CRequestWorkers::CRequestWorkers() : m_state(std::make_shared<State>()) {}

CRequestWorkers::~CRequestWorkers() { Close(5000); }

void CRequestWorkers::Start(std::unique_ptr<SRequestTask> task, std::function<void(SRequestTask&)> call) {
    std::shared_ptr<State> state = m_state;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->closed)
            return;
        ++state->running;
    }
    SRequestTask* raw = task.release();
    std::thread([state, raw, call] {
        auto started = std::chrono::steady_clock::now();
        call(*raw);
        if (!raw->bSuccess) {
            auto spent = std::chrono::steady_clock::now() - started;
            if (spent < std::chrono::milliseconds(200))
                std::this_thread::sleep_for(std::chrono::milliseconds(200) - spent);
        }
        std::lock_guard<std::mutex> guard(state->lock);
        --state->running;
        bool delivered = false;
        if (!state->closed) {
            state->posted.insert(raw);
            delivered = platform::PostMessage(raw->hTarget, WM_MSG_REQUEST_DONE, reinterpret_cast<WPARAM>(raw), 0);
            if (!delivered)
                state->posted.erase(raw);
        }
        if (!delivered)
            delete raw;
        state->idle.notify_all();
    }).detach();
}

std::unique_ptr<SRequestTask> CRequestWorkers::Take(WPARAM wParam) {
    auto* task = reinterpret_cast<SRequestTask*>(wParam);
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (!task || m_state->posted.erase(task) == 0)
        return nullptr;
    return std::unique_ptr<SRequestTask>(task);
}

size_t CRequestWorkers::Running() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->running + m_state->posted.size();
}

void CRequestWorkers::Close(int ms) {
    std::unique_lock<std::mutex> guard(m_state->lock);
    m_state->idle.wait_for(guard, std::chrono::milliseconds(ms), [this] { return m_state->running == 0; });
    m_state->closed = true;
    for (SRequestTask* t : m_state->posted)
        delete t;
    m_state->posted.clear();
}
