// The file layer under the transmission pass: open a script for reading,
// read it a byte at a time, close it, and report every failure as a
// FileException whose cause picks one of a fixed set of messages.
//
// The pass reads one byte per call; ScriptFile reads ahead in blocks behind
// that, so a megabyte script costs a few dozen system calls, not a million.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace vantrell {

class FileException : public std::exception {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    FileException(Cause cause, int osError, std::string strFileName = {});

    Cause GetCause() const { return m_cause; }
    int OsError() const { return m_osError; }
    const std::string& FileName() const { return m_strFileName; }

    // The message people see: the cause's text with the file's name, or
    // "an unnamed file" when it has none.
    const std::string& GetErrorMessage() const { return m_strMessage; }
    const char* what() const noexcept override { return m_strMessage.c_str(); }

    // The cause an errno value maps to.
    static Cause CauseFromErrno(int error);

private:
    Cause m_cause;
    int m_osError;
    std::string m_strFileName;
    std::string m_strMessage;
};

class ScriptFile {
public:
    ScriptFile() = default;
    // Closes the file if it is still open, without reporting anything: this
    // runs when an exception is already on its way out.
    ~ScriptFile();

    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    // Opens an existing file for reading and asks others not to write it
    // meanwhile. Returns false on failure and remembers why; the next Read
    // then throws with that reason (a missing file reads as "not found").
    bool Open(const std::string& strPath);

    // Reads up to nCount bytes into buffer; returns how many, 0 at the end
    // of the file. Throws FileException when the system reports an error.
    std::size_t Read(void* buffer, std::size_t nCount) {
        if (nCount == 1 && m_next < m_end) {
            *static_cast<std::uint8_t*>(buffer) = m_buffer[m_next++];
            return 1;
        }
        return ReadSlow(buffer, nCount);
    }

    // Releases the file. Throws FileException when the system reports an error.
    void Close();

    bool IsOpen() const { return m_fd >= 0; }

private:
    std::size_t ReadSlow(void* buffer, std::size_t nCount);
    [[noreturn]] void Throw(int error) const;

    int m_fd = -1;
    int m_openError = 0;
    bool m_eof = false;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_next = 0;
    std::size_t m_end = 0;
};

}  // namespace vantrell
