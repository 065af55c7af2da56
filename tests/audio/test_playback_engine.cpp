// The playback engine on its own: a fake host records what the engine asks of the window,
// the fake sound output completes buffers on command, and a recording transmitter shows
// when keying starts and stops. No window, no Qt.

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/playback_engine.h"
#include "support/fake_wave_out.h"

namespace kb {
namespace {

using test::FakeWaveOut;

// Every call the engine makes on its host, in order, as short words.
class FakeHost : public PlaybackHost {
public:
    void showPlaying(bool playing) override {
        log.push_back(playing ? "stop shown" : "quit shown");
    }
    void beforeCharacter() override { ++highlights; }
    MaskState& mask() override { return maskState; }
    bool fileText() const override { return false; }
    CharacterSettings nextCharacter() override { return settings; }
    void keyingStarted() override { log.push_back("keying started"); }
    void startSilentClock(int intervalMs) override { silentClock = intervalMs; }
    void stopSilentClock() override { silentClock = 0; }
    void textEnded() override { ++ends; }
    void deviceError(int result, DeviceStep step) override { errors.push_back({result, step}); }
    void fatalDeviceError(int result) override { fatal.push_back(result); }
    void releaseMonitorInput() override { log.push_back("monitor released"); }

    CharacterSettings settings;
    MaskState maskState;
    std::vector<std::string> log;
    std::vector<std::pair<int, DeviceStep>> errors;
    std::vector<int> fatal;
    int highlights = 0;
    int ends = 0;
    int silentClock = 0;  // the interval it runs with; 0 stopped
};

// Keying that records its calls; active when a CW port would be configured.
class RecordingKeying : public TransmitterKeying {
public:
    bool keyingActive() const override { return active; }
    void startKeying(const KeyingSchedule& s) override {
        calls.push_back("start " + std::to_string(s.stepCount));
    }
    void disarmKeying() override { calls.push_back("disarm"); }
    void releaseTransmitter() override {}
    bool pttStart() override { return false; }
    int txDelayMs() const override { return 100; }
    bool onAir() const override { return false; }
    void shutdown() override {}
    bool active = false;
    std::vector<std::string> calls;
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest() { tables.rebuild(); }

    // The buffer the fill gives for a code with these settings, as the engine should
    // hand it over.
    std::vector<std::int16_t> expected(std::string_view code, bool blank,
                                       const CharacterSettings& s) {
        CharBuffer b;
        KeyingSchedule k;
        RandomInt r;
        Fading f;
        const int n = fillOneCharacter(b, k, false, {tables, r, f}, code, blank, s);
        return {b.data(), b.data() + n};
    }

    void queue(const std::string& text) { engine.pendingText() += text; }

