#pragma once
// The sound output layer: sixteen abstract output channels between the
// sound producers and the host's audio device. A channel is told its voice,
// its frequency in Hz and its loudness (0-255); drums are struck by
// percussion note; a master volume and a 16-bit channel switch apply to all.
// One device plays at a time, chosen by the sound rate: none (0), the MIDI
// synthesiser (1-8191) or the PCM synthesiser at that many samples per
// second (8192 and above). Every operation is also offered to the MIDI log,
// so the music can be recorded whichever device plays it.

#include <array>
#include <atomic>
#include <cstdint>

#include "machine/host.h"

inline constexpr int32_t OutputChannelCount = 16;
// Sound rates from this one up select the PCM synthesiser.
inline constexpr int32_t FirstPcmRate = 8192;

// Voices. With VoiceProgram set, bits 0-6 are a General MIDI program.
inline constexpr int32_t VoiceTone = 0;
inline constexpr int32_t VoiceNoise = 1;
inline constexpr int32_t VoiceWaveform = 3;
inline constexpr int32_t VoiceProgram = 0x100;
// Drum types: with DrumNote set, bits 0-6 are a General MIDI percussion
// note; otherwise the drum is note 77.
inline constexpr int32_t DrumNote = 0x100;

// The MIDI note nearest to a frequency and the pitch bend that corrects it,
// on a scale of 8192 units for 24 semitones (8192 = no bend).
struct NoteEntry {
    uint8_t Note;
    uint16_t Bend;
};
// Indexed by frequency / 3; entry i describes 3i + 1 Hz.
inline constexpr int32_t NoteTableSize = 4096;
// Tones below 9 Hz or above 12285 Hz fall outside the note table (and,
// mostly, outside hearing): MIDI plays them as silence.
inline constexpr int32_t LowestNoteFrequency = 9;
inline constexpr int32_t HighestNoteFrequency = 12285;
extern const std::array<NoteEntry, NoteTableSize> NoteTable;

// The MIDI channel of an output channel: 9 is the General MIDI percussion
// channel, so channels 9-14 move up by one and channel 15 takes it.
constexpr int32_t MidiChannelOf(int32_t channel) {
    if (channel < 9) return channel;
    return channel < 15 ? channel + 1 : 9;
}

// General MIDI program of a voice: 80 is the square-wave lead (tone and
// waveform), 122 the seashore (noise).
constexpr int32_t ProgramOfVoice(int32_t voice) {
    constexpr int32_t programs[4] = {80, 122, 122, 80};
    return (voice & VoiceProgram) ? (voice & 0x7F) : programs[voice & 3];
}

constexpr int32_t DrumNoteOf(int32_t type) { return (type & DrumNote) ? (type & 0x7F) : 77; }

// Channel message types of MIDI (the low four bits of a status byte are
// the channel).
namespace MidiMessage {
inline constexpr uint32_t NoteOff = 0x80;
inline constexpr uint32_t NoteOn = 0x90;
inline constexpr uint32_t KeyPressure = 0xA0;
inline constexpr uint32_t ControlChange = 0xB0;
inline constexpr uint32_t ProgramChange = 0xC0;
inline constexpr uint32_t PitchBend = 0xE0;
}  // namespace MidiMessage
// The General MIDI percussion channel, on which drums are struck.
inline constexpr uint32_t MidiPercussionChannel = 9;

// What a MIDI receiver (the synthesiser, the log) was last told about the
// note of one channel, so that only real changes are sent.
struct MidiNoteState {
    int32_t Note = -1;  // -1 = none sounding
    int32_t Velocity = -1;
    int32_t Bend = -1;  // -1 = none sent
};

// Releases the sounding note, if any, with the release velocity.
// send(type, first, second) sends one message on the channel.
template <typename Send>
void StopMidiNote(MidiNoteState& state, uint32_t releaseVelocity, Send&& send) {
    if (state.Note < 0) return;
    send(MidiMessage::NoteOff, uint32_t(state.Note), releaseVelocity);
    state.Note = -1;
}

