// The fourteen positional voices of the game, each an OpenAL source with a
// buffer of its own, and the listener that stands at the camera's eye.
#pragma once

#include <cstdint>

inline constexpr int lastSoundSlot = 13;
inline constexpr int electricityPairCount = 5;

// Slots of the voices that are played on their own.
inline constexpr int turnVoice = 7;  // also the second voice of electricity pair 2
inline constexpr int clickVoice = 11;
inline constexpr int cervoVoice = 12;
inline constexpr int activateVoice = 13;

struct SoundBank {
    std::uint32_t* buffers = nullptr;        // lastSoundSlot + 1 OpenAL buffer names, by slot
    std::uint32_t* sources = nullptr;        // lastSoundSlot + 1 OpenAL source names, by slot
    std::int32_t electricityPairCursor = 0;  // the pair played last, 1..5 (0 before the first)
    float cervoPan = 0;                      // sideways offset of the Cervo voice, scene units: 1, -1, 0, ...
};

enum class SoundSetUpFailure { none, buffers, sources, load, bind };

// Set-up
// Opens the default device, makes the 14 buffers and sources and loads every
// slot from its WAV file. On failure it has already released what it made
// and closed the device; soundFailureMessage gives the line to print.
SoundSetUpFailure setUpSoundBank(SoundBank& bank);
const char* soundFailureMessage(SoundSetUpFailure failure);

// Per frame
void updateListener();
// Moves the voice to the position (scene units) and starts it from its beginning.
void playVoiceAt(const SoundBank& bank, int slot, const float position[3]);
void playNextElectricityPair(SoundBank& bank, const float position[3]);
void playCervoVoice(SoundBank& bank);

// Shutdown
void releaseSoundBank(SoundBank& bank);
