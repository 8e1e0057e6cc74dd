// The parlivo program: command line, choice of host and devices, start of the application.

#include "HelperMethods.h"
#include "MemoImport.h"
#include "ParlivoAppDelegate.h"
#include "Recording.h"
#include "RecordingLibrary.h"

#include "audio/Conversion.h"
#include "audio/Device.h"
#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "host/Host.h"
#include "host/InstanceChannel.h"
#include "ui/Application.h"
#include "ui/ViewAnimator.h"
#include "ui/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// How long a second start waits for the running program to show its window.
constexpr double kRaiseTimeout = 3;

void printUsage(FILE* out)
{
    std::fprintf(out,
        "Usage: parlivo [OPTIONS]\n"
        "       parlivo defaults read [KEY]\n"
        "       parlivo defaults write KEY VALUE\n"
        "       parlivo defaults delete KEY\n"
        "       parlivo list\n"
        "       parlivo export [--format opus|flac|wav|mp3] (--all | KEY...) DIR\n"
        "       parlivo import FILE...\n"
        "\n"
        "Options:\n"
        "  --documents DIR     keep the database and the recordings in DIR\n"
        "  --scale N           logical pixels per point (default 2, or what fits a smaller\n"
        "                      screen); a larger window shows more points, a window too\n"
        "                      small for 320 x 480 of them draws them smaller\n"
        "  --full-screen       fill the screen (the default on a handheld's small screen)\n"
        "  --windowed          show a window, also on a handheld\n"
        "  --screenshot FILE   show nothing: write the screen as a PNG file and exit\n"
        "  --after SECONDS     with --screenshot: run that long first (default 0)\n"
        "  --size WxH          with --screenshot: the screen's size in points (default and\n"
        "                      least 320x480)\n"
        "  --audio server|portaudio|virtual\n"
        "                      record and play through the desktop's sound server, the\n"
        "                      sound card (PortAudio) or the virtual devices; by default the\n"
        "                      sound server when one answers, else the sound card, and the\n"
        "                      virtual devices with --screenshot\n"
        "  --mic-file FILE     the virtual microphone plays FILE, then silence\n"
        "  --speaker-file FILE the virtual speaker writes what it plays to FILE\n"
        "  --input FILE        replay the lines of FILE, timed from the launch: \"SECONDS tap X Y\"\n"
        "                      (points of the screen), \"SECONDS text WORDS\", \"SECONDS key return\"\n"
        "  --preferences       show the Preferences screen (in the Parlivo already running\n"
        "                      on the documents folder, or in a new one)\n"
        "  --help              show this help and exit\n"
        "  --version           print the version and exit\n");
}

// The settings from a terminal: reads and changes the same store the program uses, through the
// same checks as the Preferences screen.
int runDefaultsCommand(const std::vector<std::string>& args)
{
    auto& defaults = foundation::UserDefaults::standardUserDefaults();
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "read" && args.size() == 1) {
        auto stored = defaults.persistentValues();
        for (const auto& key : ParlivoAppDelegate::settingKeys()) {
            const std::string value = defaults.objectForKey(key).value_or("");
            const bool isDefault = value == ParlivoAppDelegate::settingDefault(key);
            std::printf("%s = %s%s\n", key.c_str(), value.empty() ? "\"\"" : value.c_str(), isDefault ? " (default)" : "");
            stored.erase(key);
        }
        // What a mistyped write stored before the keys were checked: shown, so it can be deleted.
        for (const auto& [key, value] : stored)
            std::printf("%s = %s (no such setting; unused)\n", key.c_str(), value.c_str());
        return 0;
    }
    if (verb == "read" && args.size() == 2) {
        if (auto problem = ParlivoAppDelegate::settingKeyProblem(args[1])) {
            std::fprintf(stderr, "parlivo: %s\n", problem->c_str());
            return 1;
        }
        std::printf("%s\n", defaults.objectForKey(args[1]).value_or("").c_str());
        return 0;
    }
    if (verb == "write" && args.size() == 3) {
        if (auto problem = ParlivoAppDelegate::storeSetting(args[1], args[2])) {
            std::fprintf(stderr, "parlivo: not written: %s\n", problem->c_str());
            return 1;
        }
        return 0;
    }
    if (verb == "delete" && args.size() == 2) {
        // A key of no setting that is stored all the same (written before keys were checked)
        // may go: that is the one way to tidy it away.
        auto problem = ParlivoAppDelegate::settingKeyProblem(args[1]);
        if (problem && !defaults.persistentValues().contains(args[1])) {
            std::fprintf(stderr, "parlivo: not deleted: %s\n", problem->c_str());
            return 1;
        }
        return defaults.removeObjectForKey(args[1]) ? 0 : 1;
    }
    std::fprintf(stderr, "parlivo: unknown defaults command\n");
    printUsage(stderr);
    return 2;
}

