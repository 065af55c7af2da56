#include "tools/audio_encoder.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "tools/output_file.h"

namespace kb::render {
namespace {

struct ContainerName {
    Container container;
    const char* name;
};
constexpr std::array<ContainerName, 5> kNames{{{Container::Wav, "wav"},
                                               {Container::Flac, "flac"},
                                               {Container::Ogg, "ogg"},
                                               {Container::Opus, "opus"},
                                               {Container::Mp3, "mp3"}}};

class WavEncoder final : public AudioEncoder {
public:
    WavEncoder(int fd, const RecordFormat& f, std::uint64_t dataBytes) : fd_(fd) {
        const auto header = wavHeader(f, static_cast<std::uint32_t>(dataBytes));
        headerOk_ = writeAll(fd_, header.data(), header.size());
        if (!headerOk_) error_ = std::strerror(errno);
    }
    bool write(const std::uint8_t* data, std::size_t bytes) override {
        if (!headerOk_) return false;
        if (writeAll(fd_, data, bytes)) return true;
        error_ = std::strerror(errno);
        return false;
    }
    bool finish() override { return headerOk_; }

private:
    int fd_;
    bool headerOk_ = false;
};

// Opus takes 8, 12, 16, 24 or 48 kHz; the next one up from the WAV's rate keeps all of
// its band (noise included).
int opusRate(std::uint32_t rate) {
    for (int r : {8000, 12000, 16000, 24000, 48000}) {
        if (static_cast<std::uint32_t>(r) >= rate) return r;
    }
    return 48000;
}

class SndfileEncoder final : public AudioEncoder {
public:
    SndfileEncoder(const RecordFormat& f) : format_(f) {}
    ~SndfileEncoder() override {
        if (file_) sf_close(file_);
        if (resampler_) src_delete(resampler_);
    }
    SndfileEncoder(const SndfileEncoder&) = delete;
    SndfileEncoder& operator=(const SndfileEncoder&) = delete;

