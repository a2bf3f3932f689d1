#pragma once

#include <string>

namespace tessaly {

// Plays short sound files through the desktop's sound service (PulseAudio or
// PipeWire, ALSA underneath). A missing sound device or an unreadable file plays
// nothing; playing never blocks and never fails the caller.
class SoundOutput {
public:
    SoundOutput();
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Starts playing the file; false when it could not be started.
    bool play(const std::string& path);

private:
    struct Context;
    Context* context_;
};

} // namespace tessaly
