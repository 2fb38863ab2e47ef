// PlaySoundW through SDL2 audio: one sound at a time on its own device.
#include <SDL2/SDL.h>

#include <mutex>

#include "platform/base/log.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/shell/shell.h"

namespace {

class Player {
public:
    // Plays the file; false when it cannot be read or no device exists.
    bool Play(const std::string& path, DWORD flags) {
        std::unique_lock<std::mutex> lock(mutex_);
        if ((flags & SND_NOWAIT) && Busy()) return false;
        if (!Ready()) return false;
        SDL_AudioSpec spec;
        Uint8* data = nullptr;
        Uint32 length = 0;
        if (!SDL_LoadWAV(path.c_str(), &spec, &data, &length)) {
            SKYVANE_LOG("shell", "PlaySound: %s: %s", path.c_str(), SDL_GetError());
            return false;
        }
        StopLocked();
        device_ = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0);
        if (device_ == 0) {
            SKYVANE_LOG("shell", "PlaySound: no audio device: %s", SDL_GetError());
            SDL_FreeWAV(data);
            return false;
        }
        SDL_QueueAudio(device_, data, length);
        SDL_FreeWAV(data);
        SDL_PauseAudioDevice(device_, 0);
        if (flags & SND_ASYNC) return true;
        // Synchronous: until the queue has played out, and the device's own
        // buffer after it.
        while (SDL_GetQueuedAudioSize(device_) > 0) SDL_Delay(5);
        SDL_Delay(static_cast<Uint32>(1000.0 * spec.samples / spec.freq) + 10);
        StopLocked();
        return true;
    }

    void Stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        StopLocked();
    }

private:
    bool Busy() const { return device_ != 0 && SDL_GetQueuedAudioSize(device_) > 0; }

    void StopLocked() {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        device_ = 0;
    }

    bool Ready() {
        if (!tried_) {
            tried_ = true;
            ready_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
            if (!ready_) SKYVANE_LOG("shell", "no sound on this machine: %s", SDL_GetError());
        }
        return ready_;
    }

    std::mutex mutex_;
    SDL_AudioDeviceID device_ = 0;
    bool tried_ = false, ready_ = false;
};

Player& ThePlayer() {
    static auto* player = new Player;  // outlives static destruction: SDL may still be in use
    return *player;
}

}  // namespace

BOOL PlaySoundW(LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound) {
    if (!pszSound) {
        ThePlayer().Stop();
        return TRUE;
    }
    if (!(fdwSound & SND_FILENAME)) {
        SKYVANE_LOG("shell", "PlaySound: only files can be played (SND_FILENAME)");
        return FALSE;
    }
    std::u16string_view name(pszSound);
    std::string path = !name.empty() && name[0] == u'\\' ? skyvane::HostPath(name) : skyvane::ToUtf8(name);
    return ThePlayer().Play(path, fdwSound) ? TRUE : FALSE;
}
