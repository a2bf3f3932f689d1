#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace tessaly {

// The interface sounds, one shared player. Each plays only while sounds are on
// in the settings; a sound file that is missing or cannot be played is silence.
class SoundPlayer {
public:
    // Plays one resolved sound file.
    using Output = std::function<void(const std::string& path)>;

    static SoundPlayer& player();

    // soundsOn is asked before every sound; the files are looked up among the
    // shipped resources on first use and kept.
    SoundPlayer(Output output, std::function<bool()> soundsOn);

    // Replaces where the sounds go (the GUI tests keep the machine quiet).
    void setOutput(Output output);

    void playRemoveSound();       // a clean or removal run finished
    void playLittleButtonSound(); // secondary buttons: start over, back, home rows
    void playClikSelectSound();   // the main action buttons
    void playLeftSelectSound();   // another sidebar row
    void playListSelectSound();   // another module or group in a result list

private:
    void play(const std::string& name);

    Output output_;
    std::function<bool()> soundsOn_;
    std::mutex mutex_;
    std::map<std::string, std::string> files_;
};

} // namespace tessaly
