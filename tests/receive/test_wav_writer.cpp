#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/synthesis.h"
#include "core/morse.h"
#include "core/timing.h"
#include "receive/wav_writer.h"

namespace kb {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::string tag(const std::uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p), 4);
}

RecordFormat format(int channels, int bits, int divisor) {
    RecordFormat f;
    f.channels = static_cast<std::uint8_t>(channels);
    f.bits = static_cast<std::uint8_t>(bits);
    f.rateDivisor = static_cast<std::uint8_t>(divisor);
    return f;
}

struct HeaderRow {
    int channels, bits, divisor;
    std::uint32_t rate, byteRate;
    std::uint16_t blockAlign;
};

void PrintTo(const HeaderRow& r, std::ostream* os) {
    *os << r.channels << " ch " << r.bits << " bits " << r.rate << " Hz";
}

class WavHeader : public testing::TestWithParam<HeaderRow> {};

TEST_P(WavHeader, FieldsAtTheirOffsets) {
    const HeaderRow& r = GetParam();
    const auto h = wavHeader(format(r.channels, r.bits, r.divisor), 123456);
    ASSERT_EQ(h.size(), 44u);
    EXPECT_EQ(tag(&h[0]), "RIFF");
    EXPECT_EQ(le32(&h[4]), 123456u + 36u);
    EXPECT_EQ(tag(&h[8]), "WAVE");
    EXPECT_EQ(tag(&h[12]), "fmt ");
    EXPECT_EQ(le32(&h[16]), 16u);
    EXPECT_EQ(le16(&h[20]), 1u);
    EXPECT_EQ(le16(&h[22]), r.channels);
    EXPECT_EQ(le32(&h[24]), r.rate);
    EXPECT_EQ(le32(&h[28]), r.byteRate);
    EXPECT_EQ(le16(&h[32]), r.blockAlign);
    EXPECT_EQ(le16(&h[34]), r.bits);
    EXPECT_EQ(tag(&h[36]), "data");
    EXPECT_EQ(le32(&h[40]), 123456u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavHeader,
    testing::Values(HeaderRow{2, 16, 1, 22050, 88200, 4}, HeaderRow{1, 8, 2, 11025, 11025, 1},
                    HeaderRow{1, 8, 1, 22050, 22050, 1}, HeaderRow{1, 16, 1, 22050, 44100, 2},
                    HeaderRow{2, 8, 1, 22050, 44100, 2}, HeaderRow{2, 16, 2, 11025, 44100, 4},
                    HeaderRow{1, 16, 2, 11025, 22050, 2}));

TEST(WavHeader, LargestSizeIsWrittenLittleEndian) {
    const auto h = wavHeader(format(1, 8, 1), 0xFFFFFFFFu - 36u);
    EXPECT_EQ(le32(&h[4]), 0xFFFFFFFFu);
    EXPECT_EQ(h[40], 0xDB);
    EXPECT_EQ(h[43], 0xFF);
}

TEST(RecordDurations, FramesTimesChannelsWithTheRemainderDroppedAt11025) {
    // 48 wpm: dash 1562, dot 521, gap 521 frames.
    const ElementDurations d = elementDurations(speedFactor(48), 3);
    const RecordDurations m22 = recordDurations(d, format(1, 8, 1));
    EXPECT_EQ(m22.dash, 1562);
    EXPECT_EQ(m22.dot, 521);
    EXPECT_EQ(m22.gap, 521);
    const RecordDurations s22 = recordDurations(d, format(2, 16, 1));
    EXPECT_EQ(s22.dash, 3124);
    EXPECT_EQ(s22.dot, 1042);
    const RecordDurations m11 = recordDurations(d, format(1, 16, 2));
    EXPECT_EQ(m11.dash, 781);
    EXPECT_EQ(m11.dot, 260);
    EXPECT_EQ(m11.gap, 260);
    const RecordDurations s11 = recordDurations(d, format(2, 8, 2));
    EXPECT_EQ(s11.dot, 520);
}

class Recording : public testing::Test {
protected:
    Recording() { tone.rebuild(ToneParams{}); }

    std::vector<std::uint8_t> render(const std::string& text, const RecordFormat& f,
                                     const TimingSettings& t = {}) {
        const RecordDurations rd =
            recordDurations(elementDurations(speedFactor(t.speed), t.weightRatio), f);
        const RecordSpacing sp{t.spacing, t.wordSpacingFactor};
        std::vector<std::uint8_t> out;
        for (char c : text) {
            const std::size_t before = out.size();
            const std::size_t n =
                renderRecordCharacter(out, static_cast<unsigned char>(c), morse, tone, rd, f, sp);
            EXPECT_EQ(n, out.size() - before);
        }
        EXPECT_EQ(out.size(), recordDataSize(text, morse, rd, f, sp)) << "size before writing";
        return out;
    }

    std::uint64_t size(const std::string& text, const RecordFormat& f,
                       const TimingSettings& t = {}) {
        const RecordDurations rd =
            recordDurations(elementDurations(speedFactor(t.speed), t.weightRatio), f);
        return recordDataSize(text, morse, rd, f, {t.spacing, t.wordSpacingFactor});
    }

    MorseTable morse;
    ToneTable tone;
};

TEST_F(Recording, EBlankEAtMono8Bits22050) {
    // 12 wpm: nDot = nGap = 2083. Two times (2083 + 2083 + 2 x 2083), plus 3 x 2083.
    EXPECT_EQ(size("E E", format(1, 8, 1)), 2u * (2083 + 2083 + 2 * 2083) + 3 * 2083);
    EXPECT_EQ(render("E E", format(1, 8, 1)).size(), 22913u);
}

TEST_F(Recording, SpacingAndWordFactorEnterTheSize) {
    TimingSettings t;
    t.spacing = 3;            // CharGapUnits 8
    t.wordSpacingFactor = 2;  // blank 6 gaps
    EXPECT_EQ(size("E E", format(1, 8, 1), t), 2u * (2083 + 2083 + 8 * 2083) + 6 * 2083);
    EXPECT_EQ(render("E E", format(1, 8, 1), t).size(), 2u * (2083 + 2083 + 8 * 2083) + 6 * 2083);
}

TEST_F(Recording, CharactersWithoutACodeAddNothingNotEvenAGap) {
    EXPECT_EQ(size("e\r\n&e#", format(1, 8, 1)), size("ee", format(1, 8, 1)));
    EXPECT_EQ(render("e\r\n&e#", format(1, 16, 1)), render("ee", format(1, 16, 1)));
    EXPECT_EQ(size("\r\n", format(2, 16, 1)), 0u);
}

TEST_F(Recording, Stereo16IsFourTimesMono8) {
    const std::string text = "cq de f5abc 599 73/88 ?.,";
    for (int divisor : {1, 2}) {
        for (int speed : {5, 12, 16, 48, 50}) {
            TimingSettings t;
            t.speed = speed;
            EXPECT_EQ(size(text, format(2, 16, divisor), t),
                      4 * size(text, format(1, 8, divisor), t));
            EXPECT_EQ(size(text, format(1, 16, divisor), t),
                      2 * size(text, format(1, 8, divisor), t));
            EXPECT_EQ(size(text, format(2, 8, divisor), t),
                      2 * size(text, format(1, 8, divisor), t));
        }
    }
}

TEST_F(Recording, At11025EveryLengthIsHalvedFirst) {
    // 48 wpm "t": dash 1562 frames -> 781, gap 521 -> 260; t = 781 + 260 + 2 x 260.
    TimingSettings t;
    t.speed = 48;
    EXPECT_EQ(size("t", format(1, 8, 2), t), 781u + 3 * 260);
    EXPECT_EQ(size("t", format(1, 8, 1), t), 1562u + 3 * 521);
}

TEST(RecordSize, DisplayText) {
    EXPECT_EQ(formatRecordSize(123456), "123 456  bytes");
    EXPECT_EQ(formatRecordSize(1234567), "1 234 567  bytes");
    EXPECT_EQ(formatRecordSize(0), "0  bytes");
    EXPECT_EQ(formatRecordSize(999), "999  bytes");
    EXPECT_EQ(formatRecordSize(1000), "1 000  bytes");
    EXPECT_EQ(formatRecordSize(12345), "12 345  bytes");
    EXPECT_EQ(formatRecordSize(4294967295u), "4 294 967 295  bytes");
}

TEST_F(Recording, Mono16ValuesAreTheLeftToneValuesWithTheFall) {
    // "e" at 20 wpm: 1250 frames of tone, then 3750 of silence.
    const std::vector<std::uint8_t> out =
        render("e", format(1, 16, 1), TimingSettings{20, 1, 1, 3});
    ASSERT_EQ(out.size(), 2u * 5000);
    auto value = [&](int k) {
        return static_cast<std::int16_t>(out[2 * k] | (out[2 * k + 1] << 8));
    };
    const int n = 1250;
    for (int k = 0; k < n - 50; ++k) ASSERT_EQ(value(k), tone[2 * k]) << k;
    for (int k = n - 50; k < n; ++k) {
        const int j = n - 1 - k;  // frames still to come
        ASSERT_EQ(value(k), applyFall(tone[2 * k], 2 * j)) << k;
    }
    EXPECT_EQ(value(n - 1), 0);
    for (int k = n; k < 5000; ++k) ASSERT_EQ(value(k), 0) << k;
}

TEST_F(Recording, StereoCarriesTheSameValueOnBothChannelsAndFallsPerFrame) {
    const std::vector<std::uint8_t> out =
        render("t", format(2, 16, 1), TimingSettings{50, 1, 1, 3});  // dash 1500 frames
    auto value = [&](int k) {
        return static_cast<std::int16_t>(out[2 * k] | (out[2 * k + 1] << 8));
    };
    const int n = 3000;
    for (int k = 0; k < n; k += 2) {
        ASSERT_EQ(value(k), value(k + 1)) << k;
        const int frame = k / 2;
        const int j = 1499 - frame;
        ASSERT_EQ(value(k), applyFall(tone[2 * frame], 2 * j)) << "frame " << frame;
    }
    EXPECT_EQ(value(n - 1), 0);
    EXPECT_EQ(value(n - 2), 0);
}

TEST_F(Recording, At11025EverySecondTableFrameIsUsed) {
    const std::vector<std::uint8_t> out =
        render("t", format(1, 16, 2), TimingSettings{50, 1, 1, 3});
    auto value = [&](int k) {
        return static_cast<std::int16_t>(out[2 * k] | (out[2 * k + 1] << 8));
    };
    const int n = 750;
    for (int k = 0; k < n - 50; ++k) ASSERT_EQ(value(k), tone[4 * k]) << k;
    EXPECT_EQ(value(n - 1), 0);
}

TEST_F(Recording, EightBitValueIsTheHighByteOfTheSixteenBitValuePlus128) {
    const TimingSettings t{20, 1, 1, 3};
    for (int channels : {1, 2}) {
        const std::vector<std::uint8_t> v16 = render("a b", format(channels, 16, 1), t);
        const std::vector<std::uint8_t> v8 = render("a b", format(channels, 8, 1), t);
        ASSERT_EQ(v16.size(), 2 * v8.size());
        int negative = 0;
        for (std::size_t k = 0; k < v8.size(); ++k) {
            const std::uint8_t high = v16[2 * k + 1];
            ASSERT_EQ(v8[k], static_cast<std::uint8_t>((high + 128) % 256)) << k;
            negative += (high & 0x80) != 0;
        }
        EXPECT_GT(negative, 0) << "negative values were covered";
    }
    // Silence is 128 in 8 bits.
    const std::vector<std::uint8_t> blank = render(" ", format(1, 8, 1), t);
    ASSERT_FALSE(blank.empty());
    for (std::uint8_t b : blank) ASSERT_EQ(b, 128);
}

}  // namespace
}  // namespace kb
