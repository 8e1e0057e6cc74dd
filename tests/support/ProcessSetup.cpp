// Set-up every test process needs before main runs, whether it is started by CTest or by
// hand: Qt draws offscreen, resources come from the build tree, and the leak checker ignores
// what third-party libraries keep for the life of the process.

#include <cstdlib>

namespace {

struct ProcessSetup {
    ProcessSetup()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("PARLIVO_RESOURCES", PARLIVO_TEST_RESOURCES, 1);
    }
};

const ProcessSetup setup;

} // namespace

// Read by LeakSanitizer at start-up in the sanitizer build; unused otherwise.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n"
           "leak:libdbus\n";
}

// Read by ThreadSanitizer at start-up in its build; unused otherwise. libpulse creates some of
// its mutexes lazily and hands them over through atomics of its own, which the uninstrumented
// library hides from the checker: the first lock of such a mutex on another thread is not a race.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:pa_mutex_lock\n";
}