    RandomInt random;
    SoundTables tables{random};
    Fading fading;
    MorseTable morse;
    ShortcutTable shortcuts{};
    FakeWaveOut wave;
    RecordingKeying keying;
    FakeHost host;
    PlaybackEngine engine{{wave, keying, tables, random, fading, morse, shortcuts}, host};
};

TEST_F(EngineTest, CharactersPlayInOrderOneBufferAtATime) {
    queue("ab");
    engine.start();
    queue("c");      // typed while "a" sounds
    engine.start();  // busy: changes nothing
    ASSERT_EQ(wave.writes.size(), 1u);
    EXPECT_FALSE(engine.readyForNext());
    EXPECT_EQ(wave.completeAll(), 3);
    EXPECT_TRUE(engine.pendingText().empty());
    EXPECT_EQ(host.ends, 1);
    ASSERT_EQ(wave.writes.size(), 3u);
    const CharacterSettings s;
    EXPECT_EQ(wave.writes[0].values, expected(".-", false, s));
    EXPECT_EQ(wave.writes[1].values, expected("-...", false, s));
    EXPECT_EQ(wave.writes[2].values, expected("-.-.", false, s));
    // Each character: the device is reset (cutting a filler), then written.
    EXPECT_EQ(std::count(wave.calls.begin(), wave.calls.end(), "reset"), 3);
}

// What follows a character comes from the host's settings, read afresh for each one.
TEST_F(EngineTest, EachCharacterTakesTheSettingsOfItsOwnStartStep) {
    struct Case {
        const char* name;
        CharacterSettings settings;
        char character;
        const char* code;
    };
    CharacterSettings fast;
    fast.speed = 20;
    fast.spacing = 2;
    CharacterSettings heavy;
    heavy.weightRatio = 5;
    heavy.wordSpacingFactor = 2;
    CharacterSettings quiz;
    quiz.gapKind = CharGapKind::Quiz;
    quiz.spacing = 5;
    CharacterSettings groupEnd;
    groupEnd.gapKind = CharGapKind::GroupEnd;
    groupEnd.wordSpacingFactor = 3;
    const Case cases[] = {
        {"default", {}, 'e', "."},      {"faster and wider", fast, 'e', "."},
        {"weight 5", heavy, 'a', ".-"}, {"blank at word factor 2", heavy, ' ', ""},
        {"quiz gap", quiz, 'n', "-."},  {"group end", groupEnd, 't', "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.settings = c.settings;
        wave.writes.clear();
        queue(std::string(1, c.character));
        engine.start();
        ASSERT_EQ(wave.writes.size(), 1u);
        EXPECT_EQ(wave.writes[0].values, expected(c.code, c.character == ' ', c.settings));
        wave.completeAll();
    }
    // Distinct settings give distinct sounds: the table is not testing one case six times.
    CharacterSettings plain;
    CharacterSettings spaced = quiz;
    spaced.gapKind = CharGapKind::Normal;
    EXPECT_NE(expected(".", false, plain), expected(".", false, fast));
    EXPECT_NE(expected("-.", false, spaced), expected("-.", false, quiz));
}

TEST_F(EngineTest, CodelessCharactersTakeNoTimeAndATextOfOnlyThemEndsAtOnce) {
    queue("#&%");
    engine.start();
    EXPECT_TRUE(wave.writes.empty());
    EXPECT_TRUE(engine.pendingText().empty());
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(host.log.back(), "quit shown");
    EXPECT_EQ(host.highlights, 3);  // skipped characters still count in the highlight
}

TEST_F(EngineTest, OnlyTheToneBuffersCompletionAdvancesTheText) {
    queue("ab");
    engine.start();
    EXPECT_EQ(engine.pendingText(), "b");  // "a" has left the queue for the device
    wave.foreignDone();
    engine.onNotice({WaveOutNotice::Kind::Done, &wave, WaveBuffer::Noise, 0});
    engine.completed();  // an empty notice
    EXPECT_EQ(engine.pendingText(), "b");
    EXPECT_EQ(wave.writes.size(), 1u);
    wave.completeNext();
    EXPECT_TRUE(engine.pendingText().empty());
    EXPECT_EQ(wave.writes.size(), 2u);
}

// With band conditions each character is followed by the noise filler, whose completion
// never advances the text; the last filler plays out after the end.
TEST_F(EngineTest, TheNoiseFillerFollowsEachCharacterAndPlaysOutAtTheEnd) {
    host.settings.noise = true;
    queue("ee");
    engine.start();
    ASSERT_EQ(wave.writes.size(), 2u);
    EXPECT_EQ(wave.writes[0].buffer, WaveBuffer::Tone);
    EXPECT_EQ(wave.writes[1].buffer, WaveBuffer::Noise);
    ASSERT_EQ(wave.writes[1].values.size(), 30000u);  // 15000 frames of the noise table
    EXPECT_TRUE(std::equal(wave.writes[1].values.begin(), wave.writes[1].values.end(),
                           tables.noise().data()));
    // The tone's gaps carry noise: its last element gap is not silent.
    const auto& tone = wave.writes[0].values;
    EXPECT_NE(*std::max_element(tone.end() - 100, tone.end()), 0);

    wave.completeNext();  // the tone: the next start step resets, cutting the filler
    ASSERT_EQ(wave.writes.size(), 4u);
    EXPECT_TRUE(engine.pendingText().empty());
    wave.completeNext();  // the first filler: ignored
    EXPECT_EQ(host.ends, 0);
    EXPECT_EQ(wave.writes.size(), 4u);
    wave.completeNext();
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(wave.calls.back(), "write noise");  // no reset after the end
}

TEST_F(EngineTest, KeyingStartsJustBeforeTheSoundAndIsDisarmedAtEachCompletion) {
    keying.active = true;
    queue("e a");
    engine.start();
    EXPECT_EQ(keying.calls, (std::vector<std::string>{"start 2"}));  // key down, end
    EXPECT_EQ(wave.calls.back(), "write tone");
    EXPECT_EQ(host.log.back(), "keying started");
    EXPECT_EQ(engine.keyingSchedule().steps[0], engine.keyingSchedule().dotMs);
    wave.completeAll();
    // The blank is never keyed, but its completion disarms like any other.
    EXPECT_EQ(keying.calls,
              (std::vector<std::string>{"start 2", "disarm", "disarm", "start 4", "disarm"}));
}

// With noise on, each character's filler completes after the next character started:
// that notice must leave the next character's keying alone.
TEST_F(EngineTest, AFillersNoticeNeverDisarmsTheNextCharactersKeying) {
    keying.active = true;
    host.settings.noise = true;
    queue("ee");
    engine.start();
    wave.completeNext();  // the first tone: the second character is keyed
    ASSERT_EQ(keying.calls, (std::vector<std::string>{"start 2", "disarm", "start 2"}));
    wave.completeNext();  // the first filler
    EXPECT_EQ(keying.calls.back(), "start 2");
    wave.completeNext();  // the second tone
    EXPECT_EQ(keying.calls.back(), "disarm");
}

// Without a sound card an unkeyed character takes the classic 500 ms, a keyed one as long
// as its sound would, so its keying is never cut.
TEST_F(EngineTest, SilentModePacesAKeyedCharacterByItsOwnLength) {
    wave.openResult = -9996;
    engine.openOutputDevice();
    struct Case {
        bool keyed;
        char character;
        int ms;  // at 12 wpm a dot or an element gap lasts 94.5 ms
    };
    const Case cases[] = {{false, 'e', 500},
                          {false, '0', 500},
                          {true, 'e', 378},
                          {true, '0', 2079},
                          {true, ' ', 283}};
    for (const Case& c : cases) {
        keying.active = c.keyed;
        queue(std::string(1, c.character));
        engine.start();
        EXPECT_EQ(host.silentClock, c.ms) << c.character << (c.keyed ? " keyed" : "");
        engine.silentTick();
    }
}

TEST_F(EngineTest, SilentModePacesCharactersOnTheHostsClock) {
    wave.openResult = -9996;
    engine.openOutputDevice();
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], std::make_pair(-9996, DeviceStep::Open));
    EXPECT_TRUE(engine.silentMode());
    EXPECT_GT(tables.rebuildCount(), 1);  // built anyway, for the wave recorder
    queue("ab");
    engine.start();
    EXPECT_EQ(wave.calls, (std::vector<std::string>{"open -1"}));  // no device call at all
    EXPECT_EQ(host.silentClock, 500);
    EXPECT_EQ(engine.pendingText(), "b");
    engine.silentTick();
    EXPECT_TRUE(engine.pendingText().empty());
    EXPECT_EQ(host.ends, 0);
    engine.silentTick();
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST_F(EngineTest, AFailedWriteOrALostDeviceCarriesOnInSilentMode) {
    engine.openOutputDevice();
    wave.writeResult = -9999;
    queue("ab");
    engine.start();
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], std::make_pair(-9999, DeviceStep::Write));
    EXPECT_TRUE(engine.silentMode());
    EXPECT_TRUE(host.silentClock);
    EXPECT_EQ(wave.calls.back(), "close");

