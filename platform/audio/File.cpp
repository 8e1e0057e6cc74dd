#include "audio/File.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace audio {

// The descriptor stays ours: libsndfile is told not to close it, because a failed open
// closes it inside libsndfile or not depending on the version, and closing it a second time
// in a threaded process can close a descriptor another thread has just been given.
struct File::Handle {
    SNDFILE* file { nullptr };
    int fd { -1 };
    int mode { SFM_READ };
};

namespace {

Status statusForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kFileNotFoundError;
    case EACCES:
    case EPERM:
    case EROFS:
        return kFilePermissionsError;
    case EEXIST:
        return kFileExistsError;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return kFileDiskFullError;
    // A link at the path (opened without following it) or something other than a file there.
    case ELOOP:
    case EISDIR:
    case ENXIO:
        return kFileInvalidFileError;
    default:
        return kFileUnspecifiedError;
    }
}

// Why a write of wanted more bytes stopped short when errno does not say: libsndfile's own
// calls after the failed write() may have replaced it. A file at the process's size limit or a
// file system without the room are a full disk, as the user knows it.
Status statusForShortWrite(int fd, std::size_t wanted)
{
    struct stat info {};
    rlimit limit {};
    if (::fstat(fd, &info) == 0 && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && static_cast<rlim_t>(info.st_size) + wanted > limit.rlim_cur)
        return kFileDiskFullError;
    struct statvfs disk {};
    if (::fstatvfs(fd, &disk) == 0 && static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize < wanted)
        return kFileDiskFullError;
    return kFileUnspecifiedError;
}

// Opens path without ever blocking (a named pipe there would wait for a writer for ever) and
// only when it is a regular file; writing never follows a link, so nothing outside the
// folder is written through one. Answers the descriptor, or -1 with *status set.
int openRegularFile(const std::string& path, int flags, Status* status)
{
    const bool writing = (flags & O_ACCMODE) != O_RDONLY;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | (writing ? O_NOFOLLOW : 0), 0600);
    if (fd < 0) {
        *status = statusForErrno(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *status = kFileInvalidFileError;
        return -1;
    }
    // Regular files never block; the flag only mattered for the open itself.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *status = noErr;
    return fd;
}

std::uint64_t bigEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

bool readAt(int fd, void* data, std::size_t size, off_t offset)
{
    return ::pread(fd, data, size, offset) == static_cast<ssize_t>(size);
}

struct ChunkHeader {
    std::uint32_t type { 0 };
    std::int64_t size { 0 };
};

bool readChunkHeader(int fd, off_t offset, ChunkHeader& header)
{
    unsigned char bytes[12];
    if (!readAt(fd, bytes, sizeof bytes, offset))
        return false;
    header.type = static_cast<std::uint32_t>(bigEndian(bytes, 4));
    header.size = static_cast<std::int64_t>(bigEndian(bytes + 4, 8));
    return true;
}

// Whether the chunks from offset on end exactly at the file's end: then a data chunk that ends
// before the file does is followed by other chunks, not by sound its header does not count.
bool chunksEndAt(int fd, off_t offset, off_t length)
{
    for (int chunks = 0; offset < length && chunks < 64; ++chunks) {
        ChunkHeader header;
        if (length - offset < 12 || !readChunkHeader(fd, offset, header) || header.size < 0 || header.size > length - offset - 12)
            return false;
        offset += 12 + header.size;
    }
    return offset == length;
}

} // namespace

File::File(std::unique_ptr<Handle> handle, FilePermission permission)
    : m_handle(std::move(handle))
    , m_permission(permission)
{
}

File::~File()
{
    stopSyncThread();
    std::lock_guard lock(m_mutex);
    closeLocked();
}