// One memo as the command line reads it from the database.
struct ListedMemo {
    long long key { 0 };
    std::string title;
    std::string category;
    std::string comments;
    double createdDate { 0 };
    double length { 0 };
    int location { 0 };
    std::string audioFileName;
};

// Read-only, beside a running program: its log is read as it is, and nothing is written.
std::optional<std::vector<ListedMemo>> readMemos(std::string& error)
{
    const std::string path = foundation::documentsDirectory() + "/parlivodb.sql";
    if (!foundation::fileExists(path)) {
        error = "there is no memo database in " + foundation::documentsDirectory();
        return std::nullopt;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return std::nullopt;
    }
    sqlite3_busy_timeout(db, 8000);
    sqlite3_stmt* statement = nullptr;
    std::vector<ListedMemo> memos;
    if (sqlite3_prepare_v2(db, "SELECT pk, title, category, comments, createdDate, length, location, audioFileName FROM recordings ORDER BY createdDate, pk",
            -1, &statement, nullptr)
        != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return std::nullopt;
    }
    auto text = [&](int column) {
        const unsigned char* value = sqlite3_column_text(statement, column);
        return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
    };
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        memos.push_back({ sqlite3_column_int64(statement, 0), text(1), text(2), text(3), sqlite3_column_double(statement, 4),
            sqlite3_column_double(statement, 5), sqlite3_column_int(statement, 6), text(7) });
    if (step != SQLITE_DONE)
        error = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (step != SQLITE_DONE)
        return std::nullopt;
    return memos;
}

// Tabs and line breaks in a title would break the columns of a line: written as \t, \n, \\.
std::string columnText(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\t')
            result += "\\t";
        else if (c == '\n')
            result += "\\n";
        else if (c == '\r')
            result += "\\r";
        else if (c == '\\')
            result += "\\\\";
        else
            result += c;
    }
    return result;
}

