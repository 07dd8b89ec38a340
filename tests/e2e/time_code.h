#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>
#include <optional>

class QPainter;

namespace vantorel::e2e {

// A clock reading drawn as big black and white cells, so that it survives video compression:
// three rows of eight cells carry 24 bits (most significant first) and three more rows carry
// their complement, which tells a clean reading from a frame caught between two paints.
namespace TimeCode {

constexpr int kBits = 24;
constexpr uint32_t kMask = (1u << kBits) - 1;

// Milliseconds of CLOCK_MONOTONIC, folded into the 24 bits that the cells carry.
uint32_t nowMs();

void paint(QPainter& painter, const QRect& area, uint32_t value);

// The value drawn in `area` of `image`, or nothing when the cells do not read cleanly.
std::optional<uint32_t> read(const QImage& image, const QRect& area);

// How far `later` lies after `earlier` on the folded clock.
int64_t msBetween(uint32_t earlier, uint32_t later);

}  // namespace TimeCode

}  // namespace vantorel::e2e
