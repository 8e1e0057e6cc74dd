#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

class AudioOptionsTest : public testsupport::TestEnvironment {
protected:
    // Runs parlivo and returns its exit status and standard error.
    std::pair<int, std::string> runCapturingErrors(const std::string& arguments)
    {
        auto result = testsupport::runParlivo(arguments, testsupport::Collect::StandardError);
        return { result.status, result.output };
    }

    // Every line is the program's own: a log line or a "parlivo:" message.
    static void expectOnlyOwnLines(const std::string& output)
    {
        static const std::regex logLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} parlivo\[\d+\] .*)");
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(std::regex_match(line, logLine) || line.rfind("parlivo: ", 0) == 0) << line;
    }
};

} // namespace

TEST_F(AudioOptionsTest, SoundCardChoiceKeepsBackEndNoiseOutOfTheOutput)
{
    // ALSA loads its plugins (pulse, jack) while PortAudio lists the devices and unloads them
    // again, and what their libraries set up when loaded is then reachable from nowhere: the
    // leak checker of the sanitizer build is told to pass over what ALSA's loading allocates,
    // which it can only tell with whole stacks. Other builds ignore these variables.
    const std::string suppressions = rootDirectory() + "/alsa-plugins.supp";
    std::ofstream(suppressions) << "leak:snd_dlopen\n";
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string savedAsan = asan ? asan : "";
    setenv("ASAN_OPTIONS", (savedAsan + (savedAsan.empty() ? "" : ":") + "fast_unwind_on_malloc=0").c_str(), 1);
    setenv("LSAN_OPTIONS", ("suppressions=" + suppressions + ":print_suppressions=0").c_str(), 1);
    // With or without sound hardware: either PortAudio is used, or one line says it is not.
    auto [status, output] = runCapturingErrors("--audio portaudio --screenshot " + rootDirectory() + "/shot.png");
    if (asan)
        setenv("ASAN_OPTIONS", savedAsan.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    unsetenv("LSAN_OPTIONS");
    EXPECT_EQ(status, 0);
    expectOnlyOwnLines(output);
    auto fallbacks = std::count(output.begin(), output.end(), '\n') - 1;
    EXPECT_LE(fallbacks, 1);
}

TEST_F(AudioOptionsTest, VirtualDevicesReportFilesTheyCannotUse)
{
    auto [status, output] = runCapturingErrors("--audio virtual --mic-file " + rootDirectory() + "/none.caf --speaker-file "
        + rootDirectory() + "/out.caf --screenshot " + rootDirectory() + "/shot.png");
    EXPECT_EQ(status, 0);
    expectOnlyOwnLines(output);
    EXPECT_NE(output.find("Cannot play " + rootDirectory() + "/none.caf through the virtual microphone"), std::string::npos);
    EXPECT_EQ(output.find("speaker"), std::string::npos) << "the speaker file could be made";

    EXPECT_EQ(runCapturingErrors("--audio alsa").first, 2);
    EXPECT_EQ(runCapturingErrors("--mic-file").first, 2);
}

TEST_F(AudioOptionsTest, ARateTheSoundCardRefusesIsLoggedAndTheProgramCarriesOn)
{
    // ALSA's default device: the file plugin over null, which refuses a rate of 100 Hz.
    std::string config = rootDirectory() + "/asound.conf";
    std::ofstream(config) << "pcm.!default { type file slave.pcm { type null } file \"" << rootDirectory()
                          << "/card.raw\" format \"raw\" }\n";
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    for (const char* setting : { "defaults write sampleRate 100", "defaults write instantRecord YES", "defaults write soundEffects NO" })
        ASSERT_EQ(runCapturingErrors(setting).first, 0) << setting;
    auto [status, output] = runCapturingErrors("--audio portaudio --screenshot " + rootDirectory() + "/shot.png --after 3");
    unsetenv("ALSA_CONFIG_PATH");
    EXPECT_EQ(status, 0) << output;
    expectOnlyOwnLines(output);
    EXPECT_NE(output.find("Cannot open the microphone of PortAudio at 100 Hz: 'default': "), std::string::npos) << output;
}
