#include "audio/playback_engine.h"

#include <algorithm>

namespace kb {

namespace {
// Silent mode's pace for a character nobody keys: the classic fixed tick.
constexpr int SilentCharacterMs = 500;
}  // namespace

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

PlaybackEngine::~PlaybackEngine() {
    out_.setNoticeHandler(nullptr);
}

void PlaybackEngine::start() {
    if (quitting_) return;
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
        const bool blank = static_cast<unsigned char>(pending_.front()) == Blank;
        // The character leaves the queue for the device: whatever the modes do to the
        // queue from now on, its completion takes nothing else with it.
        pending_.erase(0, 1);
        if (quickGenerate_) {
            completed();
            return;
        }

        // The settings are read here, so a change takes effect at the next character.
        const CharacterSettings settings = host_.nextCharacter();
        const bool keyingActive = keying_.keyingActive();
        const int n = fillOneCharacter(buffer_, schedule_, keyingActive,
                                       {tables_, random_, fading_}, currentCode_, blank, settings);

        if (inputHeldByMonitor_) {
            host_.releaseMonitorInput();
            inputHeldByMonitor_ = false;
            if (!silentMode_) {
                // An output that will not come back costs the sound, not the program and
                // whatever the user has typed or decoded: the text goes on silently, and the
                // next play action tries the device again.
                if (const int r = out_.open(outputDeviceId_)) loseDevice(r, DeviceStep::Open);
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
            // Nothing would ever give this buffer back: carry on without the device
            // rather than hang with Stop shown.
            if (const int r = out_.write(WaveBuffer::Tone, buffer_.data(), n)) {
                loseDevice(r, DeviceStep::Write);
            }
        }
        if (settings.noise && !silentMode_) {
            // The filler keeps the noise going while the next character is filled; the
            // next start step's reset cuts it.
            const int r = out_.write(WaveBuffer::Noise, tables_.noise().data(), NoiseFillerValues);
            if (r != 0) host_.deviceError(r, DeviceStep::Write);
        }
        if (silentMode_) host_.startSilentClock(silentIntervalMs());
        return;
    }
}

int PlaybackEngine::silentIntervalMs() const {
    if (!keying_.keyingActive()) return SilentCharacterMs;
    // A keyed character lasts as long as its sound would, so its keying is never cut and
    // the transmitter sends at the chosen speed without a sound card.
    const long long frames = buffer_.used() / 2;
    return std::max(1, static_cast<int>((frames * 1000 + OutputRate / 2) / OutputRate));
}

void PlaybackEngine::completed(const WaveOutNotice& notice) {
    if (!quickGenerate_) {
        if (forcedDone_) {
            forcedDone_ = false;
        } else if (!silentMode_ && (notice.device != &out_ || notice.buffer != WaveBuffer::Tone)) {
            return;
        }
        // Only the tone's completion ends its keying: a filler's notice arrives while the
        // next character is already keyed.
        keying_.disarmKeying();
        if (!silentMode_) {
            // Heard through the device: a later failure deserves its message again.
            lossReported_ = false;
            recoveryReported_ = false;
        }
    }
    readyForNext_ = true;
    if (quitting_) return;
    if (!pending_.empty()) {
        start();
        return;
    }
    host_.textEnded();
}

std::optional<std::string> PlaybackEngine::stop() {
    quickGenerate_ = false;
    std::optional<std::string> rest;
    if (!pending_.empty()) rest = std::move(pending_);
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
    loseDevice(result, DeviceStep::Open);
    // The character that was with the device ends on the silent clock.
    if (!readyForNext_) host_.startSilentClock(silentIntervalMs());
}

void PlaybackEngine::loseDevice(int result, DeviceStep step) {
    lastDeviceResult_ = result;
    // A device that opens and dies at once must not raise a message per keystroke.
    if (!lossReported_) host_.deviceError(result, step);
    lossReported_ = true;
    out_.close();
    silentMode_ = true;
    deviceLost_ = true;
}

bool PlaybackEngine::recoverOutput(std::int64_t nowMs) {
    if (!deviceLost_) return !silentMode_;
    if (!readyForNext_) return false;
    if (retried_ && nowMs - lastRetryMs_ < RetryIntervalMs) return false;
    retried_ = true;
    lastRetryMs_ = nowMs;
    if (out_.isOpen()) out_.close();
    const int r = out_.open(outputDeviceId_);
    if (r != 0) {
        lastDeviceResult_ = r;
        // Said once: a user typing on without a sound server gets one message, not one
        // per character.
        if (!recoveryReported_) host_.deviceError(r, DeviceStep::Open);
        recoveryReported_ = true;
        return false;
    }
    silentMode_ = false;
    deviceLost_ = false;
    retried_ = false;
    if (const int rr = out_.reset()) host_.deviceError(rr, DeviceStep::Reset);
    return true;
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
    const bool inFlight = !readyForNext_;
    if (!silentMode_) {
        out_.reset();
        out_.close();
    }
    host_.stopSilentClock();
    silentMode_ = false;
    deviceLost_ = false;
    retried_ = false;
    openOutputDevice();
    // Closing dropped the notice of the character that was with the old device; without
    // it the engine would wait for ever.
    if (inFlight) {
        forcedDone_ = true;
        completed();
    }
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
