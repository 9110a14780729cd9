#include "sound/sound_bank.h"

#include <AL/al.h>
#include <AL/alut.h>

#include <cstdlib>

#include "game/view.h"

namespace {

// ALUT refuses to close the device while an OpenAL error is pending, and
// would then stay initialised: clear it first.
void closeDevice() {
    alGetError();
    alutExit();
}

void freeNameArrays(SoundBank& bank) {
    std::free(bank.sources);
    std::free(bank.buffers);
    bank.sources = nullptr;
    bank.buffers = nullptr;
}

// Ends a failed set-up: deletes what the failing step leaves behind, closes
// the device and frees the arrays. Sources go before buffers, because OpenAL
// refuses to delete a buffer that is still attached to a source, and then
// leaves every buffer of the call undeleted.
SoundSetUpFailure failSetUp(SoundBank& bank, SoundSetUpFailure failure, bool deleteSources, bool deleteBuffers) {
    if (deleteSources) alDeleteSources(soundSlotCount, bank.sources);
    if (deleteBuffers) alDeleteBuffers(soundSlotCount, bank.buffers);
    closeDevice();
    freeNameArrays(bank);
    return failure;
}

struct WavSamples {
    ALenum format = 0;
    void* data = nullptr;   // owned by ALUT until alutUnloadWAV
    ALsizei size = 0;       // bytes
    ALsizei frequency = 0;  // samples per second
};

// The classic ALUT loader: a file it cannot read leaves data null and raises
// no OpenAL error.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
WavSamples loadWav(const char* path) {
    WavSamples samples;
    ALboolean loop = AL_FALSE;  // ignored: no voice loops
    alutLoadWAVFile(reinterpret_cast<ALbyte*>(const_cast<char*>(path)), &samples.format, &samples.data, &samples.size,
                    &samples.frequency, &loop);
    return samples;
}

void unloadWav(WavSamples& samples) {
    alutUnloadWAV(samples.format, samples.data, samples.size, samples.frequency);
    samples.data = nullptr;
}
#pragma GCC diagnostic pop

}  // namespace

const char* soundSlotFile(int slot) {
    if (slot <= 5) return "SFX/Electricity.wav";
    if (slot <= 10) return "SFX/Electricity2.wav";
    if (slot == clickVoice) return "SFX/Click.wav";
    if (slot == cervoVoice) return "SFX/Cervo.wav";
    return "SFX/Activate.wav";
}

float soundSlotPitch(int slot) {
    if (slot > 5) return 1.0f;
    return static_cast<float>(1.0 + slot / 5.0);
}

SoundSetUpFailure setUpSoundBank(SoundBank& bank) {
    bank.buffers = static_cast<std::uint32_t*>(std::calloc(soundSlotCount, sizeof(std::uint32_t)));
    bank.sources = static_cast<std::uint32_t*>(std::calloc(soundSlotCount, sizeof(std::uint32_t)));
    bank.electricityPairCursor = 0;
    bank.cervoPan = 0;

    // Whether a device and context came up shows in the first error check.
    alutInit(nullptr, nullptr);

    alGenBuffers(soundSlotCount, bank.buffers);
    if (alGetError() != AL_NO_ERROR) return failSetUp(bank, SoundSetUpFailure::buffers, false, false);

    alGenSources(soundSlotCount, bank.sources);
    if (alGetError() != AL_NO_ERROR) return failSetUp(bank, SoundSetUpFailure::sources, false, true);

    for (int slot = 0; slot <= lastSoundSlot; ++slot) {
        WavSamples samples = loadWav(soundSlotFile(slot));
        const bool noSamples = samples.data == nullptr || samples.size <= 0;
        if (alGetError() != AL_NO_ERROR || noSamples) {
            if (samples.data) unloadWav(samples);
            return failSetUp(bank, SoundSetUpFailure::load, true, true);
        }

        alBufferData(bank.buffers[slot], samples.format, samples.data, samples.size, samples.frequency);
        unloadWav(samples);
        if (alGetError() != AL_NO_ERROR) return failSetUp(bank, SoundSetUpFailure::bind, true, true);

        // Not checked here: an error these raise is caught at the next
        // slot's load check.
        const ALuint source = bank.sources[slot];
        alSourcei(source, AL_BUFFER, static_cast<ALint>(bank.buffers[slot]));
        alSourcef(source, AL_PITCH, soundSlotPitch(slot));
        alSourcef(source, AL_GAIN, 1.0f);
        alSourcei(source, AL_LOOPING, AL_FALSE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.01f);
    }
    return SoundSetUpFailure::none;
}

const char* soundFailureMessage(SoundSetUpFailure failure) {
    switch (failure) {
        case SoundSetUpFailure::none:
            return "";
        case SoundSetUpFailure::buffers:
            return "Failed to generate buffers!";
        case SoundSetUpFailure::sources:
            return "Failed to generate sources!";
        case SoundSetUpFailure::load:
            return "Error: Failed to load WAV data!";
        case SoundSetUpFailure::bind:
            return "Error: Failed to bind audio buffer to source!";
    }
    return "";
}

void updateListener() {
    float position[3];
    float orientation[6];
    for (int axis = 0; axis < 3; ++axis) {
        position[axis] = camera.eye[axis];
        orientation[axis] = camera.centre[axis];
        orientation[3 + axis] = camera.up[axis];
    }
    alListenerfv(AL_POSITION, position);
    alListenerfv(AL_ORIENTATION, orientation);
    alListener3f(AL_VELOCITY, 0, 0, 0);
}

void setSoundMuted(bool muted) { alListenerf(AL_GAIN, muted ? 0.0f : 1.0f); }

void playVoiceAt(const SoundBank& bank, int slot, const float position[3]) {
    alSourcefv(bank.sources[slot], AL_POSITION, position);
    alSourcePlay(bank.sources[slot]);
}

void playNextElectricityPair(SoundBank& bank, const float position[3]) {
    ++bank.electricityPairCursor;
    if (bank.electricityPairCursor > electricityPairCount) bank.electricityPairCursor = 1;
    playVoiceAt(bank, bank.electricityPairCursor, position);
    playVoiceAt(bank, bank.electricityPairCursor + electricityPairCount, position);
}

void playCervoVoice(SoundBank& bank) {
    bank.cervoPan += 1.0f;
    if (bank.cervoPan > 1.0f) bank.cervoPan = -1.0f;
    alSource3f(bank.sources[cervoVoice], AL_POSITION, camera.eye[0] + bank.cervoPan, camera.eye[1], camera.eye[2]);
    alSourcePlay(bank.sources[cervoVoice]);
}

void playSoundEvents(SoundBank& bank, const SoundEvents& sounds) {
    for (int k = 0; k < sounds.count; ++k) {
        const SoundEvent& event = sounds.events[k];
        switch (event.voice) {
            case Voice::click:
                playVoiceAt(bank, clickVoice, event.position);
                break;
            case Voice::turn:
                playVoiceAt(bank, turnVoice, event.position);
                break;
            case Voice::activate:
                playVoiceAt(bank, activateVoice, event.position);
                break;
            case Voice::cervo:
                playCervoVoice(bank);
                break;
            case Voice::electricityPair:
                playNextElectricityPair(bank, event.position);
                break;
        }
    }
}

void releaseSoundBank(SoundBank& bank) {
    if (!bank.sources || !bank.buffers) return;
    alDeleteSources(soundSlotCount, bank.sources);
    alDeleteBuffers(soundSlotCount, bank.buffers);
    closeDevice();
    freeNameArrays(bank);
}
