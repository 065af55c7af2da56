#include "audio/playback_engine.h"

namespace kb {

PlaybackEngine::PlaybackEngine(const Sources& s, PlaybackHost& host)
    : out_(s.out),
      keying_(s.keying),
      tables_(s.tables),
      random_(s.random),
      fading_(s.fading),
      morse_(s.morse),
      shortcuts_(s.shortcuts),
      host_(host) {
    out_.setNoticeHandler([this](const WaveOutNotice& n) { onNotice(n); });
}

PlaybackEngine::~PlaybackEngine() { out_.setNoticeHandler(nullptr); }

void PlaybackEngine::start() {
    if (starting_) {
        startAgain_ = true;
        return;
    }
    starting_ = true;
    do {
        startAgain_ = false;
        startOnce();
    } while (startAgain_);
    starting_ = false;
}

void PlaybackEngine::startOnce() {
    while (readyForNext_) {
        if (pending_.empty()) {
            forcedDone_ = true;
            completed();
            host_.showPlaying(false);
            return;
        }
        host_.showPlaying(true);
        host_.beforeCharacter();
        const WalkResult walked =
            walkFront(pending_, morse_, shortcuts_, host_.mask(), host_.fileText(), currentCode_);
        if (walked != WalkResult::Sound) continue;
        if (quickGenerate_) {
            completed();
            return;
        }

        // The settings are read here, so a change takes effect at the next character.
        const bool blank = static_cast<unsigned char>(pending_.front()) == Blank;
        const CharacterSettings settings = host_.nextCharacter();
        const bool keyingActive = keying_.keyingActive();
        const int n = fillOneCharacter(buffer_, schedule_, keyingActive,
                                       {tables_, random_, fading_}, currentCode_, blank, settings);

        if (inputHeldByMonitor_) {
            host_.releaseMonitorInput();
            inputHeldByMonitor_ = false;
            if (!silentMode_) {
                const int r = out_.open(outputDeviceId_);
                if (r != 0) {
                    host_.fatalDeviceError(r);
                    return;
                }
            }
        }

        readyForNext_ = false;
        if (!silentMode_) {
            const int r = out_.reset();
            if (r != 0) host_.deviceError(r, DeviceStep::Reset);
        }
        // The keying starts just before the sound is queued, so both begin together.
        if (keyingActive && !blank) {
            keying_.startKeying(schedule_);
            host_.keyingStarted();
        }
        if (!silentMode_) {
            const int r = out_.write(WaveBuffer::Tone, buffer_.data(), n);
            if (r != 0) {
                lastDeviceResult_ = r;
                host_.deviceError(r, DeviceStep::Write);
                // Nothing would ever give this buffer back: carry on without the device
                // rather than hang with Stop shown.
                out_.close();
                silentMode_ = true;
            }
        }
        if (settings.noise && !silentMode_) {
            // The filler keeps the noise going while the next character is filled; the
            // next start step's reset cuts it.
            const int r = out_.write(WaveBuffer::Noise, tables_.noise().data(), NoiseFillerValues);
            if (r != 0) host_.deviceError(r, DeviceStep::Write);
        }
        if (silentMode_) host_.startSilentClock();
        return;
    }
}

void PlaybackEngine::completed(const WaveOutNotice& notice) {
    if (!quickGenerate_) {
        keying_.disarmKeying();
        if (forcedDone_) {
            forcedDone_ = false;
        } else if (!silentMode_ && (notice.device != &out_ || notice.buffer != WaveBuffer::Tone)) {
            return;
        }
    }
    readyForNext_ = true;
    if (quitting_) return;
    if (!pending_.empty()) pending_.erase(0, 1);
    if (!pending_.empty()) {
        start();
        return;
    }
    host_.textEnded();
}

std::optional<std::string> PlaybackEngine::stop() {
    quickGenerate_ = false;
    std::optional<std::string> rest;
    if (!pending_.empty()) rest = readyForNext_ ? pending_ : pending_.substr(1);
    pending_.clear();
    return rest;
}

void PlaybackEngine::endIfIdle() {
    if (!readyForNext_) return;
    forcedDone_ = true;
    completed();
}

void PlaybackEngine::onNotice(const WaveOutNotice& notice) {
    switch (notice.kind) {
        case WaveOutNotice::Kind::Open: deviceOpened(notice); break;
        case WaveOutNotice::Kind::Done: completed(notice); break;
        case WaveOutNotice::Kind::Failed: deviceFailed(notice.error); break;
    }
}

void PlaybackEngine::deviceOpened(const WaveOutNotice& notice) {
    if (notice.device != &out_) {
        host_.fatalDeviceError(lastDeviceResult_);
        return;
    }
    inputHeldByMonitor_ = false;
    tables_.rebuild();
}

void PlaybackEngine::deviceFailed(int result) {
    if (silentMode_ || quitting_) return;
    lastDeviceResult_ = result;
    out_.close();
    silentMode_ = true;
    host_.deviceError(result, DeviceStep::Open);
    // The character that was with the device ends on the silent clock.
    if (!readyForNext_) host_.startSilentClock();
}

void PlaybackEngine::openOutputDevice() {
    int r = out_.open(outputDeviceId_);
    if (r != 0) {
        lastDeviceResult_ = r;
        host_.deviceError(r, DeviceStep::Open);
        silentMode_ = true;
        // No open notice will build the tables, and the wave recorder still needs them.
        tables_.rebuild();
        return;
    }
    r = out_.reset();
    if (r != 0) host_.deviceError(r, DeviceStep::Reset);
}

void PlaybackEngine::reopenOutputDevice() {
    if (!silentMode_) {
        out_.reset();
        out_.close();
    }
    silentMode_ = false;
    openOutputDevice();
}

void PlaybackEngine::shutDown() {
    pending_.clear();
    inputHeldByMonitor_ = false;
    quitting_ = true;
    // Stop at once: what is queued is cut, and a late notice finds the engine shut down.
    if (!silentMode_) {
        out_.reset();
        out_.close();
    }
    host_.stopSilentClock();
}

}  // namespace kb
