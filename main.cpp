// The parlivo program: command line, choice of host and devices, start of the application.

#include "ParlivoAppDelegate.h"

#include "audio/Device.h"
#include "foundation/Bundle.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void printUsage(FILE* out)
{
    std::fprintf(out,
        "Usage: parlivo [OPTIONS]\n"
        "       parlivo defaults read [KEY]\n"
        "       parlivo defaults write KEY VALUE\n"
        "       parlivo defaults delete KEY\n"
        "\n"
        "Options:\n"
        "  --documents DIR   keep the database and the recordings in DIR\n"
        "  --audio portaudio|virtual\n"
        "                    record and play through the sound card (the default; the\n"
        "                    virtual devices when none is usable) or the virtual devices\n"
        "  --mic-file FILE   the virtual microphone plays FILE, then silence\n"
        "  --speaker-file FILE\n"
        "                    the virtual speaker writes what it plays to FILE\n"
        "  --help            show this help and exit\n"
        "  --version         print the version and exit\n");
}

// The settings screen of this platform: reads and changes the same store the program uses.
int runDefaultsCommand(const std::vector<std::string>& args)
{
    auto& defaults = foundation::UserDefaults::standardUserDefaults();
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "read" && args.size() == 1) {
        for (const auto& [key, value] : defaults.dictionaryRepresentation())
            std::printf("%s = %s\n", key.c_str(), value.c_str());
        return 0;
    }
    if (verb == "read" && args.size() == 2) {
        auto value = defaults.objectForKey(args[1]);
        if (!value) {
            std::fprintf(stderr, "parlivo: the setting %s has no value\n", args[1].c_str());
            return 1;
        }
        std::printf("%s\n", value->c_str());
        return 0;
    }
    if (verb == "write" && args.size() == 3)
        return defaults.setObjectForKey(args[2], args[1]) ? 0 : 1;
    if (verb == "delete" && args.size() == 2)
        return defaults.removeObjectForKey(args[1]) ? 0 : 1;
    std::fprintf(stderr, "parlivo: unknown defaults command\n");
    printUsage(stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    ParlivoAppDelegate::initialize();
    std::vector<std::string> args(argv + 1, argv + argc);
    audio::DeviceChoice devices;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("parlivo %s\n", foundation::programVersion().c_str());
            return 0;
        }
        if (arg == "--documents" && i + 1 < args.size()) {
            foundation::setDocumentsDirectory(args[++i]);
            continue;
        }
        if (arg == "--audio" && i + 1 < args.size() && (args[i + 1] == "portaudio" || args[i + 1] == "virtual")) {
            devices.backend = args[++i] == "virtual" ? audio::DeviceChoice::Backend::Virtual : audio::DeviceChoice::Backend::PortAudio;
            continue;
        }
        if (arg == "--mic-file" && i + 1 < args.size()) {
            devices.microphoneFile = args[++i];
            continue;
        }
        if (arg == "--speaker-file" && i + 1 < args.size()) {
            devices.speakerFile = args[++i];
            continue;
        }
        if (arg == "defaults")
            return runDefaultsCommand(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        std::fprintf(stderr, "parlivo: unknown argument '%s'\n", arg.c_str());
        printUsage(stderr);
        return 2;
    }
    audio::useDevices(devices);
    std::fprintf(stderr, "parlivo: the studio is not part of this build yet; try --help\n");
    return 1;
}
