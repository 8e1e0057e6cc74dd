#include "audio/Conversion.h"

#include "foundation/StringFormat.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audio {

namespace {

constexpr sf_count_t kChunkFrames = 16384;
constexpr size_t kLongestName = 200;

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

void fail(std::string* error, const std::string& reason)
{
    if (error)
        *error = reason;
}

int sndfileFormat(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Opus:
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case ExportFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case ExportFormat::Wav:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case ExportFormat::Mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return 0;
}

// Opus runs at 8, 12, 16, 24 or 48 kHz only: the nearest rate at or above the memo's.
int exportRate(ExportFormat format, int rate)
{
    if (format != ExportFormat::Opus)
        return rate;
    for (int allowed : { 8000, 12000, 16000, 24000, 48000 })
        if (rate <= allowed)
            return allowed;
    return 48000;
}

// Converts mono float samples from one rate to another in pieces, through libsoxr.
class Resampler {
public:
    Resampler(int from, int to)
        : m_same(from == to)
    {
        if (m_same)
            return;
        soxr_error_t problem = nullptr;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        m_soxr = soxr_create(double(from), double(to), 1, &problem, nullptr, &quality, nullptr);
        if (problem)
            m_problem = problem;
        m_ratio = double(to) / double(from);
    }
    ~Resampler()
    {
        if (m_soxr)
            soxr_delete(m_soxr);
    }
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    const std::string& problem() const { return m_problem; }

