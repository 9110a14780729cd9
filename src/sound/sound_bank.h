// The fourteen positional voices of the game, each an OpenAL source with a
// buffer of its own, and the listener that stands at the camera's eye.
#pragma once

#include <cstdint>

#include "game/game_state.h"

inline constexpr int lastSoundSlot = 13;
inline constexpr int soundSlotCount = lastSoundSlot + 1;
inline constexpr int electricityPairCount = 5;  // also the distance between the two slots of a pair

// Slots of the voices that are played on their own.
inline constexpr int turnVoice = 7;  // also the second voice of electricity pair 2
inline constexpr int clickVoice = 11;
inline constexpr int cervoVoice = 12;
inline constexpr int activateVoice = 13;

struct SoundBank {
    std::uint32_t* buffers = nullptr;        // soundSlotCount OpenAL buffer names, by slot; null when not set up
    std::uint32_t* sources = nullptr;        // soundSlotCount OpenAL source names, by slot; null when not set up
    std::int32_t electricityPairCursor = 0;  // the pair played last, 1..5 (0 before the first)
    float cervoPan = 0;  // sideways offset of the Cervo voice from the eye, scene units: 1, -1, 0, ...
};

enum class SoundSetUpFailure { none, buffers, sources, load, bind };

// The file each slot is loaded from, relative to the working directory.
const char* soundSlotFile(int slot);
// 1 + slot / 5 for the electricity voices 0..5, 1 for every other slot.
float soundSlotPitch(int slot);

// Set-up
// Opens the default device, allocates the two zeroed name arrays, makes the
// 14 buffers and sources and loads every slot from its WAV file; the pair
// cursor and the Cervo pan start from 0. On failure it has already deleted
// what it made, closed the device and freed the arrays; soundFailureMessage
// gives the line to print.
SoundSetUpFailure setUpSoundBank(SoundBank& bank);
const char* soundFailureMessage(SoundSetUpFailure failure);

// Per frame
// Puts the listener at the camera's eye, facing the camera's centre point
// (handed over as the at-vector as it stands), up +y, at rest.
void updateListener();
// Every sound silenced or heard again at once, through the listener's gain
// (0 or 1); the voices go on being played as ever.
void setSoundMuted(bool muted);
// Moves the voice to the position (scene units) and starts it from its beginning.
void playVoiceAt(const SoundBank& bank, int slot, const float position[3]);
// Plays the next of the five pairs, slots r and r + 5, at the position.
void playNextElectricityPair(SoundBank& bank, const float position[3]);
// Plays the Cervo voice one unit right of the eye, then left, then at it, ...
void playCervoVoice(SoundBank& bank);
// Plays what the frame's rules asked for, in their order: the click, turn
// and activate voices at their positions, the cervo voice beside the
// listener, the next electricity pair at its tube.
void playSoundEvents(SoundBank& bank, const SoundEvents& sounds);

// Shutdown
// Deletes the 14 sources, then the 14 buffers, closes the device and frees
// the arrays. Does nothing for a bank that is not set up.
void releaseSoundBank(SoundBank& bank);
