#include "mci.h"

#include <SDL.h>
#include <cwctype>
#include <map>
#include <mutex>
#include <sys/stat.h>

#include "textconv.h"

namespace platform {

namespace {

struct OpenSound {
    SDL_AudioDeviceID device = 0;
    Uint8* data = nullptr;
    Uint32 length = 0;
};

std::mutex g_lock;
std::map<std::wstring, OpenSound> g_aliases;
bool g_audioReady = false;

bool EnsureAudio() {
    if (!g_audioReady)
        g_audioReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return g_audioReady;
}

// Splits "verb rest" and, for open, "\"path\" alias name".
std::wstring NextWord(const std::wstring& s, size_t& pos) {
    while (pos < s.size() && s[pos] == L' ')
        ++pos;
    std::wstring w;
    if (pos < s.size() && s[pos] == L'"') {
        size_t end = s.find(L'"', pos + 1);
        if (end == std::wstring::npos)
            end = s.size();
        w = s.substr(pos + 1, end - pos - 1);
        pos = end + 1;
        return w;
    }
    while (pos < s.size() && s[pos] != L' ')
        w.push_back(s[pos++]);
    return w;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s)
        c = static_cast<wchar_t>(towlower(c));
    return s;
}

DWORD Open(const std::wstring& path, const std::wstring& alias) {
    if (g_aliases.count(alias))
        return MCIERR_DUPLICATE_ALIAS;
    std::string file = WideToMultiByte(CP_ACP, path);
    struct stat st;
    if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return MCIERR_FILE_NOT_FOUND;
    if (!EnsureAudio())
        return MCIERR_HARDWARE;
    SDL_AudioSpec format;
    OpenSound sound;
    if (!SDL_LoadWAV(file.c_str(), &format, &sound.data, &sound.length))
        return MCIERR_INVALID_FILE;
    sound.device = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
    if (sound.device == 0) {
        SDL_FreeWAV(sound.data);
        return MCIERR_HARDWARE;
    }
    g_aliases[alias] = sound;
    return 0;
}

} // namespace

DWORD mciSendString(const std::wstring& command) {
    size_t pos = 0;
    std::wstring verb = Lower(NextWord(command, pos));
    std::lock_guard<std::mutex> lock(g_lock);
    if (verb == L"open") {
        std::wstring path = NextWord(command, pos);
        if (Lower(NextWord(command, pos)) != L"alias")
            return MCIERR_UNRECOGNIZED_COMMAND;
        std::wstring alias = Lower(NextWord(command, pos));
        return alias.empty() ? MCIERR_UNRECOGNIZED_COMMAND : Open(path, alias);
    }
    auto it = g_aliases.find(Lower(NextWord(command, pos)));
    if (verb != L"play" && verb != L"stop" && verb != L"close")
        return MCIERR_UNRECOGNIZED_COMMAND;
    if (it == g_aliases.end())
        return MCIERR_INVALID_DEVICE_NAME;
    OpenSound& s = it->second;
    if (verb == L"play") {
        SDL_ClearQueuedAudio(s.device);
        if (SDL_QueueAudio(s.device, s.data, s.length) != 0)
            return MCIERR_HARDWARE;
        SDL_PauseAudioDevice(s.device, 0);
    } else if (verb == L"stop") {
        SDL_PauseAudioDevice(s.device, 1);
        SDL_ClearQueuedAudio(s.device);
    } else {
        SDL_CloseAudioDevice(s.device);
        SDL_FreeWAV(s.data);
        g_aliases.erase(it);
    }
    return 0;
}

} // namespace platform
