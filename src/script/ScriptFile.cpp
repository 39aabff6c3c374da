#include "ScriptFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrell {

namespace {

constexpr std::size_t kReadAhead = 64 * 1024;

const char* MessageFormat(FileException::Cause cause) {
    switch (cause) {
        case FileException::none:
        case FileException::genericException: return "An unknown error occurred while accessing %1.";
        case FileException::fileNotFound: return "%1 was not found.";
        case FileException::badPath: return "%1 contains an invalid path.";
        case FileException::tooManyOpenFiles: return "%1 could not be opened because there are too many open files.";
        case FileException::accessDenied: return "Access to %1 was denied.";
        case FileException::invalidFile: return "An invalid file handle was associated with %1.";
        case FileException::removeCurrentDir: return "%1 could not be removed because it is the current directory.";
        case FileException::directoryFull: return "%1 could not be created because the directory is full.";
        case FileException::badSeek: return "Seek failed on %1";
        case FileException::hardIO: return "A hardware I/O error was reported while accessing %1.";
        case FileException::sharingViolation: return "A sharing violation occurred while accessing %1.";
        case FileException::lockViolation: return "A locking violation occurred while accessing %1.";
        case FileException::diskFull: return "Disk full while accessing %1.";
        case FileException::endOfFile: return "An attempt was made to access %1 past its end.";
    }
    return "An unknown error occurred while accessing %1.";
}

}  // namespace

FileException::FileException(Cause cause, int osError, std::string strFileName)
    : m_cause(cause), m_osError(osError), m_strFileName(std::move(strFileName)) {
    const std::string name = m_strFileName.empty() ? "an unnamed file" : m_strFileName;
    m_strMessage = MessageFormat(cause);
    const std::size_t at = m_strMessage.find("%1");
    if (at != std::string::npos) m_strMessage.replace(at, 2, name);
}

FileException::Cause FileException::CauseFromErrno(int error) {
    switch (error) {
        case 0: return none;
        case ENOENT: return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL: return badPath;
        case EMFILE:
        case ENFILE: return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return accessDenied;
        case EBADF: return invalidFile;
        case EIO:
        case ENXIO:
        case ENODEV: return hardIO;
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK: return sharingViolation;
        case ENOLCK:
        case EDEADLK: return lockViolation;
        case ENOSPC:
        case EDQUOT: return diskFull;
        case ESPIPE: return badSeek;
        default: return genericException;
    }
}

ScriptFile::~ScriptFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool ScriptFile::Open(const std::string& strPath) {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_openError = 0;
    m_eof = false;
    m_next = m_end = 0;

    // Non-blocking so that a FIFO or a device given as a script cannot hang
    // the open; the flag comes off again before anything is read.
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        m_openError = errno;
        return false;
    }

    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
    } else if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        // Someone holds the script for writing; reading it now could send
        // half an edit.
        error = errno;
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        m_openError = error;
        return false;
    }
    m_fd = fd;
    return true;
}

std::size_t ScriptFile::ReadSlow(void* buffer, std::size_t nCount) {
    if (m_fd < 0) Throw(m_openError != 0 ? m_openError : EBADF);

    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t copied = 0;
    while (copied < nCount) {
        if (m_next == m_end) {
            if (m_eof) break;
            if (m_buffer.empty()) m_buffer.resize(kReadAhead);
            ssize_t got;
            do {
                got = ::read(m_fd, m_buffer.data(), m_buffer.size());
            } while (got < 0 && errno == EINTR);
            if (got < 0) Throw(errno);
            if (got == 0) {
                m_eof = true;
                break;
            }
            m_next = 0;
            m_end = static_cast<std::size_t>(got);
        }
        const std::size_t chunk = std::min(nCount - copied, m_end - m_next);
        std::memcpy(out + copied, m_buffer.data() + m_next, chunk);
        m_next += chunk;
        copied += chunk;
    }
    return copied;
}

void ScriptFile::Close() {
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    m_next = m_end = 0;
    if (::close(fd) != 0 && errno != EINTR) Throw(errno);
}

void ScriptFile::Throw(int error) const {
    throw FileException(FileException::CauseFromErrno(error), error);
}

}  // namespace vantrell
