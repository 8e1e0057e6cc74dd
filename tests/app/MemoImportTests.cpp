// Sound files made into memos: the memo's sound, title, date and category, and a file that
// cannot be read or stored leaving nothing filed.
#include "StoreFixture.h"

#include "MemoImport.h"

#include "foundation/UserDefaults.h"
#include "ui/AlertView.h"
#include "ui/Window.h"

#include <cmath>
#include <csignal>
#include <sndfile.h>
#include <sys/resource.h>
#include <utime.h>

using namespace storetest;

namespace {

class MemoImportTest : public StoreTest {
protected:
    // A 440 Hz tone, stereo at 48 kHz, with the tags given.
    std::string writeTone(const std::string& name, int format, double seconds, const std::string& title = {}, const std::string& date = {})
    {
        const std::string path = rootDirectory() + "/" + name;
        SF_INFO info {};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = format;
        SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(sound, nullptr) << sf_strerror(nullptr);
        if (!title.empty())
            sf_set_string(sound, SF_STR_TITLE, title.c_str());
        if (!date.empty())
            sf_set_string(sound, SF_STR_DATE, date.c_str());
        const auto frames = static_cast<std::size_t>(seconds * 48000);
        std::vector<float> samples(frames * 2);
        for (std::size_t i = 0; i < frames; ++i)
            samples[2 * i] = samples[2 * i + 1] = float(0.3 * std::sin(2 * M_PI * 440 * double(i) / 48000));
        sf_writef_float(sound, samples.data(), sf_count_t(frames));
        sf_close(sound);
        return path;
    }

    std::vector<std::string> documentNames(const std::string& documents)
    {
        auto names = foundation::contentsOfDirectory(documents);
        std::erase_if(names, [](const std::string& name) { return name.rfind("parlivodb.sql", 0) == 0; });
        return names;
    }
};

} // namespace

