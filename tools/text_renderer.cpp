#include "tools/text_renderer.h"

#include <algorithm>

namespace kb::render {

TextRenderer::TextRenderer(const RenderSettings& s) : s_(s) {
    ToneParams params;
    params.pitch = static_cast<Real>(s.pitch);
    params.type = s.examTone ? ToneType::Examination : ToneType::Sine;
    params.levelGain = levelGain(s.levelDb);
    d_ = elementDurations(speedFactor(s.timing.speed), s.timing.weightRatio);
    rd_ = recordDurations(d_, s.format);
    sp_ = {s.timing.spacing, s.timing.wordSpacingFactor};
    character_.speed = s.timing.speed;
    character_.weightRatio = s.timing.weightRatio;
    character_.spacing = s.timing.spacing;
    character_.wordSpacingFactor = s.timing.wordSpacingFactor;
    character_.noise = s.noisePosition.has_value();
    character_.fading = s.qsbDepth.has_value();
    if (!s.bandConditions()) {
        tone_.rebuild(params);
        return;
    }
    random_.seed(s.seed ? *s.seed : clockSeed());
    tables_.setPitch(params.pitch, params.type);
    tables_.setLevelGain(params.levelGain);
    tables_.setNoise({noiseAmplitudeOfPosition(s.noisePosition.value_or(20)), s.noiseHold});
    if (s.qsbDepth) {
        fading_.depthDb = *s.qsbDepth;
        fading_.startRun(random_, s.timing.speed);
    }
}

std::uint64_t TextRenderer::characterBytes(unsigned char c) const {
    if (!s_.bandConditions()) {
        const char ch = static_cast<char>(c);
        return recordDataSize(std::string_view(&ch, 1), morse_, rd_, s_.format, sp_);
    }
    const int n = bufferValues(c);
    return n > 0 ? convertedBufferSize(n, s_.format) : 0;
}

bool TextRenderer::soundsAnything(const std::string& text) {
    static const MorseTable morse;
    return std::any_of(text.begin(), text.end(), [](char ch) {
        return morse.hasCode(static_cast<unsigned char>(ch)) &&
               static_cast<unsigned char>(ch) != Blank;
    });
}

void TextRenderer::append(std::vector<std::uint8_t>& out, unsigned char c) {
    if (!s_.bandConditions()) {
        renderRecordCharacter(out, c, morse_, tone_, rd_, s_.format, sp_);
        return;
    }
    if (bufferValues(c) == 0) return;
    const int n = fillOneCharacter(buffer_, schedule_, false, {tables_, random_, fading_},
                                   morse_[c], c == Blank, character_);
    appendConvertedBuffer(out, buffer_.data(), n, s_.format);
}

int TextRenderer::bufferValues(unsigned char c) const {
    const bool blank = c == Blank;
    if (!blank && !morse_.hasCode(c)) return 0;
    const int gaps = trailingGapCount(blank, character_);
    if (blank) return gaps * d_.gap;
    const int n = characterDuration(morse_[c], d_, gaps);
    return std::min(n, CharBuffer::capacity());
}

}  // namespace kb::render