Status File::create(const std::string& path, std::uint32_t fileType, const StreamBasicDescription& format,
    std::uint32_t flags, std::shared_ptr<File>* outFile)
{
    if (!outFile)
        return kFileUnspecifiedError;
    outFile->reset();
    if (fileType != kFileCAFType)
        return kFileUnsupportedFileTypeError;
    if (!isLinearPCM16(format) || format.mSampleRate != std::floor(format.mSampleRate))
        return kFileUnsupportedDataFormatError;

    // Emptied only once it is known to be a regular file of its own, not a link or a pipe.
    Status opened = noErr;
    int fd = openRegularFile(path, O_RDWR | O_CREAT | ((flags & kFileFlagsEraseFile) ? 0 : O_EXCL), &opened);
    if (fd < 0)
        return opened;
    if (::ftruncate(fd, 0) != 0) {
        Status status = statusForErrno(errno);
        ::close(fd);
        return status;
    }

    SF_INFO info {};
    info.samplerate = static_cast<int>(format.mSampleRate);
    info.channels = static_cast<int>(format.mChannelsPerFrame);
    info.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    SNDFILE* sndfile = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!sndfile) {
        ::close(fd);
        return kFileUnspecifiedError;
    }
    // Rewrites the header after every write, so the file stays readable if the writer dies.
    sf_command(sndfile, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);

    auto handle = std::make_unique<Handle>();
    handle->file = sndfile;
    handle->fd = fd;
    handle->mode = SFM_WRITE;
    auto file = std::shared_ptr<File>(new File(std::move(handle), FilePermission::ReadWrite));
    file->m_format = linearPCM16(format.mSampleRate, format.mChannelsPerFrame);
    file->m_storesLinearPCM16 = true;
    file->m_writePosition = 0;
    *outFile = std::move(file);
    return noErr;
}

Status File::open(const std::string& path, FilePermission permission, std::uint32_t, std::shared_ptr<File>* outFile)
{
    if (!outFile)
        return kFileUnspecifiedError;
    outFile->reset();
    int mode = permission == FilePermission::Read ? SFM_READ : SFM_RDWR;
    Status opened = noErr;
    int fd = openRegularFile(path, mode == SFM_READ ? O_RDONLY : O_RDWR, &opened);
    if (fd < 0)
        return opened;

    SF_INFO info {};
    SNDFILE* sndfile = sf_open_fd(fd, mode, &info, SF_FALSE);
    if (!sndfile) {
        ::close(fd);
        return kFileInvalidFileError;
    }
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 1) {
        sf_close(sndfile);
        ::close(fd);
        return kFileUnsupportedDataFormatError;
    }
    if (mode == SFM_RDWR)
        sf_command(sndfile, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);

    auto handle = std::make_unique<Handle>();
    handle->file = sndfile;
    handle->fd = fd;
    handle->mode = mode;
    auto file = std::shared_ptr<File>(new File(std::move(handle), permission));
    file->m_format = linearPCM16(info.samplerate, static_cast<std::uint32_t>(info.channels));
    file->m_storesLinearPCM16 = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_CAF
        && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && (info.format & SF_FORMAT_ENDMASK) != SF_ENDIAN_BIG;
    file->m_packetCount = info.frames;
    file->m_readPosition = 0;
    *outFile = std::move(file);
    return noErr;
}