std::string isoDate(double seconds)
{
    const std::time_t when = std::time_t(std::llround(seconds));
    std::tm utc {};
    gmtime_r(&when, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

std::string locationName(int location)
{
    return location == 1 ? "recordings" : location == 2 ? "trash" : std::to_string(location);
}

// parlivo list: one line per memo, tab-separated: key, title, category, date, length, location.
int runListCommand(const std::vector<std::string>& args)
{
    if (!args.empty()) {
        std::fprintf(stderr, "parlivo: list takes no arguments\n");
        return 2;
    }
    std::string error;
    auto memos = readMemos(error);
    if (!memos) {
        std::fprintf(stderr, "parlivo: the memos cannot be read: %s\n", error.c_str());
        return 1;
    }
    for (const auto& memo : *memos)
        std::printf("%lld\t%s\t%s\t%s\t%.2f\t%s\n", memo.key, columnText(memo.title).c_str(), columnText(memo.category).c_str(),
            isoDate(memo.createdDate).c_str(), memo.length, locationName(memo.location).c_str());
    return 0;
}

// parlivo export [--format F] (--all | KEY...) DIR: each memo as a file named after its title,
// a number added where the name is taken; never a file replaced.
int runExportCommand(const std::vector<std::string>& args)
{
    audio::ExportFormat format = audio::ExportFormat::Opus;
    bool all = false;
    std::vector<long long> keys;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--format" && i + 1 < args.size()) {
            auto named = audio::exportFormatNamed(args[++i]);
            if (!named) {
                std::fprintf(stderr, "parlivo: --format takes opus, flac, wav or mp3, not '%s'\n", args[i].c_str());
                return 2;
            }
            format = *named;
        } else if (args[i] == "--all")
            all = true;
        else
            rest.push_back(args[i]);
    }
    if (rest.empty() || (all && rest.size() != 1) || (!all && rest.size() < 2)) {
        std::fprintf(stderr, "parlivo: export takes --all or the keys of memos (from parlivo list), then a folder\n");
        return 2;
    }
    const std::string folder = rest.back();
    rest.pop_back();
    for (const auto& key : rest) {
        char* end = nullptr;
        const long long value = std::strtoll(key.c_str(), &end, 10);
        if (key.empty() || *end || value <= 0) {
            std::fprintf(stderr, "parlivo: '%s' is not the key of a memo (parlivo list shows them)\n", key.c_str());
            return 2;
        }
        keys.push_back(value);
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "parlivo: %s is not a folder\n", folder.c_str());
        return 1;
    }
    std::string error;
    auto memos = readMemos(error);
    if (!memos) {
        std::fprintf(stderr, "parlivo: the memos cannot be read: %s\n", error.c_str());
        return 1;
    }
    std::vector<const ListedMemo*> chosen;
    for (const auto& memo : *memos)
        if (all ? memo.location != 2 : std::find(keys.begin(), keys.end(), memo.key) != keys.end())
            chosen.push_back(&memo);
    for (long long key : keys)
        if (std::none_of(chosen.begin(), chosen.end(), [key](const ListedMemo* memo) { return memo->key == key; })) {
            std::fprintf(stderr, "parlivo: there is no memo %lld\n", key);
            return 1;
        }
    int failures = 0;
    for (const ListedMemo* memo : chosen) {
        auto source = HelperMethods::getFullAudioFilePath(memo->audioFileName);
        if (!source) {
            std::fprintf(stderr, "parlivo: memo %lld has no audio file\n", memo->key);
            ++failures;
            continue;
        }
        const std::string name = audio::exportFileName(memo->title, format);
        const std::string stem = name.substr(0, name.rfind('.'));
        const audio::AudioTags tags { memo->title, memo->comments, isoDate(memo->createdDate), memo->category };
        bool done = false;
        for (int copy = 1; copy < 1000 && !done; ++copy) {
            const std::string target = folder + "/" + (copy == 1 ? name : stem + " (" + std::to_string(copy) + ")." + audio::extensionFor(format));
            if (foundation::fileExists(target))
                continue;
            if (audio::exportRecording(*source, target, format, tags, &error)) {
                std::printf("%s\n", target.c_str());
                done = true;
            } else if (error != "a file of that name is there already") {
                std::fprintf(stderr, "parlivo: memo %lld was not exported: %s\n", memo->key, error.c_str());
                break;
            }
        }
        failures += done ? 0 : 1;
    }
    return failures ? 1 : 0;
}

// How long a running program may take to read and file one sound file for a second start.
constexpr double kImportTimeout = 600;

// parlivo import FILE...: each file becomes a memo in My Recordings, through the running
// program when there is one (its lists show it at once), else straight into the library.
int runImportCommand(const std::vector<std::string>& args)
{
    if (args.empty()) {
        std::fprintf(stderr, "parlivo: import takes the sound files to make memos of\n");
        return 2;
    }
    const std::string documents = foundation::documentsDirectory();
    std::string lockError;
    auto lockFailure = foundation::InstanceLock::Failure::None;
    auto lock = foundation::InstanceLock::acquire(documents + "/parlivodb.sql.lock", &lockError, &lockFailure);
    if (!lock && lockFailure != foundation::InstanceLock::Failure::HeldByAnother) {
        std::fprintf(stderr, "parlivo: the documents folder %s cannot be used (%s)\n", documents.c_str(), lockError.c_str());
        return 1;
    }
    int failures = 0;
    for (const auto& file : args) {
        std::error_code ignored;
        const std::string path = std::filesystem::absolute(file, ignored).lexically_normal().string();
        std::string error;
        std::optional<long long> key;
        if (!lock) {
            key = host::requestImport(host::instanceSocketPath(documents), path, kImportTimeout, &error);
        } else if (auto recording = MemoImport::importFile(path, &error)) {
            key = recording->key();
        }
        if (key) {
            std::printf("%lld\t%s\n", *key, path.c_str());
        } else {
            std::fprintf(stderr, "parlivo: %s was not imported: %s\n", file.c_str(), error.c_str());
            ++failures;
        }
    }
    if (lock)
        RecordingLibrary::sharedLibrary().finalize();
    return failures ? 1 : 0;
}

