// The database file and its write-ahead log as another program or a restore may leave them:
// the checks start-up makes before it writes anything read any pair of files without a crash,
// and leave both exactly as they were (no checkpoint, no recovery written into them).
//
// The input is the pair: its first four bytes (little-endian) choose where the database's
// bytes end and the log's begin.
#include "RecordingLibrary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string contents(const std::string& path)
{
    std::string bytes;
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, in))
            bytes.append(buffer, n);
        std::fclose(in);
    }
    return bytes;
}

void write(const std::string& path, const std::string& bytes)
{
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    // In memory where there is room, in a folder of its own (SQLite puts the log's index beside).
    static const std::string directory = [] {
        std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/parlivo-fuzz-database-" + std::to_string(::getpid());
        ::mkdir(path.c_str(), 0700);
        return path;
    }();
    const std::string path = directory + "/parlivodb.sql";
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = 0;
    if (input.size() >= 4) {
        const std::uint32_t chosen = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
        input.erase(0, 4);
        split = chosen % (input.size() + 1);
    }
    const std::string database = input.substr(0, split);
    const std::string log = input.substr(split);
    write(path, database);
    write(path + "-wal", log);
    ::unlink((path + "-shm").c_str());

    RecordingLibrary::logMismatch(path, path + "-wal");
    RecordingLibrary::checkDatabaseFiles(path);
    if (contents(path) != database || contents(path + "-wal") != log)
        std::abort();
    return 0;
}