    /// Appends what count samples from in give to out; with end, what is still held.
    void process(const float* in, size_t count, std::vector<float>& out, bool end = false)
    {
        if (m_same) {
            out.insert(out.end(), in, in + count);
            return;
        }
        std::vector<float> piece(size_t(double(count) * m_ratio) + 4096);
        size_t used = 0, made = 0;
        while (count > 0) {
            soxr_process(m_soxr, in, count, &used, piece.data(), piece.size(), &made);
            out.insert(out.end(), piece.begin(), piece.begin() + std::ptrdiff_t(made));
            in += used;
            count -= used;
            if (used == 0 && made == 0)
                break;
        }
        if (!end)
            return;
        // No more input: what the filter holds comes out.
        do {
            soxr_process(m_soxr, nullptr, 0, nullptr, piece.data(), piece.size(), &made);
            out.insert(out.end(), piece.begin(), piece.begin() + std::ptrdiff_t(made));
        } while (made > 0);
    }

private:
    bool m_same;
    soxr_t m_soxr { nullptr };
    double m_ratio { 1 };
    std::string m_problem;
};

std::int16_t toSample(float value)
{
    return std::int16_t(std::lround(std::clamp(value, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::optional<ExportFormat> exportFormatNamed(const std::string& name)
{
    for (ExportFormat format : { ExportFormat::Opus, ExportFormat::Flac, ExportFormat::Wav, ExportFormat::Mp3 })
        if (name == extensionFor(format))
            return format;
    return std::nullopt;
}

const char* extensionFor(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Opus:
        return "opus";
    case ExportFormat::Flac:
        return "flac";
    case ExportFormat::Wav:
        return "wav";
    case ExportFormat::Mp3:
        return "mp3";
    }
    return "";
}

std::string exportFileName(const std::string& title, ExportFormat format)
{
    std::string name;
    for (unsigned char c : title)
        name += (c < 0x20 || c == 0x7f || c == '/' || c == '\\') ? ' ' : char(c);
    const size_t first = name.find_first_not_of(". ");
    name = first == std::string::npos ? std::string() : name.substr(first);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    if (name.size() > kLongestName) {
        size_t cut = kLongestName;
        // Never between the bytes of one character.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    if (name.empty())
        name = "Memo";
    return name + "." + extensionFor(format);
}

bool exportRecording(const std::string& source, const std::string& target, ExportFormat format, const AudioTags& tags, std::string* error,
    const std::atomic<bool>* cancel)
{
    SF_INFO inInfo {};
    Sndfile in(sf_open(source.c_str(), SFM_READ, &inInfo));
    if (!in) {
        fail(error, foundation::format("the memo's audio cannot be read: %s", sf_strerror(nullptr)));
        return false;
    }
    if (inInfo.channels != 1 || inInfo.samplerate <= 0) {
        fail(error, "the memo's audio is not a mono recording");
        return false;
    }
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0) {
        fail(error, "a file of that name is there already");
        return false;
    }
    const std::string partial = directoryOf(target) + "/." + baseNameOf(target) + ".partial";
    ::unlink(partial.c_str());
    SF_INFO outInfo {};
    outInfo.samplerate = exportRate(format, inInfo.samplerate);
    outInfo.channels = 1;
    outInfo.format = sndfileFormat(format);
    // Owner-only until it is complete, then the user's usual permissions.
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        fail(error, std::strerror(errno));
        return false;
    }
    Sndfile out(sf_open_fd(fd, SFM_WRITE, &outInfo, SF_TRUE));
    if (!out) {
        fail(error, foundation::format("%s cannot be written: %s", extensionFor(format), sf_strerror(nullptr)));
        ::unlink(partial.c_str());
        return false;
    }
    // Tags go before the audio: Ogg and MP3 write them into their first pages.
    const std::pair<int, const std::string*> strings[] = { { SF_STR_TITLE, &tags.title }, { SF_STR_COMMENT, &tags.comment },
        { SF_STR_DATE, &tags.date }, { SF_STR_GENRE, &tags.genre } };
    for (const auto& [kind, text] : strings)
        if (!text->empty())
            sf_set_string(out.get(), kind, text->c_str());
    if (format == ExportFormat::Opus || format == ExportFormat::Mp3) {
        double quality = 0.6;
        sf_command(out.get(), SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }

    Resampler resampler(inInfo.samplerate, outInfo.samplerate);
    if (!resampler.problem().empty()) {
        fail(error, resampler.problem());
        out.reset();
        ::unlink(partial.c_str());
        return false;
    }
    std::vector<float> chunk(kChunkFrames), converted;
    std::vector<std::int16_t> samples(static_cast<size_t>(kChunkFrames));
    // At the memo's own rate the samples go across as they are: through floats libsndfile
    // would scale -32768 to -32767.
    const bool direct = inInfo.samplerate == outInfo.samplerate;
    bool written = true;
    for (; direct;) {
        if (cancel && cancel->load()) {
            fail(error, "cancelled");
            written = false;
            break;
        }
        const sf_count_t got = sf_readf_short(in.get(), samples.data(), kChunkFrames);
        if (got <= 0)
            break;
        if (sf_writef_short(out.get(), samples.data(), got) != got) {
            fail(error, sf_strerror(out.get()));
            written = false;
            break;
        }
    }
    for (; !direct && written;) {
        if (cancel && cancel->load()) {
            fail(error, "cancelled");
            written = false;
            break;
        }
        const sf_count_t got = sf_readf_float(in.get(), chunk.data(), kChunkFrames);
        converted.clear();
        resampler.process(chunk.data(), size_t(std::max<sf_count_t>(got, 0)), converted, got <= 0);
        if (!converted.empty() && sf_writef_float(out.get(), converted.data(), sf_count_t(converted.size())) != sf_count_t(converted.size())) {
            fail(error, sf_strerror(out.get()));
            written = false;
            break;
        }
        if (got <= 0)
            break;
    }
    if (written) {
        sf_write_sync(out.get());
        if (sf_error(out.get()) != SF_ERR_NO_ERROR) {
            fail(error, sf_strerror(out.get()));
            written = false;
        }
    }
    out.reset();
    if (written && ::chmod(partial.c_str(), 0644) == 0 && ::link(partial.c_str(), target.c_str()) == 0) {
        // A hard link never replaces a file that came meanwhile, as a rename would.
        ::unlink(partial.c_str());
        return true;
    }
    if (written)
        fail(error, errno == EEXIST ? "a file of that name is there already" : std::strerror(errno));
    ::unlink(partial.c_str());
    return false;
}

std::optional<DecodedAudio> decodeForImport(const std::string& path, int sampleRate, std::string* error)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        fail(error, std::strerror(errno));
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        fail(error, "it is not a file");
        return std::nullopt;
    }
    SF_INFO inInfo {};
    Sndfile in(sf_open(path.c_str(), SFM_READ, &inInfo));
    if (!in) {
        fail(error, foundation::format("it is not a sound file that can be read (%s)", sf_strerror(nullptr)));
        return std::nullopt;
    }
    if (inInfo.channels <= 0 || inInfo.samplerate <= 0 || sampleRate <= 0) {
        fail(error, "it describes no sound");
        return std::nullopt;
    }
    DecodedAudio result;
    result.sampleRate = sampleRate;
    auto tag = [&](int kind) {
        const char* value = sf_get_string(in.get(), kind);
        return value ? std::string(value) : std::string();
    };
    result.tags = { tag(SF_STR_TITLE), tag(SF_STR_COMMENT), tag(SF_STR_DATE), tag(SF_STR_GENRE) };

    Resampler resampler(inInfo.samplerate, sampleRate);
    if (!resampler.problem().empty()) {
        fail(error, resampler.problem());
        return std::nullopt;
    }
    const size_t channels = size_t(inInfo.channels);
    std::vector<float> frames(size_t(kChunkFrames) * channels);
    std::vector<float> mono(static_cast<size_t>(kChunkFrames));
    std::vector<float> converted;
    for (;;) {
        const sf_count_t got = sf_readf_float(in.get(), frames.data(), kChunkFrames);
        if (got < 0 || (got == 0 && sf_error(in.get()) != SF_ERR_NO_ERROR)) {
            fail(error, sf_strerror(in.get()));
            return std::nullopt;
        }
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0;
            for (size_t c = 0; c < channels; ++c)
                sum += frames[size_t(i) * channels + c];
            mono[size_t(i)] = sum / float(channels);
        }
        converted.clear();
        resampler.process(mono.data(), size_t(got), converted, got == 0);
        for (float value : converted)
            result.samples.push_back(toSample(value));
        if (got == 0)
            break;
    }
    if (result.samples.empty()) {
        fail(error, "it holds no sound");
        return std::nullopt;
    }
    return result;
}

} // namespace audio
