// Memos out and sound files in: exports decode to the memo's sound (exactly, where the format
// is lossless), carry its tags and never leave a half-written file; imports of any format,
// rate and channel count give mono sound at the memo rate with its tone kept.
#include "AudioTestEnvironment.h"

#include "audio/Conversion.h"
#include "audio/File.h"
#include "foundation/FileManager.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <numbers>

using namespace audio;

namespace {

constexpr int kRate = 22050;

class ConversionTest : public testsupport::TestEnvironment {
protected:
    std::string path(const std::string& name) const { return rootDirectory() + "/" + name; }

    // A memo as the recorder writes it: 16-bit mono CAF.
    std::string memo(const std::vector<std::int16_t>& samples, int rate = kRate)
    {
        const std::string file = path("memo.caf");
        std::shared_ptr<File> caf;
        EXPECT_EQ(File::create(file, kFileCAFType, linearPCM16(rate, 1), kFileFlagsEraseFile, &caf), noErr);
        auto n = static_cast<std::uint32_t>(samples.size());
        EXPECT_EQ(caf->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), noErr);
        caf->close();
        return file;
    }

    // Every sample of a file, read straight through libsndfile as 16-bit frames (channel 0).
    static std::vector<std::int16_t> decoded(const std::string& file, SF_INFO* outInfo = nullptr)
    {
        SF_INFO info {};
        SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
        if (!sound)
            return {};
        std::vector<std::int16_t> frames(size_t(info.frames) * size_t(info.channels));
        frames.resize(size_t(sf_readf_short(sound, frames.data(), info.frames)) * size_t(info.channels));
        sf_close(sound);
        if (outInfo)
            *outInfo = info;
        std::vector<std::int16_t> first;
        for (size_t i = 0; i < frames.size(); i += size_t(info.channels))
            first.push_back(frames[i]);
        return first;
    }

    static std::string tag(const std::string& file, int kind)
    {
        SF_INFO info {};
        SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
        const char* value = sound ? sf_get_string(sound, kind) : nullptr;
        std::string result = value ? value : "";
        if (sound)
            sf_close(sound);
        return result;
    }

    // A sound file written straight through libsndfile: a tone on every channel.
    std::string soundFile(const std::string& name, int format, int rate, int channels, double seconds, int frequency = 440)
    {
        const std::string file = path(name);
        SF_INFO info {};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
        EXPECT_NE(sound, nullptr) << name << ": " << sf_strerror(nullptr);
        if (!sound)
            return file;
        const auto tone = testsupport::toneSamples(frequency, 0.5, rate, size_t(seconds * rate));
        // As floats: libsndfile 1.2.0's MP3 encoder garbles 16-bit stereo (it copies half the bytes).
        std::vector<float> frames;
        for (auto sample : tone)
            for (int c = 0; c < channels; ++c)
                frames.push_back(float(sample) / 32768.0f);
        sf_writef_float(sound, frames.data(), sf_count_t(tone.size()));
        sf_close(sound);
        return file;
    }

    // The tone's frequency from its rising zero crossings, and its level (RMS, 0..1).
    static double frequencyOf(const std::vector<std::int16_t>& samples, int rate)
    {
        size_t first = 0, last = 0, crossings = 0;
        for (size_t i = size_t(rate / 10); i + 1 < samples.size() - size_t(rate / 10); ++i)
            if (samples[i] < 0 && samples[i + 1] >= 0) {
                if (!crossings)
                    first = i;
                last = i;
                ++crossings;
            }
        return crossings > 1 ? double(crossings - 1) * rate / double(last - first) : 0;
    }
    static double levelOf(const std::vector<std::int16_t>& samples)
    {
        double sum = 0;
        for (auto s : samples)
            sum += double(s) * s;
        return std::sqrt(sum / double(std::max<size_t>(samples.size(), 1))) / 32768.0;
    }
};

} // namespace

