#pragma once
// property_source.h: a property stream of the reader as a byte source, so the encoders pull a body, an attachment
// or a photo in chunks. Internal to the writers module.

#include <cstddef>
#include <span>
#include <utility>

#include "encoding/byte_source.h"
#include "pstcore/tables/hnid_stream.h"

namespace mailferry::detail {

class PropertySource final : public byte_source {
public:
    explicit PropertySource(pstcore::hnid_stream_device device) : _device(std::move(device)) {}
    std::size_t read(std::span<char> buffer) override {
        const std::streamsize got = _device.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

private:
    pstcore::hnid_stream_device _device;
};

}  // namespace mailferry::detail
