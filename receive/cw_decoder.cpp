#include "receive/cw_decoder.h"

#include <algorithm>
#include <string_view>

#include "core/cp1252.h"

namespace kb {
namespace {

// The prosign slots of the Morse table, written as their bracketed names; they come
// before every character, so a code they share (eight dots and "<") reads as the sign.
constexpr std::array<std::string_view, 4> kProsigns{"[AS]", "[HH]", "[KN]", "[VA]"};

std::uint8_t magnitude(std::uint8_t sample) {
    return static_cast<std::uint8_t>(sample >= 128 ? sample - 128 : 128 - sample);
}

}  // namespace

void CwDecoder::Window::clear() {
    entries.fill(0);
    next = 0;
    envelope = 0;
}

void CwDecoder::Window::push(std::uint8_t sample) {
    entries[static_cast<std::size_t>(next)] = magnitude(sample);
    next = (next + 1) % WindowLength;
    envelope = *std::max_element(entries.begin(), entries.end());
}

CwDecoder::CwDecoder(const MorseTable& morse) : morse_(morse) {
    startMonitoring();
    startUp();
}

void CwDecoder::startUp() {
    dotReference_ = -1;
    wordEnded_ = false;
    inTone_ = true;
    codeSoFar_.clear();
    gapReference_ = -1;
}

void CwDecoder::startMonitoring() {
    left_.clear();
    right_.clear();
    markStart_ = -1;
    markEnd_ = -1;
    wordEnded_ = false;
    inTone_ = true;
    codeSoFar_.clear();
    bufferBase_ = 0;
    lastFrameCount_ = 0;
}

void CwDecoder::setThreshold(int threshold) {
    threshold_ = std::clamp(threshold, 0, 127);
}

void CwDecoder::setRightChannel(bool right) {
    rightChannel_ = right;
}

void CwDecoder::setUpperCase(bool upper) {
    upperCase_ = upper;
}

void CwDecoder::decodeBuffer(const std::uint8_t* frames, int frameCount, std::string& out) {
    // Positions count from the first frame of the buffer in which the character began; with
    // no character under way each buffer starts again at 0, so the count stays small however
    // long the monitor runs. A pending mark end is always part of a character under way
    // (every reset clears it with the mark start), so no position is lost by that restart.
    bufferBase_ = markStart_ == -1 ? 0 : bufferBase_ + lastFrameCount_;
    lastFrameCount_ = frameCount;
    for (int f = 0; f < frameCount; ++f) {
        left_.push(frames[2 * f]);
        right_.push(frames[2 * f + 1]);
        const int level = rightChannel_ ? right_.envelope : left_.envelope;
        if (level < threshold_ && inTone_) {
            toneEnds(bufferBase_ + f);
        } else if (level >= threshold_ && !inTone_) {
            toneStarts(f, out);
        } else {
            silence(bufferBase_ + f, out);
        }
    }
}

void CwDecoder::toneEnds(int position) {
    inTone_ = false;
    // A tone that began before the monitor started, or inside a dropped character.
    if (markStart_ == -1) return;
    markEnd_ = position;
    const int markLength = markEnd_ - markStart_;
    if (markLength < MinimumDuration) {
        reset();
        return;
    }
    if (gapReference_ == -1) {
        // The first element of a character sets the gap to expect inside it. With no dot
        // length learnt yet the tone can only be taken for a dot; the next gap corrects it.
        if (dotReference_ != -1 && markLength > 2 * dotReference_) {
            codeSoFar_.push_back('-');
            dotReference_ = (markLength + 1) / 3;  // a third of the dash, rounded
            gapReference_ = dotReference_;
        } else {
            codeSoFar_.push_back('.');
            dotReference_ = markLength;
            gapReference_ = markLength;
        }
        wordEnded_ = false;
    } else if (markLength > 2 * dotReference_) {
        codeSoFar_.push_back('-');
    } else {
        codeSoFar_.push_back('.');
        wordEnded_ = false;
    }
}

void CwDecoder::toneStarts(int f, std::string& out) {
    inTone_ = true;
    markStart_ = bufferBase_ + f;
    if (markEnd_ == -1 || gapReference_ == -1) return;
    const int spaceLength = markStart_ - markEnd_;
    if (spaceLength < MinimumDuration) {
        // A break in a tone: the character and the tone just begun are both dropped.
        reset();
    } else if (spaceLength > 2 * gapReference_) {
        // The gap between two characters: the new character's positions count from here.
        bufferBase_ = 0;
        markStart_ = f;
        wordEnded_ = false;
        writeCode(false, out);
        codeSoFar_.clear();
        markEnd_ = -1;
        gapReference_ = -1;
    } else if (gapReference_ > 2 * spaceLength) {
        // A gap under half the first tone: that tone was a dash, and so was every element
        // read so far.
        gapReference_ = spaceLength;
        dotReference_ = spaceLength;
        std::fill(codeSoFar_.begin(), codeSoFar_.end(), '-');
    } else {
        gapReference_ = spaceLength;
    }
}

void CwDecoder::silence(int position, std::string& out) {
    if (inTone_ || wordEnded_ || codeSoFar_.empty()) return;
    if (position - markEnd_ > 6 * gapReference_) {
        wordEnded_ = true;
        writeCode(true, out);
        reset();
    }
}

void CwDecoder::reset() {
    codeSoFar_.clear();
    bufferBase_ = 0;
    markStart_ = -1;
    markEnd_ = -1;
    gapReference_ = -1;
}

void CwDecoder::writeCode(bool wordEnd, std::string& out) const {
    // An empty code would match the first code-less slot.
    if (codeSoFar_.empty()) return;
    for (int index = 0; index < 256; ++index) {
        const auto c = static_cast<unsigned char>(index);
        if (morse_.code(c) != codeSoFar_) continue;
        if (c >= WaitSign && c <= EndOfWorkSign) {
            out.append(kProsigns[static_cast<std::size_t>(c - WaitSign)]);
        } else {
            out.push_back(static_cast<char>(upperCase_ ? upperCp1252(c) : lowerCp1252(c)));
        }
        if (wordEnd) out.push_back(' ');
        return;
    }
}

}  // namespace kb
