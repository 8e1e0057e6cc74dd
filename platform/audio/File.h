#pragma once

#include "audio/Types.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace audio {

constexpr std::uint32_t kFileCAFType = fourCharCode("caff");
/// create(): replace a file that exists already instead of failing.
constexpr std::uint32_t kFileFlagsEraseFile = 1;

enum class FilePermission : std::uint32_t {
    Read = 1,
    Write = 2,
    ReadWrite = 3,
};

enum class FileProperty : std::uint32_t {
    /// StreamBasicDescription, 40 bytes: the format in which packets are read and written.
    DataFormat = fourCharCode("dfmt"),
    /// 64-bit unsigned: the number of packets of audio data.
    AudioDataPacketCount = fourCharCode("pcnt"),
    /// 32-bit unsigned: the largest packet in bytes.
    PacketSizeUpperBound = fourCharCode("pkub"),
    /// Opaque bytes a decoder needs; linear PCM files have none.
    MagicCookieData = fourCharCode("mgic"),
};

/// An audio file in the Core Audio Format, read and written through libsndfile.
///
/// Files are created as 16-bit signed little-endian linear PCM; existing files of any format
/// libsndfile reads are opened too, and their packets are read (and written) as 16-bit
/// little-endian linear PCM, which is what DataFormat describes. The header is rewritten after
/// every write, so a file whose writer is killed opens afterwards with every packet written
/// before the last completed write call.
///
/// Calls are serialised internally: a recorder may write on an audio thread while the main
/// thread reads the packet count. Failures are returned as status codes, never thrown.
class File {
public:
    /// Creates path (owner-only) with the given format, which must be 16-bit little-endian
    /// linear PCM at a whole-number rate: anything else gives kFileUnsupportedDataFormatError.
    /// Without kFileFlagsEraseFile an existing file gives kFileExistsError; with it a regular
    /// file there is emptied, and a link, a directory, a pipe or any other non-file at the path
    /// gives kFileInvalidFileError and is left alone (a link is never followed).
    static Status create(const std::string& path, std::uint32_t fileType, const StreamBasicDescription& format,
        std::uint32_t flags, std::shared_ptr<File>* outFile);
    /// Opens an existing file. A missing file gives kFileNotFoundError, one that libsndfile
    /// cannot read kFileInvalidFileError, and so does anything but a regular file at the path
    /// (a directory, a named pipe, which is never waited on), or for writing a link, which is
    /// not followed. The type hint is accepted and not needed.
    static Status open(const std::string& path, FilePermission permission, std::uint32_t fileTypeHint,
        std::shared_ptr<File>* outFile);
    /// Mends the header a killed writer may leave behind: a data chunk whose size is unknown
    /// (-1) or disagrees with the file's length gets the size of the whole packets the file
    /// holds, and a trailing partial packet is cut off. A file that is consistent is left
    /// untouched. *outRepaired (optional) tells whether anything was changed. A file that is
    /// not a CAF file with a described format and a data chunk gives kFileInvalidFileError.
    static Status repairHeader(const std::string& path, bool* outRepaired);

    /// Closes the file if it is still open.
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    /// Writes the final header and closes; later calls give kFileNotOpenError.
    Status close();
    bool isOpen() const;
    /// Whether the samples are stored as 16-bit little-endian linear PCM, so that packets
    /// written land in the file as they are given (DataFormat describes what reads and writes
    /// exchange, whatever the file stores).
    bool storesLinearPCM16() const;
    /// Flushes what was written to the disk (fdatasync) without holding up writers meanwhile.
    Status sync();
    /// Asks for a sync() on a thread of the file's own and returns at once, so a writer on an
    /// audio thread never waits for the disk; a request made while one runs is served next.
    void requestSync();
    /// The packet count that the last completed sync put on the disk (closing a written file
    /// syncs it too).
    std::int64_t syncedPacketCount() const { return m_syncedPacketCount.load(); }
    /// The packet count when the last sync was asked for.
    std::int64_t syncRequestedPacketCount() const { return m_syncRequestedPacketCount.load(); }

    /// The size of a property's value and whether it can be set. MagicCookieData gives
    /// kFileUnsupportedPropertyError: linear PCM has no cookie.
    Status getPropertyInfo(FileProperty property, std::uint32_t* outSize, bool* outWritable) const;
    /// Copies a property's value; ioSize must be at least the value's size and is set to it.
    Status getProperty(FileProperty property, std::uint32_t* ioSize, void* outData) const;
    /// No property of a linear PCM file can be set: always kFileUnsupportedPropertyError.
    Status setProperty(FileProperty property, std::uint32_t size, const void* data);

    template<typename T>
    Status getProperty(FileProperty property, T& value) const
    {
        std::uint32_t size = sizeof(T);
        return getProperty(property, &size, &value);
    }

    /// Reads up to *ioNumPackets packets starting at startingPacket into buffer (which must
    /// hold them); sets *ioNumPackets and *outNumBytes to what was read: 0 at or past the end.
    /// The cache flag and packet descriptions are accepted and not needed for linear PCM.
    Status readPackets(bool useCache, std::uint32_t* outNumBytes, PacketDescription* outPacketDescriptions,
        std::int64_t startingPacket, std::uint32_t* ioNumPackets, void* buffer);
    /// Writes *ioNumPackets packets (numBytes bytes) at startingPacket, which may be at most the
    /// current packet count; sets *ioNumPackets to the packets written. A write that finds no
    /// room (no space, a quota, the process's file size limit) gives kFileDiskFullError and
    /// keeps the packets before it where they are, the part written included.
    Status writePackets(bool useCache, std::uint32_t numBytes, const PacketDescription* packetDescriptions,
        std::int64_t startingPacket, std::uint32_t* ioNumPackets, const void* buffer);

private:
    struct Handle;
    File(std::unique_ptr<Handle> handle, FilePermission permission);
    Status closeLocked();
    void syncThreadMain();
    void stopSyncThread();

    mutable std::mutex m_mutex;
    std::unique_ptr<Handle> m_handle;
    FilePermission m_permission;
    StreamBasicDescription m_format;
    bool m_storesLinearPCM16 { false };
    std::int64_t m_packetCount { 0 };
    std::int64_t m_readPosition { -1 };
    std::int64_t m_writePosition { -1 };

    std::mutex m_syncMutex;
    std::condition_variable m_syncCondition;
    std::thread m_syncThread;
    bool m_syncRequested { false };
    bool m_syncExit { false };
    std::atomic<std::int64_t> m_syncedPacketCount { 0 };
    std::atomic<std::int64_t> m_syncRequestedPacketCount { 0 };
};

} // namespace audio
