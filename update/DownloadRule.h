#pragma once
// When a download of an update file is whole. The body is read in chunks until the announced
// length is reached, or, without an announced length, until the server ends the data. A read
// error, a body that ends short of its announced length and a body larger than the cap make
// the download fail, so a broken or hostile server can neither hand over a cut file as a
// whole one nor fill the disk.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The update files are short INI texts: an upgrade description is a few dozen bytes, and a
// server list with ten servers in each of the fourteen language sections about 20 KiB. The cap
// leaves room for that to triple, while a server that streams without end is cut off after a
// fraction of a second and a few dozen reads.
constexpr std::uint64_t DOWNLOAD_CAP_BYTES = 64 * 1024;
constexpr std::size_t DOWNLOAD_CHUNK_BYTES = 1024;

// The value of a Content-Length header: decimal digits with optional surrounding blanks.
// Anything else (empty, signed, other characters, beyond 64 bits) announces nothing.
std::optional<std::uint64_t> ParseContentLength(std::wstring_view text);

class CDownloadProgress
{
public:
    CDownloadProgress(std::optional<std::uint64_t> announced, std::uint64_t cap);

    // Bytes to ask for in the next read; 0 once the download has finished.
    std::size_t NextReadSize() const;
    // A read brought this many bytes; 0 means the server ended the data.
    void OnData(std::size_t bytes);
    void OnReadError();

    bool Finished() const { return m_state != STATE_READING; }
    bool Complete() const { return m_state == STATE_COMPLETE; }
    std::uint64_t Received() const { return m_nReceived; }

private:
    enum STATE
    {
        STATE_READING,
        STATE_COMPLETE,
        STATE_FAILED,
    };

    void OnEndOfData();

    std::optional<std::uint64_t> m_announced;
    std::uint64_t m_nCap;
    std::uint64_t m_nReceived = 0;
    STATE m_state = STATE_READING;
};
