#pragma once
// byte_source.h: a readable sequence of bytes that the stream encoders pull in fixed chunks, so that an
// attachment of any size is encoded without holding it in memory. A property stream of the reader adapts to it;
// memory_source serves buffers and tests. Not thread-safe; a source is read by one encoder at a time.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace mailferry {

struct TextEncodingItem;

class byte_source {
public:
    virtual ~byte_source() = default;
    // Copies up to buffer.size() bytes into buffer and returns how many; 0 means the end of the data.
    // A source may return fewer bytes than asked for before its end.
    virtual std::size_t read(std::span<char> buffer) = 0;
};

// Serves the bytes of a buffer, at most `piece` bytes a read (0: as many as asked for).
// The buffer must outlive the source.
class memory_source : public byte_source {
public:
    explicit memory_source(std::string_view bytes, std::size_t piece = 0) : m_bytes(bytes), m_piece(piece) {}
    std::size_t read(std::span<char> buffer) override;

private:
    std::string_view m_bytes;
    std::size_t m_piece;
};

// Fills buffer from the source until it is full or the source ends; returns the bytes read.
std::size_t read_full(byte_source& source, std::span<char> buffer);

// Appends everything the source still has to `out`.
void append_all(byte_source& source, std::string& out);

// Converts one chunk of a stream's text into the code page the output needs and appends it to `out`
// (ConvertCodePage from the stream's encoding to the target one). An empty converter copies the bytes.
using chunk_converter = std::function<void(std::string_view chunk, std::string& out)>;

// The converter between two rows of the code-page table; ConvertCodePage's exceptions pass through. A chunk must
// end on a character boundary, so the stream encoders hand it whole texts.
chunk_converter code_page_converter(const TextEncodingItem* from, const TextEncodingItem* to);

}  // namespace mailferry
