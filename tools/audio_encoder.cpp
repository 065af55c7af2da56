#include "tools/audio_encoder.h"

#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

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
        if (resampler_) soxr_delete(resampler_);
    }
    SndfileEncoder(const SndfileEncoder&) = delete;
    SndfileEncoder& operator=(const SndfileEncoder&) = delete;

    bool open(Container c, int fd, int quality, bool seekable) {
        SF_INFO info{};
        info.channels = format_.channels;
        info.samplerate = static_cast<int>(format_.rate());
        switch (c) {
            case Container::Flac:
                // The WAV's own sample width, so that FLAC holds its samples bit for bit.
                info.format =
                    SF_FORMAT_FLAC | (format_.bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
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
        fd_ = fd;
        if (seekable) {
            static SF_VIRTUAL_IO io{fileLength, seekTo, readNothing, writeOut, tellAt};
            file_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
        } else {
            // libsndfile leaves out what needs a seek (the final header of FLAC and MP3)
            // only when it sees the pipe itself.
            file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
        }
        if (!file_) {
            error_ = writeErrno_ ? std::strerror(writeErrno_) : sf_strerror(nullptr);
            return false;
        }
        if (isLossy(c)) {
            // libsndfile's scale runs the other way: 0 is the best sound.
            double level = 1.0 - quality / 10.0;
            if (c == Container::Opus) {
                // For Opus libsndfile reads the level as a bitrate from 256 kbit/s down to
                // 6; one tone needs far less than music. 12 to 62 kbit/s, 32 by default.
                level = 1.0 - (12.0 + 5.0 * quality - 6.0) / 250.0;
            }
            sf_command(file_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
            if (c == Container::Mp3) {
                // A variable rate needs its header rewritten at the end, which a pipe
                // cannot take: players would take the file's length from its first frame.
                int mode = seekable ? SF_BITRATE_MODE_VARIABLE : SF_BITRATE_MODE_CONSTANT;
                sf_command(file_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
            }
        }
        if (info.samplerate != static_cast<int>(format_.rate())) {
            soxr_error_t err = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
            resampler_ = soxr_create(format_.rate(), info.samplerate, format_.channels, &err, &io,
                                     &q, nullptr);
            if (err) {
                error_ = err;
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
        if (writeErrno_) return failed();
        if (closed != 0) {
            error_ = sf_error_number(closed);
            return false;
        }
        return true;
    }

private:
    static constexpr std::size_t kChunkFrames = 8192;

    // The file is written through these rather than handed to libsndfile as a descriptor,
    // because some encoders (LAME) drop write errors: the first one is kept here, so a
    // full disk is never reported as a finished file.
    static SndfileEncoder& self(void* p) { return *static_cast<SndfileEncoder*>(p); }
    static sf_count_t fileLength(void* p) {
        struct stat st {};
        if (::fstat(self(p).fd_, &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
        return self(p).written_;
    }
    static sf_count_t seekTo(sf_count_t offset, int whence, void* p) {
        const off_t at = ::lseek(self(p).fd_, offset, whence);
        return at < 0 ? -1 : at;
    }
    static sf_count_t readNothing(void*, sf_count_t, void*) { return 0; }
    static sf_count_t writeOut(const void* data, sf_count_t n, void* p) {
        SndfileEncoder& e = self(p);
        if (e.writeErrno_) return 0;
        if (!writeAll(e.fd_, data, static_cast<std::size_t>(n))) {
            e.writeErrno_ = errno;
            return 0;
        }
        e.written_ += n;
        return n;
    }
    static sf_count_t tellAt(void* p) {
        const off_t at = ::lseek(self(p).fd_, 0, SEEK_CUR);
        return at < 0 ? self(p).written_ : at;
    }

    bool failed() {
        error_ = writeErrno_ ? std::strerror(writeErrno_) : sf_strerror(file_);
        return false;
    }

    bool writeFrames(const std::uint8_t* data, std::size_t frames) {
        const std::size_t values = frames * format_.channels;
        shorts_.resize(values);
        if (format_.bits == 8) {
            for (std::size_t k = 0; k < values; ++k) {
                shorts_[k] = static_cast<short>((data[k] - 128) * 256);
            }
        } else {
            for (std::size_t k = 0; k < values; ++k) {
                shorts_[k] = static_cast<short>(
                    static_cast<std::uint16_t>(data[2 * k] | data[2 * k + 1] << 8));
            }
        }
        if (resampler_) return resample(shorts_.data(), frames, false);
        if (sf_writef_short(file_, shorts_.data(), static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames)) {
            return failed();
        }
        return !writeErrno_ || failed();
    }

    // Passes frames through the resampler (nullptr, 0 at the end drains it).
    bool resample(const short* in, std::size_t frames, bool last) {
        std::size_t used = 0;
        for (;;) {
            const std::size_t room = static_cast<std::size_t>((frames - used) * ratio_) + 1024;
            floats_.resize(room * format_.channels);
            std::size_t inDone = 0;
            std::size_t outDone = 0;
            const soxr_error_t err =
                soxr_process(resampler_, last ? nullptr : in + used * format_.channels,
                             frames - used, &inDone, floats_.data(), room, &outDone);
            if (err) {
                error_ = err;
                return false;
            }
            used += inDone;
            if (outDone > 0 &&
                sf_writef_float(file_, floats_.data(), static_cast<sf_count_t>(outDone)) !=
                    static_cast<sf_count_t>(outDone)) {
                error_ = sf_strerror(file_);
                return false;
            }
            if (last ? outDone == 0 : used >= frames) return true;
        }
    }

    RecordFormat format_;
    int fd_ = -1;
    sf_count_t written_ = 0;
    int writeErrno_ = 0;
    SNDFILE* file_ = nullptr;
    soxr_t resampler_ = nullptr;
    double ratio_ = 1.0;
    std::vector<short> shorts_;
    std::vector<float> floats_;
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
                                          std::uint64_t dataBytes, int quality, bool seekable,
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
    if (!enc->open(c, fd, quality, seekable)) {
        error = enc->error();
        return nullptr;
    }
    return enc;
}

}  // namespace kb::render
