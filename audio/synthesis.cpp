#include "audio/synthesis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kb {

Real levelGain(int levelDb) {
    return std::pow(10.0L, static_cast<Real>(levelDb) / 20.0L);
}

void ToneTable::rebuild(const ToneParams& params) {
    params_ = params;
    constexpr Real twoPi = 2.0L * std::numbers::pi_v<Real>;
    constexpr Real rate = OutputRate;
    for (int k = 0; k < ToneTableFrames; ++k) {
        const Real kk = static_cast<Real>(k);
        Real v;
        if (params.type == ToneType::Examination) {
            v = (0.214L * std::sin(twoPi * kk * ExamToneBase / rate) +
                 0.557L * std::sin(twoPi * kk * 2.0L * ExamToneBase / rate) +
                 0.228L * std::sin(twoPi * kk * 3.0L * ExamToneBase / rate)) *
                32767.0L;
        } else {
            v = std::sin(twoPi * kk * params.pitch / rate) * 32767.0L;
        }
        const auto s = static_cast<std::int16_t>(nearest(v * params.levelGain));
        values_[2 * k] = s;
        values_[2 * k + 1] = s;
    }
    for (int k = 0; k < RiseFrames; ++k) {
        const Real risen = static_cast<Real>(k + 1) * static_cast<Real>(values_[2 * k]) / 50.0L;
        const auto s = static_cast<std::int16_t>(nearest(risen));
        values_[2 * k] = s;
        values_[2 * k + 1] = s;
    }
}

void SoundTables::rebuild() {
    tone_.rebuild(params_);
    noise_.rebuild(noiseParams_, random_);
    ++rebuilds_;
}

void SoundTables::setNoise(const NoiseParams& noise) {
    noiseParams_ = noise;
    rebuild();
}

void SoundTables::setPitch(Real pitch, ToneType type) {
    params_.pitch = pitch;
    params_.type = type;
    rebuild();
}

bool SoundTables::setLevelGain(Real gain) {
    if (gain == params_.levelGain) return false;
    params_.levelGain = gain;
    rebuild();
    return true;
}

int fillCharacter(CharBuffer& buffer, const ToneTable& tone, std::string_view code,
                  const ElementDurations& d, int trailingGaps) {
    std::int16_t* out = buffer.data();
    const int cap = CharBuffer::capacity();
    int h = 0;
    auto silence = [&](int n) {
        n = std::min(n, cap - h);
        std::memset(out + h, 0, static_cast<std::size_t>(n) * sizeof *out);
        h += n;
    };
    for (char e : code) {
        const int len = std::min({e == '-' ? d.dash : d.dot, ToneTableValues, cap - h});
        const int plain = std::max(0, len - 2 * RiseFrames);
        std::memcpy(out + h, tone.data(), static_cast<std::size_t>(plain) * sizeof *out);
        for (int i = plain; i < len; ++i) out[h + i] = applyFall(tone[i], len - 1 - i);
        h += len;
        silence(d.gap);
    }
    silence(trailingGaps * d.gap);
    buffer.setUsed(h);
    return h;
}

int fillCharacter(CharBuffer& buffer, const ToneTable& tone, std::string_view code,
                  const ElementDurations& d, int trailingGaps, const FillEffects& fx) {
    if (!fx.noise && !fx.fading) return fillCharacter(buffer, tone, code, d, trailingGaps);
    std::int16_t* out = buffer.data();
    const int cap = CharBuffer::capacity();
    int h = 0;
    // A gap: fresh noise at each frame (then the hold steps), or silence.
    auto gap = [&](int n, bool holdAtFirst) {
        n = std::min(n, cap - h);
        for (int i = 0; i + 1 < n; i += 2) {
            if (fx.noise) {
                out[h] = noiseValue(*fx.random, fx.noiseParams.amplitude);
                if (h > 0 && (holdAtFirst || i > 0)) applyNoiseHold(out, h, fx.noiseParams.hold);
            } else {
                out[h] = 0;
            }
            out[h + 1] = out[h];
            h += 2;
        }
    };
    for (char e : code) {
        const int len = std::min({e == '-' ? d.dash : d.dot, ToneTableValues, cap - h});
        for (int i = 0; i + 1 < len; i += 2) {
            int s = applyFall(tone[i], len - 1 - i);
            if (fx.fading) s = static_cast<int>(nearest(static_cast<Real>(s) * fx.fadingGain));
            if (fx.noise) s = std::clamp(s + (*fx.noise)[i], -32767, 32767);
            out[h] = static_cast<std::int16_t>(s);
            out[h + 1] = out[h];
            h += 2;
        }
        gap(d.gap, false);
    }
    gap(trailingGaps * d.gap, true);
    buffer.setUsed(h);
    return h;
}

}  // namespace kb
