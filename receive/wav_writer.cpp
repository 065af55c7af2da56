#include "receive/wav_writer.h"

namespace kb {
namespace {

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, static_cast<std::uint16_t>(v));
    put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

void appendValue(std::vector<std::uint8_t>& out, std::int16_t v, const RecordFormat& f) {
    const auto u = static_cast<std::uint16_t>(v);
    if (f.bits == 16) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    } else {
        out.push_back(static_cast<std::uint8_t>((u >> 8) + 128));
    }
}

void appendSilence(std::vector<std::uint8_t>& out, int values, const RecordFormat& f) {
    out.insert(out.end(), static_cast<std::size_t>(values) * f.bytesPerValue(),
               f.bits == 16 ? 0 : 128);
}

void appendElement(std::vector<std::uint8_t>& out, int n, const ToneTable& tone,
                   const RecordFormat& f) {
    const int ch = f.channels;
    for (int k = 0; k < n; ++k) {
        // Left value of table frame (k / channels) x divisor, then the fall.
        std::int16_t s = tone[2 * ((k / ch) * f.rateDivisor)];
        const int remaining = n - 1 - k;
        if (remaining < ch * RiseFrames) {
            const Real scale = static_cast<Real>(remaining / ch) / 50.0L;
            s = static_cast<std::int16_t>(nearest(static_cast<Real>(s) * scale));
        }
        appendValue(out, s, f);
    }
}

}  // namespace

RecordDurations recordDurations(const ElementDurations& d, const RecordFormat& f) {
    auto conv = [&](int values) { return ((values / 2) / f.rateDivisor) * f.channels; };
    return {conv(d.dash), conv(d.dot), conv(d.gap)};
}

std::array<std::uint8_t, WavHeaderSize> wavHeader(const RecordFormat& f, std::uint32_t dataSize) {
    std::array<std::uint8_t, WavHeaderSize> h{};
    auto tag = [&](int at, const char* s) {
        for (int k = 0; k < 4; ++k) h[at + k] = static_cast<std::uint8_t>(s[k]);
    };
    tag(0, "RIFF");
    put32(&h[4], dataSize + 36);
    tag(8, "WAVE");
    tag(12, "fmt ");
    put32(&h[16], 16);
    put16(&h[20], 1);
    put16(&h[22], f.channels);
    put32(&h[24], f.rate());
    put32(&h[28], f.bytesPerSecond());
    put16(&h[32], f.blockAlign());
    put16(&h[34], f.bits);
    tag(36, "data");
    put32(&h[40], dataSize);
    return h;
}

std::uint64_t recordDataSize(std::string_view text, const MorseTable& morse,
                             const RecordDurations& rd, const RecordFormat& f,
                             const RecordSpacing& sp) {
    std::uint64_t values = 0;
    const auto gap = static_cast<std::uint64_t>(rd.gap);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == Blank) {
            values += static_cast<std::uint64_t>(blankGapCount(sp.wordSpacingFactor)) * gap;
            continue;
        }
        for (char e : morse[c])
            values += static_cast<std::uint64_t>(e == '-' ? rd.dash : rd.dot) + gap;
        if (morse.hasCode(c)) values += static_cast<std::uint64_t>(charGapUnits(sp.spacing)) * gap;
    }
    return f.bits == 16 ? 2 * values : values;
}

std::string formatRecordSize(std::uint64_t bytes) {
    std::string digits = std::to_string(bytes);
    std::string out;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) out.push_back(' ');
        out.push_back(digits[k]);
    }
    return out + "  bytes";
}

std::size_t renderRecordCharacter(std::vector<std::uint8_t>& out, unsigned char c,
                                  const MorseTable& morse, const ToneTable& tone,
                                  const RecordDurations& rd, const RecordFormat& f,
                                  const RecordSpacing& sp) {
    const std::size_t before = out.size();
    if (c == Blank) {
        appendSilence(out, blankGapCount(sp.wordSpacingFactor) * rd.gap, f);
        return out.size() - before;
    }
    const std::string& code = morse[c];
    if (code.empty()) return 0;
    for (char e : code) {
        appendElement(out, e == '-' ? rd.dash : rd.dot, tone, f);
        appendSilence(out, rd.gap, f);
    }
    appendSilence(out, charGapUnits(sp.spacing) * rd.gap, f);
    return out.size() - before;
}

std::uint64_t convertedBufferSize(int valueCount, const RecordFormat& f) {
    const auto frames = static_cast<std::uint64_t>(valueCount / 2 / f.rateDivisor);
    return frames * f.channels * static_cast<std::uint64_t>(f.bytesPerValue());
}

std::size_t appendConvertedBuffer(std::vector<std::uint8_t>& out, const std::int16_t* values,
                                  int valueCount, const RecordFormat& f) {
    const std::size_t before = out.size();
    const int frames = valueCount / 2 / f.rateDivisor;
    const int n = frames * f.channels;
    for (int k = 0; k < n; ++k) appendValue(out, values[2 * ((k / f.channels) * f.rateDivisor)], f);
    return out.size() - before;
}

}  // namespace kb