// Turns a tone (Hz, loudness 0-255) into what it changes on the channel,
// silence outside the note table's frequencies. A new note is struck; the same
// note at another loudness only changes through key pressure, so it is not
// attacked again; the pitch bend is sent when it differs.
template <typename Send>
void SendMidiTone(MidiNoteState& state, int32_t frequency, int32_t volume, uint32_t releaseVelocity, Send&& send) {
    if (volume == 0 || frequency < LowestNoteFrequency || frequency > HighestNoteFrequency)
        return StopMidiNote(state, releaseVelocity, send);
    const NoteEntry& entry = NoteTable[frequency / 3];
    const int32_t velocity = volume / 2;
    if (entry.Note == state.Note) {
        if (velocity != state.Velocity) send(MidiMessage::KeyPressure, uint32_t(entry.Note), uint32_t(velocity));
    } else {
        StopMidiNote(state, releaseVelocity, send);
        send(MidiMessage::NoteOn, uint32_t(entry.Note), uint32_t(velocity));
    }
    state.Note = entry.Note;
    state.Velocity = velocity;
    if (entry.Bend != state.Bend) {
        send(MidiMessage::PitchBend, uint32_t(entry.Bend) & 0x7F, uint32_t(entry.Bend) >> 7 & 0x7F);
        state.Bend = entry.Bend;
    }
}

// One output channel. The fields marked shared are read by the PCM sound
// thread while the emulation thread writes them; each is a single machine
// word, so neither side ever takes a lock.
struct OutputChannel {
    std::atomic<int32_t> Voice{0};      // shared; kept across closes
    std::atomic<int32_t> Frequency{0};  // shared; Hz, 0 = silent
    std::atomic<int32_t> Volume{0};     // shared; 0-255
    // What the MIDI synthesiser was last told.
    MidiNoteState Midi;
    // PCM synthesis: the square and noise phase (16.16 fixed point), which
    // is also the waveform's sub-position, and the looped waveform.
    std::atomic<uint32_t> Phase{0};
    std::atomic<int32_t> WavePosition{0};
    std::atomic<int32_t> WaveLength{0};  // 0 = none loaded
    std::array<std::atomic<int8_t>, 256> Waveform{};
};

// The machine's SoundDevice.
struct SoundDeviceState {
    std::atomic<int32_t> Mode{0};  // 0 none, 1 MIDI, else the PCM rate
    int32_t MasterVolume = 200;
    std::atomic<int32_t> Switch{0xFFFF};  // bit c enables channel c; bit 15 also drums
    std::atomic<int32_t> StopFlag{0};     // set while the PCM device closes
    uint32_t NoiseRegister = 1;           // owned by the sound thread while it runs
    std::array<OutputChannel, OutputChannelCount> Channels;
    // The mix of one PCM buffer; all zero between renderings. Owned by
    // whoever renders (the sound thread, or the offline renderer).
    std::array<int32_t, PcmBufferSamples> Mix{};
};

struct Machine;

// The machine's SoundDriver: the open device's operations, filled by the
// first OpenSoundDevice. Each
// one tests the device mode itself; a call through an empty entry is skipped.
struct SoundDriverTable {
    void (*SetVoice)(Machine& m, int32_t channel, int32_t voice) = nullptr;
    void (*HitDrum)(Machine& m, int32_t type, int32_t force) = nullptr;
    void (*SetMasterVolume)(Machine& m, int32_t volume, int32_t channelSwitch) = nullptr;
    void (*PlayTone)(Machine& m, int32_t channel, int32_t frequency, int32_t volume) = nullptr;
    void (*LoadWaveform)(Machine& m, int32_t channel, const int8_t* samples, int32_t count) = nullptr;
};

// The layer's operations, for every sound producer (emulation thread only).
void PlayTone(Machine& m, int32_t channel, int32_t frequency, int32_t volume);
void SetVoice(Machine& m, int32_t channel, int32_t voice);
void LoadWaveform(Machine& m, int32_t channel, const int8_t* samples, int32_t count);
void HitDrum(Machine& m, int32_t type, int32_t force);
void SetMasterVolume(Machine& m, int32_t volume, int32_t channelSwitch);

// Closes whatever is open, then opens the device the rate selects. True on
// success (also for rate 0, no device), false when the device could not be
// opened; the emulation then runs silently.
bool OpenSoundDevice(Machine& m, int32_t rate, int32_t buffers);
void CloseSoundDevice(Machine& m);
