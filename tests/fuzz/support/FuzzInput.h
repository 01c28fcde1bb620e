#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tagwright::fuzz {

// A fuzzer's bytes read as a sequence of choices. Past the end every read gives zeros, so any
// input, however short, decodes to something, and a mutation of one byte changes one choice.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool atEnd() const { return position_ >= size_; }

    std::uint8_t byte() { return atEnd() ? 0 : data_[position_++]; }

    template <class T> T integral() {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            value |= std::uint64_t(byte()) << (8 * i);
        }
        return static_cast<T>(value);
    }

    // 0 .. count - 1, from as few bytes as that needs.
    std::size_t below(std::size_t count) {
        if (count <= 1) {
            return 0;
        }
        return count <= 256 ? byte() % count : integral<std::uint32_t>() % count;
    }

    double real() { return std::bit_cast<double>(integral<std::uint64_t>()); }

    // A length byte, then that many bytes (fewer at the end of the input).
    std::string text(std::size_t maxLength = 255) {
        const std::size_t length = below(maxLength + 1);
        std::string out;
        while (out.size() < length && !atEnd()) {
            out.push_back(static_cast<char>(byte()));
        }
        return out;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace tagwright::fuzz
