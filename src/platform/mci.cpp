#include "mci.h"

#include <SDL.h>
#include <cwctype>
#include <map>
#include <mutex>
#include <sys/stat.h>

#include "module.h"
#include "textconv.h"

namespace platform {

namespace {

struct OpenSound {
    SDL_AudioDeviceID device = 0;
    Uint8* data = nullptr;
    Uint32 length = 0;
};

// The SDL calls of sound playback. SDL is loaded with the first sound, not at start: with it
// come the sound servers' libraries, which a start that plays nothing has no use for.
struct SSdlAudio {
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_RWFromFile) RWFromFile = nullptr;
    decltype(&SDL_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&SDL_FreeWAV) FreeWAV = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_ClearQueuedAudio) ClearQueuedAudio = nullptr;
    decltype(&SDL_QueueAudio) QueueAudio = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
};

template <typename Fn>
bool Resolve(Fn& fn, const char* name) {
    return ModuleFunction(fn, "libSDL2-2.0.so.0", name);
}

// Null when SDL or one of its calls is missing.
const SSdlAudio* Sdl() {
    static const SSdlAudio* api = [] {
        static SSdlAudio a;
        bool ok = Resolve(a.InitSubSystem, "SDL_InitSubSystem") && Resolve(a.RWFromFile, "SDL_RWFromFile") &&
                  Resolve(a.LoadWAV_RW, "SDL_LoadWAV_RW") && Resolve(a.FreeWAV, "SDL_FreeWAV") &&
                  Resolve(a.OpenAudioDevice, "SDL_OpenAudioDevice") &&
                  Resolve(a.CloseAudioDevice, "SDL_CloseAudioDevice") &&
                  Resolve(a.ClearQueuedAudio, "SDL_ClearQueuedAudio") && Resolve(a.QueueAudio, "SDL_QueueAudio") &&
                  Resolve(a.PauseAudioDevice, "SDL_PauseAudioDevice");
        return ok ? &a : nullptr;
    }();
    return api;
}

std::mutex g_lock;
std::map<std::wstring, OpenSound> g_aliases;
bool g_audioReady = false;

// SDL with its audio started; asked again at the next sound while audio fails to start.
const SSdlAudio* Audio() {
    const SSdlAudio* sdl = Sdl();
    if (sdl && !g_audioReady)
        g_audioReady = sdl->InitSubSystem(SDL_INIT_AUDIO) == 0;
    return g_audioReady ? sdl : nullptr;
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
    const SSdlAudio* sdl = Audio();
    if (!sdl)
        return MCIERR_HARDWARE;
    SDL_AudioSpec format;
    OpenSound sound;
    if (!sdl->LoadWAV_RW(sdl->RWFromFile(file.c_str(), "rb"), 1, &format, &sound.data, &sound.length))
        return MCIERR_INVALID_FILE;
    sound.device = sdl->OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
    if (sound.device == 0) {
        sdl->FreeWAV(sound.data);
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
    // An alias exists only once a sound was opened, so SDL is there.
    const SSdlAudio* sdl = Sdl();
    OpenSound& s = it->second;
    if (verb == L"play") {
        sdl->ClearQueuedAudio(s.device);
        if (sdl->QueueAudio(s.device, s.data, s.length) != 0)
            return MCIERR_HARDWARE;
        sdl->PauseAudioDevice(s.device, 0);
    } else if (verb == L"stop") {
        sdl->PauseAudioDevice(s.device, 1);
        sdl->ClearQueuedAudio(s.device);
    } else {
        sdl->CloseAudioDevice(s.device);
        sdl->FreeWAV(s.data);
        g_aliases.erase(it);
    }
    return 0;
}

} // namespace platform