Status File::repairHeader(const std::string& path, bool* outRepaired)
{
    if (outRepaired)
        *outRepaired = false;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno == EISDIR ? kFileInvalidFileError : statusForErrno(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return kFileInvalidFileError;
    const off_t length = info.st_size;
    unsigned char fileHeader[8];
    if (!readAt(fd, fileHeader, sizeof fileHeader, 0) || bigEndian(fileHeader, 4) != kFileCAFType || bigEndian(fileHeader + 4, 2) != 1)
        return kFileInvalidFileError;

    std::uint32_t bytesPerPacket = 0;
    off_t offset = 8;
    for (int chunks = 0; chunks < 64 && length - offset >= 12; ++chunks) {
        ChunkHeader header;
        if (!readChunkHeader(fd, offset, header))
            return kFileInvalidFileError;
        const off_t body = offset + 12;
        if (header.type == fourCharCode("desc")) {
            unsigned char desc[32];
            if (header.size != 32 || !readAt(fd, desc, sizeof desc, body))
                return kFileInvalidFileError;
            // Only formats of whole, fixed-size packets have a size that follows from a length.
            if (bigEndian(desc + 20, 4) == 1)
                bytesPerPacket = static_cast<std::uint32_t>(bigEndian(desc + 16, 4));
        } else if (header.type == fourCharCode("data")) {
            // The chunk holds a 4-byte edit count, then the packets.
            if (header.size >= 4 && header.size <= length - body
                && (header.size == length - body || chunksEndAt(fd, body + header.size, length)))
                return noErr;
            if (bytesPerPacket == 0 || length - body < 4)
                return kFileInvalidFileError;
            const off_t packetBytes = (length - body - 4) / bytesPerPacket * bytesPerPacket;
            const std::uint64_t size = static_cast<std::uint64_t>(4 + packetBytes);
            unsigned char bytes[8];
            for (int i = 0; i < 8; ++i)
                bytes[i] = static_cast<unsigned char>(size >> (56 - 8 * i));
            if (::pwrite(fd, bytes, sizeof bytes, offset + 4) != static_cast<ssize_t>(sizeof bytes))
                return statusForErrno(errno);
            if (body + static_cast<off_t>(size) < length && ::ftruncate(fd, body + static_cast<off_t>(size)) != 0)
                return statusForErrno(errno);
            if (::fdatasync(fd) != 0)
                return statusForErrno(errno);
            if (outRepaired)
                *outRepaired = true;
            return noErr;
        } else if (header.size < 0 || header.size > length - body) {
            return kFileInvalidFileError;
        }
        offset = body + header.size;
    }
    return kFileInvalidFileError;
}

bool File::storesLinearPCM16() const
{
    std::lock_guard lock(m_mutex);
    return m_storesLinearPCM16;
}

Status File::sync()
{
    int fd = -1;
    {
        std::lock_guard lock(m_mutex);
        if (!m_handle || !m_handle->file)
            return kFileNotOpenError;
        // A copy of the descriptor, so a close meanwhile cannot hand this number to another file.
        fd = ::fcntl(m_handle->fd, F_DUPFD_CLOEXEC, 0);
    }
    if (fd < 0)
        return statusForErrno(errno);
    int result = ::fdatasync(fd);
    int error = errno;
    ::close(fd);
    return result == 0 ? noErr : statusForErrno(error);
}

void File::requestSync()
{
    {
        std::lock_guard fileLock(m_mutex);
        m_syncRequestedPacketCount.store(m_packetCount);
    }
    std::lock_guard lock(m_syncMutex);
    if (m_syncExit)
        return;
    m_syncRequested = true;
    if (!m_syncThread.joinable())
        m_syncThread = std::thread(&File::syncThreadMain, this);
    m_syncCondition.notify_one();
}

void File::syncThreadMain()
{
    std::unique_lock lock(m_syncMutex);
    for (;;) {
        m_syncCondition.wait(lock, [&] { return m_syncRequested || m_syncExit; });
        if (!m_syncRequested)
            return;
        m_syncRequested = false;
        lock.unlock();
        std::int64_t packets = 0;
        {
            std::lock_guard fileLock(m_mutex);
            packets = m_packetCount;
        }
        if (sync() == noErr)
            m_syncedPacketCount.store(std::max(m_syncedPacketCount.load(), packets));
        lock.lock();
    }
}

// A sync already asked for still runs before the thread ends.
void File::stopSyncThread()
{
    std::thread thread;
    {
        std::lock_guard lock(m_syncMutex);
        m_syncExit = true;
        m_syncCondition.notify_one();
        thread = std::move(m_syncThread);
    }
    if (thread.joinable())
        thread.join();
}

bool File::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_handle && m_handle->file;
}

Status File::close()
{
    stopSyncThread();
    std::lock_guard lock(m_mutex);
    return closeLocked();
}

Status File::closeLocked()
{
    if (!m_handle || !m_handle->file)
        return kFileNotOpenError;
    int result = sf_close(m_handle->file);
    m_handle->file = nullptr;
    // What was recorded is on the disk once the file is closed, with its final header.
    if (m_handle->mode != SFM_READ && m_handle->fd >= 0 && ::fdatasync(m_handle->fd) == 0)
        m_syncedPacketCount.store(m_packetCount);
    if (m_handle->fd >= 0 && ::close(m_handle->fd) != 0)
        result = -1;
    m_handle->fd = -1;
    return result == 0 ? noErr : kFileUnspecifiedError;
}

Status File::getPropertyInfo(FileProperty property, std::uint32_t* outSize, bool* outWritable) const
{
    std::uint32_t size = 0;
    switch (property) {
    case FileProperty::DataFormat:
        size = sizeof(StreamBasicDescription);
        break;
    case FileProperty::AudioDataPacketCount:
        size = sizeof(std::uint64_t);
        break;
    case FileProperty::PacketSizeUpperBound:
        size = sizeof(std::uint32_t);
        break;
    default:
        return kFileUnsupportedPropertyError;
    }
    if (!isOpen())
        return kFileNotOpenError;
    if (outSize)
        *outSize = size;
    if (outWritable)
        *outWritable = false;
    return noErr;
}

