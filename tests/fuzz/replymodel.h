#pragma once

// The reply rules written again from the wire format rather than taken from the panel, and the way
// the fuzz targets cut their input into reads. Both targets check the panel against this model.

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ReplyModel {

enum class Verdict { Silence, Noise, Short, Full, Broken };

// The reply rules, written again from the wire format rather than taken from the panel.
inline Verdict judge(const QByteArray &read, int polled)
{
    const auto byte = [&read](int position) { return static_cast<unsigned char>(read.at(position)); };
    if (read.isEmpty())
        return Verdict::Silence;
    if (read.size() >= 4 && byte(0) == 0xBB && byte(1) == polled && byte(3) == 0xFF)
        return Verdict::Short;
    if (read.size() >= 2 && byte(0) == 0xCC && byte(1) == polled) {
        if (read.size() < 31)
            return Verdict::Broken;
        unsigned sum = 0;
        for (int position = 1; position <= 29; ++position)
            sum += byte(position);
        return (sum & 0xFF) == byte(30) ? Verdict::Full : Verdict::Broken;
    }
    return Verdict::Noise;
}

// Where each record field comes from in a full reply; -1 and -2 are the two halves of byte 22.
constexpr int recordSource[28] = {3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 17, 18,
                                  19, 20, 21, -1, -2, 23, 24, 25, 15, 16, 26, 27, 28, 29};

inline std::array<unsigned char, 28> expectedRecord(const QByteArray &reply)
{
    std::array<unsigned char, 28> record{};
    const auto byte = [&reply](int position) { return static_cast<unsigned char>(reply.at(position)); };
    for (int field = 0; field < 28; ++field) {
        const int source = recordSource[field];
        record[field] = source == -1 ? byte(22) >> 4 : source == -2 ? byte(22) & 0x0F : byte(source);
    }
    return record;
}

[[noreturn]] inline void violated(const char *what, int channel, int index)
{
    std::fprintf(stderr, "invariant broken on channel %d, controller %d: %s\n", channel, index, what);
    std::abort();
}

inline void check(bool holds, const char *what, int channel, int index)
{
    if (!holds)
        violated(what, channel, index);
}

class Input
{
public:
    Input(const uint8_t *data, size_t size)
        : data(data)
        , size(size)
    {
    }
    bool atEnd() const { return position >= size; }
    unsigned char next() { return atEnd() ? 0 : data[position++]; }
    // The bytes are the input's own, not copied: valid while the input is.
    QByteArray take(size_t count)
    {
        count = std::min(count, size - position);
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data + position), int(count));
        position += count;
        return bytes;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t position = 0;
};

} // namespace ReplyModel
