// The structural similarity of two images (Wang, Bovik, Sheikh and Simoncelli, 2004): an 11 x 11
// Gaussian window of sigma 1.5, K1 = 0.01, K2 = 0.03, L = 255, per channel, averaged over the window
// positions that lie wholly inside the image and then over the three channels.
#pragma once
#include <optional>

#include "images.h"

namespace relkit_report {

inline constexpr int kSsimWindow = 11;

// From -1 to 1, 1 for equal images; none when an image is narrower or lower than the window. Both
// images have the same size. Time and memory are linear in the pixels (the window is separable and
// only its rows are kept).
std::optional<double> Ssim(const RgbImage& a, const RgbImage& b);

}  // namespace relkit_report