TEST_F(MemoImportTest, AFileBecomesAMemoWithItsSoundTitleAndDate)
{
    foundation::UserDefaults::standardUserDefaults().setObjectForKey(std::string("11025"), "sampleRate");
    const std::string tagged = writeTone("tagged.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.5, "Interview, part 2", "2024-05-01T10:22:00Z");
    std::string error;
    auto memo = MemoImport::importFile(tagged, &error);
    ASSERT_TRUE(memo) << error;
    EXPECT_EQ(memo->title(), "Interview, part 2");
    EXPECT_EQ(memo->createdDate(), 1714558920);
    EXPECT_EQ(memo->location(), 1);
    EXPECT_EQ(memo->category(), foundation::UserDefaults::standardUserDefaults().stringForKey("defaultCategory").value_or("?"));
    EXPECT_NEAR(memo->length(), 1.5, 1.0 / 11025);
    EXPECT_FALSE(memo->isDirty());

    // The memo's file is the recorder's format at the setting's rate.
    std::shared_ptr<audio::File> file;
    ASSERT_EQ(audio::File::open(*HelperMethods::getFullAudioFilePath(memo->audioFileName()), audio::FilePermission::Read, audio::kFileCAFType, &file), audio::noErr);
    audio::StreamBasicDescription format;
    file->getProperty(audio::FileProperty::DataFormat, format);
    EXPECT_EQ(format.mSampleRate, 11025);
    EXPECT_EQ(format.mChannelsPerFrame, 1u);
    EXPECT_EQ(memo->size(), HelperMethods::getAudioFileSizeFormattedString(memo->audioFileName()));

    // Untagged: the name without its extension, and the file's modification time.
    const std::string plain = writeTone("Kitchen plans.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.5);
    utimbuf times { 1600000000, 1600000000 };
    ASSERT_EQ(utime(plain.c_str(), &times), 0);
    auto second = MemoImport::importFile(plain, &error);
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(second->title(), "Kitchen plans");
    EXPECT_EQ(second->createdDate(), 1600000000);

    // Both are rows that a new start reads back.
    const auto key = memo->key();
    RecordingLibrary::resetSharedLibrary();
    ASSERT_EQ(library().recordings().size(), 2u);
    EXPECT_EQ(library().recordings()[0]->key(), key);
    EXPECT_EQ(library().recordings()[0]->title(), "Interview, part 2");
    EXPECT_EQ(library().recordings()[0]->location(), 1);
    EXPECT_TRUE(documentNames(documentsPath()).size() == 2u);
}

TEST_F(MemoImportTest, WhatCannotBeReadOrStoredLeavesNothingFiled)
{
    library();
    ASSERT_TRUE(foundation::writeFileAtomically(rootDirectory() + "/notes.wav", "not a sound"));
    std::string error;
    EXPECT_FALSE(MemoImport::importFile(rootDirectory() + "/notes.wav", &error));
    EXPECT_NE(error.find("not a sound file"), std::string::npos) << error;
    EXPECT_FALSE(MemoImport::importFile(rootDirectory() + "/missing.flac", &error));
    EXPECT_FALSE(error.empty());

    // A disk that fills while the memo's sound is written: no row, no file, no partial file.
    const std::string tone = writeTone("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4);
    auto decoded = MemoImport::decode(tone, 22050, &error);
    ASSERT_TRUE(decoded) << error;
    rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 100000;
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    auto memo = MemoImport::file(tone, *decoded, &error);
    setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_FALSE(memo);
    EXPECT_EQ(error, "the disk is full");
    EXPECT_EQ(count("recordings"), 0);
    closeRaw();
    EXPECT_TRUE(library().recordings().empty());
    EXPECT_TRUE(documentNames(documentsPath()).empty()) << documentNames(documentsPath()).front();
}

TEST_F(MemoImportTest, TagDatesAreReadOnlyWhenTheyNameADay)
{
    EXPECT_EQ(MemoImport::parseTagDate("2024-05-01"), 1714521600);
    EXPECT_EQ(MemoImport::parseTagDate("2024-05-01T10:22:00Z"), 1714558920);
    EXPECT_EQ(MemoImport::parseTagDate("2024-05-01 10:22"), 1714558920);
    for (const char* text : { "", "2024", "2024-05", "2024-02-31", "2024-13-01", "1969-12-31", "2024-05-01T25:00", "2024-05-01T10:22+02:00",
             "2024-05-01x", "01/05/2024" })
        EXPECT_FALSE(MemoImport::parseTagDate(text)) << text;
}

TEST_F(MemoImportTest, DroppedFilesAreImportedAndTheRefusedOnesNamedInOneAlert)
{
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    const std::string tone = writeTone("Tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.5);
    ASSERT_TRUE(foundation::writeFileAtomically(rootDirectory() + "/notes.wav", "not a sound"));
    ASSERT_TRUE(foundation::writeFileAtomically(rootDirectory() + "/empty.mp3", ""));
    auto filed = MemoImport::importDroppedFiles({ rootDirectory() + "/notes.wav", tone, rootDirectory() + "/empty.mp3" });
    ASSERT_EQ(filed.size(), 1u);
    EXPECT_EQ(filed[0]->title(), "Tone");
    std::vector<ui::AlertView*> alerts;
    for (const auto& view : window->subviews())
        if (auto* alert = dynamic_cast<ui::AlertView*>(view.get()); alert && alert->isVisible())
            alerts.push_back(alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), foundation::localizedString("Import Refused Prompt Title"));
    const std::string& message = alerts[0]->message();
    EXPECT_NE(message.find("\nnotes.wav: it is not a sound file that can be read"), std::string::npos) << message;
    EXPECT_NE(message.find("\nempty.mp3: "), std::string::npos) << message;
    EXPECT_EQ(message.find("Tone.flac"), std::string::npos) << message;

    // Nothing refused, nothing shown.
    alerts[0]->removeFromSuperview();
    EXPECT_EQ(MemoImport::importDroppedFiles({ tone }).size(), 1u);
    EXPECT_TRUE(window->subviews().empty() || !dynamic_cast<ui::AlertView*>(window->subviews().back().get()));
}