TEST_F(ConversionTest, LosslessExportsDecodeToTheMemosSamplesWithItsTags)
{
    const auto ramp = testsupport::rampSamples(size_t(kRate * 2.5), 3);
    const std::string source = memo(ramp);
    const AudioTags tags { "Besprechung über Äpfel", "Budget, office, minutes.", "2026-12-09T10:22:00Z", "Business" };
    for (ExportFormat format : { ExportFormat::Flac, ExportFormat::Wav }) {
        const std::string target = path(std::string("out.") + extensionFor(format));
        std::string error;
        ASSERT_TRUE(exportRecording(source, target, format, tags, &error)) << extensionFor(format) << ": " << error;
        SF_INFO info {};
        EXPECT_EQ(decoded(target, &info), ramp) << extensionFor(format);
        EXPECT_EQ(info.samplerate, kRate);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(tag(target, SF_STR_TITLE), tags.title) << extensionFor(format);
        EXPECT_EQ(tag(target, SF_STR_COMMENT), tags.comment);
        EXPECT_EQ(tag(target, SF_STR_DATE), tags.date);
        if (format == ExportFormat::Flac) {
            EXPECT_EQ(tag(target, SF_STR_GENRE), tags.genre);
        }
        // Nothing but the file is left in the folder.
        EXPECT_FALSE(foundation::fileExists(path(std::string(".out.") + extensionFor(format) + ".partial")));
        struct stat info2 {};
        ASSERT_EQ(::stat(target.c_str(), &info2), 0);
        EXPECT_EQ(info2.st_mode & 0777, 0644u);
    }
}

TEST_F(ConversionTest, LossyExportsKeepTheLengthToneAndLevel)
{
    const auto tone = testsupport::toneSamples(440, 0.5, kRate, size_t(kRate * 3));
    const std::string source = memo(tone);
    for (ExportFormat format : { ExportFormat::Opus, ExportFormat::Mp3 }) {
        const std::string target = path(std::string("out.") + extensionFor(format));
        std::string error;
        ASSERT_TRUE(exportRecording(source, target, format, { "Tone", "", "", "" }, &error)) << extensionFor(format) << ": " << error;
        EXPECT_EQ(tag(target, SF_STR_TITLE), "Tone") << extensionFor(format);
        auto back = decodeForImport(target, kRate, &error);
        ASSERT_TRUE(back) << extensionFor(format) << ": " << error;
        // One packet: 20 ms of Opus, one MPEG-2 granule pair (1152 samples).
        const double packet = format == ExportFormat::Opus ? 0.02 * kRate : 1152;
        EXPECT_NEAR(double(back->samples.size()), double(tone.size()), packet) << extensionFor(format);
        EXPECT_NEAR(frequencyOf(back->samples, kRate), 440, 4.4) << extensionFor(format);
        EXPECT_NEAR(levelOf(back->samples), levelOf(tone), 0.05) << extensionFor(format);
    }
}

TEST_F(ConversionTest, AnExportNeverReplacesAFileNorLeavesAPartOne)
{
    const std::string source = memo(testsupport::rampSamples(kRate));
    const std::string target = path("taken.wav");
    std::ofstream(target) << "the user's own file";
    std::string error;
    EXPECT_FALSE(exportRecording(source, target, ExportFormat::Wav, {}, &error));
    EXPECT_EQ(error, "a file of that name is there already");
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's own file");

    // Cancelled half way (before the first piece): no file under either name.
    std::atomic<bool> cancel { true };
    EXPECT_FALSE(exportRecording(source, path("cancelled.flac"), ExportFormat::Flac, {}, &error, &cancel));
    EXPECT_EQ(error, "cancelled");
    EXPECT_FALSE(foundation::fileExists(path("cancelled.flac")));
    EXPECT_FALSE(foundation::fileExists(path(".cancelled.flac.partial")));
    // A folder that is not there, and a memo that is no sound.
    EXPECT_FALSE(exportRecording(source, path("missing/x.flac"), ExportFormat::Flac, {}, &error));
    std::ofstream(path("text.caf")) << "not sound";
    EXPECT_FALSE(exportRecording(path("text.caf"), path("x.flac"), ExportFormat::Flac, {}, &error));
    EXPECT_FALSE(foundation::fileExists(path("x.flac")));
}