std::optional<audio::DeviceChoice::Backend> backendNamed(const std::string& name)
{
    using Backend = audio::DeviceChoice::Backend;
    if (name == "server")
        return Backend::SoundServer;
    if (name == "portaudio")
        return Backend::PortAudio;
    if (name == "virtual")
        return Backend::Virtual;
    return std::nullopt;
}

// A number option's value: the whole text must be a number within [minimum, maximum].
bool parseNumber(const std::string& text, double minimum, double maximum, double& value)
{
    char* end = nullptr;
    double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(parsed >= minimum && parsed <= maximum))
        return false;
    value = parsed;
    return true;
}

// One touch, text or key of an --input file, at a time after the launch.
struct InputEvent {
    double at { 0 };
    std::string kind;
    gfx::Point point;
    std::string text;
};

std::optional<std::vector<InputEvent>> readInput(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::vector<InputEvent> events;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        InputEvent event;
        if (!(words >> event.at >> event.kind) || !(event.at >= 0))
            return std::nullopt;
        if (event.kind == "tap" && (words >> event.point.x >> event.point.y))
            events.push_back(event);
        else if (event.kind == "text" && std::getline(words >> std::ws, event.text))
            events.push_back(event);
        else if (event.kind == "key" && (words >> event.text) && event.text == "return")
            events.push_back(event);
        else
            return std::nullopt;
    }
    return events;
}

void scheduleInput(const std::vector<InputEvent>& events)
{
    for (const auto& event : events) {
        foundation::RunLoop::main().scheduleTimer(event.at, false, [event](foundation::Timer&) {
            ui::Window* window = ui::Window::keyWindow();
            if (!window)
                return;
            if (event.kind == "tap") {
                window->sendTouch(1, ui::TouchPhase::Began, event.point);
                window->sendTouch(1, ui::TouchPhase::Ended, event.point);
            } else if (event.kind == "text") {
                window->sendText(event.text);
            } else {
                window->sendKey(ui::Key::Return);
            }
        });
    }
}

} // namespace

