// Heart rates of the pulse graph: the rate labels and the rate a curve point is drawn at.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Beats per minute for a beat interval in milliseconds as the labels show it:
// 60000 / the whole milliseconds, held to what three digits can show (0..999). An interval
// under 1 ms (or not a number) shows 999.
std::int32_t labelRate(float intervalMs);

// The 9 CP1251 bytes of a rate label: the rate's hundreds digit (a space when 0), tens and
// ones digit, then "уд/мин"; 72 gives " 72уд/мин", 7 gives " 07уд/мин".
struct RateLabel {
    std::array<char, 9> bytes;
    std::string_view view() const { return {bytes.data(), bytes.size()}; }
};
RateLabel rateLabel(std::int32_t rate);

// Beats per minute for an interval in milliseconds as the curve places it: 60000 / interval,
// at most 999 like the labels, so a zero interval stays on the graph.
float curveRate(float intervalMs);
