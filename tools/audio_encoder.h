#pragma once
// The file formats keybird-render writes. WAV is the recorder's own byte-exact writer;
// FLAC, Ogg Vorbis, Opus and MP3 go through libsndfile and are handed exactly the
// samples the WAV would hold (Opus, which takes only a few rates, through soxr).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "receive/wav_writer.h"

namespace kb::render {

enum class Container { Wav, Flac, Ogg, Opus, Mp3 };

// "wav", "flac", "ogg", "opus", "mp3".
std::optional<Container> containerNamed(std::string_view name);
// From a file name's extension (any case); nothing for an unknown or missing one.
std::optional<Container> containerOfFileName(std::string_view name);
const char* extensionOf(Container c);
bool isLossy(Container c);

// --quality 0..10: 10 is the best sound and the largest file. Morse is one tone (with
// noise at most), so the middle of the scale already sounds clean.
inline constexpr int DefaultQuality = 4;

// The WAV format holds at most this many bytes of samples.
inline constexpr std::uint64_t WavDataMax = 0xFFFFFFFFull - 36u;

class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;
    // Samples as the WAV holds them (unsigned 8-bit or little-endian signed 16-bit,
    // channels interleaved), whole frames per call.
    virtual bool write(const std::uint8_t* data, std::size_t bytes) = 0;
    // Ends the stream; the file is complete when this returns true.
    virtual bool finish() = 0;
    const std::string& error() const { return error_; }

protected:
    std::string error_;
};

// An encoder writing to fd (which it does not close). `dataBytes` is the WAV data size
// the caller will write (the WAV header needs it first); `seekable` is false for a pipe
// or a device. Nothing, with `error` set, when the format cannot be written.
std::unique_ptr<AudioEncoder> makeEncoder(Container c, int fd, const RecordFormat& format,
                                          std::uint64_t dataBytes, int quality, bool seekable,
                                          std::string& error);

}  // namespace kb::render