Status File::getProperty(FileProperty property, std::uint32_t* ioSize, void* outData) const
{
    std::uint32_t size = 0;
    if (Status status = getPropertyInfo(property, &size, nullptr); status != noErr)
        return status;
    if (!ioSize || !outData || *ioSize < size)
        return kFileBadPropertySizeError;
    std::lock_guard lock(m_mutex);
    switch (property) {
    case FileProperty::DataFormat:
        std::memcpy(outData, &m_format, size);
        break;
    case FileProperty::AudioDataPacketCount: {
        auto count = static_cast<std::uint64_t>(m_packetCount);
        std::memcpy(outData, &count, size);
        break;
    }
    case FileProperty::PacketSizeUpperBound:
        std::memcpy(outData, &m_format.mBytesPerPacket, size);
        break;
    default:
        return kFileUnsupportedPropertyError;
    }
    *ioSize = size;
    return noErr;
}

Status File::setProperty(FileProperty, std::uint32_t, const void*)
{
    return kFileUnsupportedPropertyError;
}

Status File::readPackets(bool, std::uint32_t* outNumBytes, PacketDescription*, std::int64_t startingPacket,
    std::uint32_t* ioNumPackets, void* buffer)
{
    if (!ioNumPackets)
        return kFileUnspecifiedError;
    std::uint32_t wanted = *ioNumPackets;
    *ioNumPackets = 0;
    if (outNumBytes)
        *outNumBytes = 0;
    std::lock_guard lock(m_mutex);
    if (!m_handle || !m_handle->file)
        return kFileNotOpenError;
    if (m_permission == FilePermission::Write)
        return kFilePermissionsError;
    if (startingPacket < 0)
        return kFileInvalidPacketOffsetError;
    if (startingPacket >= m_packetCount || wanted == 0)
        return noErr;
    if (!buffer)
        return kFileUnspecifiedError;
    auto count = static_cast<sf_count_t>(std::min<std::int64_t>(wanted, m_packetCount - startingPacket));
    if (m_readPosition != startingPacket) {
        int whence = m_handle->mode == SFM_RDWR ? (SEEK_SET | SFM_READ) : SEEK_SET;
        if (sf_seek(m_handle->file, startingPacket, whence) < 0) {
            m_readPosition = -1;
            return kFileInvalidPacketOffsetError;
        }
    }
    sf_count_t got = sf_readf_short(m_handle->file, static_cast<short*>(buffer), count);
    if (got < 0)
        got = 0;
    m_readPosition = startingPacket + got;
    *ioNumPackets = static_cast<std::uint32_t>(got);
    if (outNumBytes)
        *outNumBytes = static_cast<std::uint32_t>(got) * m_format.mBytesPerPacket;
    return noErr;
}

Status File::writePackets(bool, std::uint32_t numBytes, const PacketDescription*, std::int64_t startingPacket,
    std::uint32_t* ioNumPackets, const void* buffer)
{
    if (!ioNumPackets)
        return kFileUnspecifiedError;
    std::uint32_t wanted = *ioNumPackets;
    *ioNumPackets = 0;
    std::lock_guard lock(m_mutex);
    if (!m_handle || !m_handle->file)
        return kFileNotOpenError;
    if (m_handle->mode == SFM_READ)
        return kFilePermissionsError;
    if (startingPacket < 0 || startingPacket > m_packetCount)
        return kFileInvalidPacketOffsetError;
    wanted = std::min(wanted, numBytes / m_format.mBytesPerPacket);
    if (wanted == 0)
        return noErr;
    if (!buffer)
        return kFileUnspecifiedError;
    if (m_writePosition != startingPacket) {
        int whence = m_handle->mode == SFM_RDWR ? (SEEK_SET | SFM_WRITE) : SEEK_SET;
        if (sf_seek(m_handle->file, startingPacket, whence) < 0) {
            m_writePosition = -1;
            return kFileInvalidPacketOffsetError;
        }
    }
    errno = 0;
    sf_count_t written = sf_writef_short(m_handle->file, static_cast<const short*>(buffer), wanted);
    const int error = errno;
    if (written < 0)
        written = 0;
    m_packetCount = std::max(m_packetCount, startingPacket + written);
    *ioNumPackets = static_cast<std::uint32_t>(written);
    if (written == static_cast<sf_count_t>(wanted)) {
        m_writePosition = startingPacket + written;
        return noErr;
    }
    // After a failed write libsndfile rewrites the header and leaves the descriptor at the
    // start of the sound, not after it: the next write must seek, or it would overwrite the
    // first samples.
    m_writePosition = -1;
    Status status = error ? statusForErrno(error) : kFileUnspecifiedError;
    if (status == kFileUnspecifiedError)
        status = statusForShortWrite(m_handle->fd, std::size_t(wanted - written) * m_format.mBytesPerPacket);
    return status;
}

} // namespace audio