TEST_F(ConversionTest, FileNamesFromTitlesStayInTheChosenFolder)
{
    EXPECT_EQ(exportFileName("Design meeting", ExportFormat::Opus), "Design meeting.opus");
    EXPECT_EQ(exportFileName("../x", ExportFormat::Flac), "x.flac");
    EXPECT_EQ(exportFileName("/etc/passwd", ExportFormat::Wav), "etc passwd.wav");
    EXPECT_EQ(exportFileName("a\nb", ExportFormat::Mp3), "a b.mp3");
    EXPECT_EQ(exportFileName("...", ExportFormat::Mp3), "Memo.mp3");
    EXPECT_EQ(exportFileName("", ExportFormat::Mp3), "Memo.mp3");
    EXPECT_EQ(exportFileName(".hidden", ExportFormat::Wav), "hidden.wav");
    // 300 characters of two bytes each: cut at a whole character, under 200 bytes.
    std::string umlauts;
    for (int i = 0; i < 300; ++i)
        umlauts += "ä";
    const std::string name = exportFileName(umlauts, ExportFormat::Flac);
    EXPECT_LE(name.size(), 205u);
    EXPECT_EQ(name.substr(name.size() - 5), ".flac");
    EXPECT_EQ(name.substr(0, name.size() - 5).size() % 2, 0u);

    // Exported into the folder under those names: each lands inside it.
    const std::string folder = path("export");
    ASSERT_TRUE(foundation::createDirectory(folder));
    const std::string source = memo(testsupport::rampSamples(kRate / 10));
    for (const std::string& title : { std::string("../x"), std::string("/etc/passwd"), std::string("a\nb"), umlauts }) {
        std::string error;
        EXPECT_TRUE(exportRecording(source, folder + "/" + exportFileName(title, ExportFormat::Wav), ExportFormat::Wav, { title, "", "", "" }, &error))
            << error;
    }
    EXPECT_EQ(foundation::contentsOfDirectory(folder).size(), 4u);
    EXPECT_FALSE(foundation::fileExists(path("x.wav")));
}

TEST_F(ConversionTest, ImportsOfEveryFormatRateAndLayoutGiveTheMemoRateAndTone)
{
    struct Case {
        const char* name;
        int format;
        int rate;
        int channels;
        double tolerance; // samples at the memo rate
    };
    const Case cases[] = {
        { "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 2 },
        { "b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 2 },
        { "c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 2 },
        { "d.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 2 },
        { "e.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 0.02 * kRate },
        { "f.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 1, 0.02 * kRate },
        { "g.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 2, 0.02 * kRate },
        { "h.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1, 1152 },
        { "i.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 48000, 1, 1152 },
        { "k.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, 1152 },
        { "l.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 48000, 2, 1152 },
        { "j.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 2, 2 },
    };
    for (const Case& c : cases) {
        const std::string file = soundFile(c.name, c.format, c.rate, c.channels, 2.0);
        std::string error;
        auto sound = decodeForImport(file, kRate, &error);
        ASSERT_TRUE(sound) << c.name << ": " << error;
        EXPECT_EQ(sound->sampleRate, kRate);
        EXPECT_NEAR(double(sound->samples.size()), 2.0 * kRate, c.tolerance) << c.name;
        EXPECT_NEAR(frequencyOf(sound->samples, kRate), 440, 4.4) << c.name;
        EXPECT_NEAR(levelOf(sound->samples), 0.5 / std::sqrt(2.0), 0.05) << c.name;
    }
}

TEST_F(ConversionTest, AFileThatIsNoSoundIsRefusedWithTheReason)
{
    std::string error;
    EXPECT_FALSE(decodeForImport(path("none.wav"), kRate, &error));
    EXPECT_FALSE(error.empty());
    std::ofstream(path("notes.txt")) << "shopping: eggs, milk";
    EXPECT_FALSE(decodeForImport(path("notes.txt"), kRate, &error));
    EXPECT_NE(error.find("not a sound file"), std::string::npos) << error;
    ASSERT_TRUE(foundation::createDirectory(path("folder.wav")));
    EXPECT_FALSE(decodeForImport(path("folder.wav"), kRate, &error));
    EXPECT_EQ(error, "it is not a file");
    soundFile("empty.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 0);
    EXPECT_FALSE(decodeForImport(path("empty.wav"), kRate, &error));
    EXPECT_EQ(error, "it holds no sound");
}
