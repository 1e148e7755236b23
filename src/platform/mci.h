#pragma once
// Multimedia command strings for WAVE sounds, carried out with SDL2 audio:
//   open "path" alias NAME   load the WAVE file and open an audio device for it
//   play NAME                start playing from the beginning (returns at once)
//   stop NAME                stop playing, keep the device open
//   close NAME               close the device and free the sound
// Returns 0 on success or an MCIERR_ code.
#include <string>
#include "wintypes.h"

constexpr DWORD MCIERR_BASE = 256;
constexpr DWORD MCIERR_UNRECOGNIZED_COMMAND = MCIERR_BASE + 5;
constexpr DWORD MCIERR_HARDWARE = MCIERR_BASE + 6;
constexpr DWORD MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
constexpr DWORD MCIERR_FILE_NOT_FOUND = MCIERR_BASE + 19;
constexpr DWORD MCIERR_DUPLICATE_ALIAS = MCIERR_BASE + 33;
constexpr DWORD MCIERR_INVALID_FILE = MCIERR_BASE + 40;

namespace platform {

DWORD mciSendString(const std::wstring& command);

} // namespace platform