    FakeWaveOut lost;
    FakeHost host2;
    PlaybackEngine e2{{lost, keying, tables, random, fading, morse, shortcuts}, host2};
    e2.openOutputDevice();
    e2.pendingText() = "abc";
    e2.start();
    lost.fail(-9999);
    EXPECT_EQ(host2.errors, (std::vector<std::pair<int, DeviceStep>>{{-9999, DeviceStep::Open}}));
    EXPECT_TRUE(host2.silentClock);
    for (int k = 0; k < 3; ++k) e2.silentTick();
    EXPECT_EQ(host2.ends, 1);
    lost.fail(-9999);  // a second failure notice changes nothing
    EXPECT_EQ(host2.errors.size(), 1u);
}

TEST_F(EngineTest, StopLeavesTheSoundingCharacterToFinishAndReturnsTheRest) {
    queue("abc");
    engine.start();
    EXPECT_EQ(engine.stop(), std::optional<std::string>("bc"));
    EXPECT_TRUE(engine.pendingText().empty());
    engine.endIfIdle();  // busy: the notice will end the text
    EXPECT_EQ(host.ends, 0);
    wave.completeAll();
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(wave.writes.size(), 1u);

    // Nothing queued: nothing to return, and an idle engine ends the text at once.
    EXPECT_EQ(engine.stop(), std::nullopt);
    engine.endIfIdle();
    EXPECT_EQ(host.ends, 2);
}