int main(int argc, char** argv)
{
    ParlivoAppDelegate::initialize();
    // Dates and numbers in the language of the texts, with the conventions of the user's region.
    if (auto locale = foundation::formattingLocale(foundation::Bundle::main().displayLanguage(), std::getenv("LC_ALL"), std::getenv("LC_TIME"), std::getenv("LANG"));
        !locale.empty())
        foundation::setDefaultLocale(locale);
    std::vector<std::string> args(argv + 1, argv + argc);
    host::HostOptions options;
    audio::DeviceChoice devices;
    bool devicesChosen = false;
    std::vector<InputEvent> input;
    bool preferences = false;
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
        if ((arg == "--scale" || arg == "--after") && i + 1 < args.size()) {
            double value = 0;
            bool scale = arg == "--scale";
            if (!parseNumber(args[i + 1], scale ? 0.25 : 0, scale ? 8 : 86400, value)) {
                std::fprintf(stderr, "parlivo: %s takes a number %s, not '%s'\n", arg.c_str(),
                    scale ? "from 0.25 to 8" : "of seconds from 0 to 86400", args[i + 1].c_str());
                return 2;
            }
            if (scale)
                options.scale = float(value);
            else
                options.screenshotAfter = value;
            ++i;
            continue;
        }
        if (arg == "--preferences") {
            preferences = true;
            continue;
        }
        if (arg == "--full-screen" || arg == "--windowed") {
            options.windowMode = arg == "--full-screen" ? host::WindowMode::FullScreen : host::WindowMode::Windowed;
            continue;
        }
        if (arg == "--size" && i + 1 < args.size()) {
            double width = 0, height = 0;
            const std::string& value = args[i + 1];
            const size_t x = value.find('x');
            if (x == std::string::npos || !parseNumber(value.substr(0, x), 320, 10000, width) || !parseNumber(value.substr(x + 1), 480, 10000, height)) {
                std::fprintf(stderr, "parlivo: --size takes a width and a height in points from 320x480 to 10000x10000, not '%s'\n", value.c_str());
                return 2;
            }
            options.screenSize = gfx::Size { float(width), float(height) };
            ++i;
            continue;
        }
        if (arg == "--screenshot" && i + 1 < args.size()) {
            options.screenshotPath = args[++i];
            continue;
        }
        if (arg == "--audio" && i + 1 < args.size() && backendNamed(args[i + 1])) {
            devicesChosen = true;
            devices.backend = *backendNamed(args[++i]);
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
        if (arg == "--input" && i + 1 < args.size()) {
            auto events = readInput(args[++i]);
            if (!events) {
                std::fprintf(stderr, "parlivo: --input cannot read '%s'\n", args[i].c_str());
                return 2;
            }
            input = std::move(*events);
            continue;
        }
        if (arg == "defaults")
            return runDefaultsCommand(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        if (arg == "list")
            return runListCommand(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        if (arg == "export")
            return runExportCommand(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        if (arg == "import")
            return runImportCommand(std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
        std::fprintf(stderr, "parlivo: unknown argument '%s'\n", arg.c_str());
        printUsage(stderr);
        return 2;
    }
    // A headless run steps a manual clock, which only the virtual devices follow.
    if (!options.screenshotPath.empty() && !devicesChosen)
        devices.backend = audio::DeviceChoice::Backend::Virtual;
    // One program at a time works on a documents directory: a second one would file the
    // first one's current recording at its start and both would write the same rows.
    const std::string documents = foundation::documentsDirectory();
    std::string lockError;
    auto lockFailure = foundation::InstanceLock::Failure::None;
    auto instanceLock = foundation::InstanceLock::acquire(documents + "/parlivodb.sql.lock", &lockError, &lockFailure);
    // Only a lock that another process holds means another Parlivo: a folder that cannot be
    // opened at all is said to be so.
    if (!instanceLock && lockFailure != foundation::InstanceLock::Failure::HeldByAnother) {
        std::fprintf(stderr, "parlivo: the documents folder %s cannot be used (%s); this start changes nothing.\n", documents.c_str(), lockError.c_str());
        return 1;
    }
    if (!instanceLock) {
        // A second start from the launcher means "show me Parlivo": the running one shows itself.
        std::string raiseError;
        if (options.screenshotPath.empty() && host::requestRaise(host::instanceSocketPath(documents), kRaiseTimeout, &raiseError, preferences)) {
            std::fprintf(stderr, "parlivo: Parlivo is already running on %s; its window was brought to the front%s.\n", documents.c_str(),
                preferences ? " with its Preferences" : "");
            return 0;
        }
        std::fprintf(stderr, "parlivo: Parlivo is already running on %s (%s)%s; this start changes nothing.\n", documents.c_str(), lockError.c_str(),
            raiseError.empty() ? "" : (", and its window could not be brought to the front: " + raiseError).c_str());
        return 1;
    }
    options.instanceSocketPath = host::instanceSocketPath(documents);
    options.importFile = [](const std::string& path, std::string* reason) -> std::optional<long long> {
        if (auto recording = MemoImport::importFile(path, reason))
            return recording->key();
        return std::nullopt;
    };
    options.filesDropped = [](const std::vector<std::string>& paths) { MemoImport::importDroppedFiles(paths); };
    auto& defaults = foundation::UserDefaults::standardUserDefaults();
    devices.applicationID = PARLIVO_APP_ID;
    devices.microphoneDevice = defaults.stringForKey("microphoneDevice").value_or("");
    devices.speakerDevice = defaults.stringForKey("speakerDevice").value_or("");
    audio::useDevices(devices);
    // The host finishes launching (the delegate builds the window) and terminates the
    // application when the window closes or a signal asks it to.
    int status = host::runHost(argc, argv, options, [&input, preferences] {
        ui::Application::sharedApplication().setDelegate(std::make_shared<ParlivoAppDelegate>());
        scheduleInput(input);
        // Once the window is built.
        if (preferences)
            foundation::RunLoop::main().scheduleTimer(0, false, [](foundation::Timer&) { ui::Application::sharedApplication().showPreferences(); });
    });
    // The delegate and its screens go while the services they leave (notifications, run loop)
    // still exist: the application object itself lives until the very end of the process.
    ui::Application::sharedApplication().setDelegate(nullptr);
    // So does an animation still under way (a screen sliding away when the end came): left to
    // the end of the process, its views would go after the notification centre, and hang there.
    ui::ViewAnimator::shared().reset();
    return status;
}
