#include "app/SoundPlayer.h"

#include "model/SettingModel.h"
#include "platform/Paths.h"
#include "platform/SoundOutput.h"

namespace tessaly {

SoundPlayer& SoundPlayer::player() {
    static SoundOutput output;
    static SoundPlayer shared([](const std::string& path) { output.play(path); },
                              [] { return SettingModel::shareSettingModel().playSound.load(); });
    return shared;
}

SoundPlayer::SoundPlayer(Output output, std::function<bool()> soundsOn)
    : output_(std::move(output)), soundsOn_(std::move(soundsOn)) {}

void SoundPlayer::setOutput(Output output) {
    std::lock_guard<std::mutex> guard(mutex_);
    output_ = std::move(output);
}

void SoundPlayer::play(const std::string& name) {
    if (!soundsOn_())
        return;
    std::string file;
    Output output;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = files_.find(name);
        if (found == files_.end())
            found = files_.emplace(name, paths::resourcePath("sounds/" + name, "wav")).first;
        file = found->second;
        output = output_;
    }
    if (!file.empty() && output)
        output(file);
}

void SoundPlayer::playRemoveSound() {
    play("remove");
}
void SoundPlayer::playLittleButtonSound() {
    play("little button");
}
void SoundPlayer::playClikSelectSound() {
    play("clik");
}
void SoundPlayer::playLeftSelectSound() {
    play("click swipe");
}
void SoundPlayer::playListSelectSound() {
    play("clik list");
}

} // namespace tessaly