TEST_F(EngineTest, AfterShutDownALateNoticeChangesNothing) {
    queue("abc");
    engine.start();
    engine.shutDown();
    EXPECT_TRUE(engine.pendingText().empty());
    EXPECT_EQ(std::vector<std::string>(wave.calls.end() - 2, wave.calls.end()),
              (std::vector<std::string>{"reset", "close"}));
    engine.onNotice({WaveOutNotice::Kind::Done, &wave, WaveBuffer::Tone, 0});
    EXPECT_EQ(host.ends, 0);
    EXPECT_EQ(wave.writes.size(), 1u);
}

TEST_F(EngineTest, TheMonitorLetsGoOfTheCardBeforeTheNextCharacter) {
    engine.openOutputDevice();
    engine.setInputHeldByMonitor(true);
    queue("e");
    engine.start();
    EXPECT_EQ(host.log, (std::vector<std::string>{"stop shown", "monitor released"}));
    EXPECT_EQ(std::count(wave.calls.begin(), wave.calls.end(), "open -1"), 2);
    EXPECT_EQ(wave.writes.size(), 1u);

    // When the output cannot be had back the text goes on without sound, once said, and
    // the program goes on.
    wave.completeAll();
    const int ends = host.ends;
    engine.setInputHeldByMonitor(true);
    wave.openResult = -9985;
    queue("e");
    engine.start();
    EXPECT_TRUE(host.fatal.empty());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], std::make_pair(-9985, DeviceStep::Open));
    EXPECT_TRUE(engine.silentMode());
    EXPECT_EQ(wave.writes.size(), 1u);
    EXPECT_FALSE(engine.readyForNext());
    engine.silentTick();
    EXPECT_EQ(host.ends, ends + 1);
}

TEST_F(EngineTest, AnOpenNoticeBuildsTheTablesAndAForeignOneIsFatal) {
    const int before = tables.rebuildCount();
    engine.openOutputDevice();
    EXPECT_EQ(tables.rebuildCount(), before + 1);
    engine.onNotice({WaveOutNotice::Kind::Open, nullptr, WaveBuffer::None, 0});
    EXPECT_EQ(host.fatal.size(), 1u);
}

// A quick serial takes every character through the start and completion steps without
// sound; the loop must not grow the stack with the text's length. It runs on a thread
// whose 512 KiB stack would not hold 100,000 nested steps.
TEST_F(EngineTest, AQuickSerialOfAnyLengthRunsInConstantStack) {
    engine.setQuickGenerate(true);
    std::string text;
    for (int k = 0; k < 100000; ++k) text += static_cast<char>('a' + k % 26);
    queue(text);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 512 * 1024);
    pthread_t thread;
    auto run = [](void* e) -> void* {
        static_cast<PlaybackEngine*>(e)->start();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, &engine), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(engine.pendingText().empty());
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(host.highlights, 100000);
    EXPECT_TRUE(wave.writes.empty());
}

}  // namespace
}  // namespace kb