    bool open(Container c, int fd, int quality) {
        SF_INFO info{};
        info.channels = format_.channels;
        info.samplerate = static_cast<int>(format_.rate());
        switch (c) {
            case Container::Flac:
                // The WAV's own sample width, so that FLAC holds its samples bit for bit.
                info.format = SF_FORMAT_FLAC | (format_.bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
                break;
            case Container::Ogg: info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS; break;
            case Container::Opus:
                info.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
                info.samplerate = opusRate(format_.rate());
                break;
            case Container::Mp3: info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III; break;
            case Container::Wav: break;
        }
        if (!sf_format_check(&info)) {
            error_ = "this libsndfile cannot write that format";
            return false;
        }
        file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
        if (!file_) {
            error_ = sf_strerror(nullptr);
            return false;
        }
        if (isLossy(c)) {
            // libsndfile's scale runs the other way: 0 is the best sound.
            double level = 1.0 - quality / 10.0;
            sf_command(file_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
            if (c == Container::Mp3) {
                int mode = SF_BITRATE_MODE_VARIABLE;
                sf_command(file_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
            }
        }
        if (info.samplerate != static_cast<int>(format_.rate())) {
            int err = 0;
            resampler_ = src_new(SRC_SINC_FASTEST, format_.channels, &err);
            if (!resampler_) {
                error_ = src_strerror(err);
                return false;
            }
            ratio_ = static_cast<double>(info.samplerate) / format_.rate();
        }
        return true;
    }

    bool write(const std::uint8_t* data, std::size_t bytes) override {
        const std::size_t frames = bytes / format_.blockAlign();
        // Whole frames at a time; libvorbis has been seen to fail on one huge write.
        for (std::size_t done = 0; done < frames; done += kChunkFrames) {
            const std::size_t n = std::min(kChunkFrames, frames - done);
            if (!writeFrames(data + done * format_.blockAlign(), n)) return false;
        }
        return true;
    }

    bool finish() override {
        if (resampler_ && !resample(nullptr, 0, true)) return false;
        const int closed = sf_close(std::exchange(file_, nullptr));
        if (closed != 0) {
            error_ = sf_error_number(closed);
            return false;
        }
        return true;
    }

private:
    static constexpr std::size_t kChunkFrames = 8192;

    bool writeFrames(const std::uint8_t* data, std::size_t frames) {
        const std::size_t values = frames * format_.channels;
        shorts_.resize(values);
        if (format_.bits == 8) {
            for (std::size_t k = 0; k < values; ++k) {
                shorts_[k] = static_cast<short>((data[k] - 128) * 256);
            }
        } else {
            for (std::size_t k = 0; k < values; ++k) {
                shorts_[k] = static_cast<short>(static_cast<std::uint16_t>(data[2 * k] |
                                                                           data[2 * k + 1] << 8));
            }
        }
        if (resampler_) return resample(shorts_.data(), frames, false);
        if (sf_writef_short(file_, shorts_.data(), static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames)) {
            error_ = sf_strerror(file_);
            return false;
        }
        return true;
    }

    bool resample(const short* in, std::size_t frames, bool last) {
        const std::size_t values = frames * format_.channels;
        floatsIn_.resize(values);
        if (values > 0) src_short_to_float_array(in, floatsIn_.data(), static_cast<int>(values));
        std::size_t used = 0;
        do {
            const std::size_t room = (frames - used) * 2 + 1024;
            floatsOut_.resize(room * format_.channels);
            SRC_DATA d{};
            d.data_in = floatsIn_.data() + used * format_.channels;
            d.input_frames = static_cast<long>(frames - used);
            d.data_out = floatsOut_.data();
            d.output_frames = static_cast<long>(room);
            d.end_of_input = last ? 1 : 0;
            d.src_ratio = ratio_;
            if (const int err = src_process(resampler_, &d); err != 0) {
                error_ = src_strerror(err);
                return false;
            }
            used += static_cast<std::size_t>(d.input_frames_used);
            if (d.output_frames_gen > 0 &&
                sf_writef_float(file_, floatsOut_.data(), d.output_frames_gen) !=
                    d.output_frames_gen) {
                error_ = sf_strerror(file_);
                return false;
            }
            // At the end the resampler drains its delay line over several calls.
            if (last && d.output_frames_gen == 0) break;
        } while (used < frames || last);
        return true;
    }

    RecordFormat format_;
    SNDFILE* file_ = nullptr;
    SRC_STATE* resampler_ = nullptr;
    double ratio_ = 1.0;
    std::vector<short> shorts_;
    std::vector<float> floatsIn_;
    std::vector<float> floatsOut_;
};

}  // namespace

std::optional<Container> containerNamed(std::string_view name) {
    for (const ContainerName& n : kNames) {
        if (name == n.name) return n.container;
    }
    return std::nullopt;
}

std::optional<Container> containerOfFileName(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return std::nullopt;
    }
    std::string ext(name.substr(dot + 1));
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == "oga") return Container::Ogg;
    return containerNamed(ext);
}

const char* extensionOf(Container c) {
    for (const ContainerName& n : kNames) {
        if (n.container == c) return n.name;
    }
    return "wav";
}

bool isLossy(Container c) {
    return c == Container::Ogg || c == Container::Opus || c == Container::Mp3;
}

std::unique_ptr<AudioEncoder> makeEncoder(Container c, int fd, const RecordFormat& format,
                                          std::uint64_t dataBytes, int quality,
                                          std::string& error) {
    if (c == Container::Wav) {
        auto wav = std::make_unique<WavEncoder>(fd, format, dataBytes);
        if (!wav->error().empty()) {
            error = wav->error();
            return nullptr;
        }
        return wav;
    }
    auto enc = std::make_unique<SndfileEncoder>(format);
    if (!enc->open(c, fd, quality)) {
        error = enc->error();
        return nullptr;
    }
    return enc;
}

}  // namespace kb::render
