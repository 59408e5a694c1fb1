#include "ssim.h"

#include <array>
#include <cmath>
#include <vector>

namespace relkit_report {

namespace {

constexpr int kRadius = kSsimWindow / 2;
constexpr double kSigma = 1.5;
constexpr double kC1 = (0.01 * 255) * (0.01 * 255);
constexpr double kC2 = (0.03 * 255) * (0.03 * 255);
// the five moments the window averages: a, b, a², b², ab
constexpr int kMoments = 5;

std::array<float, kSsimWindow> Weights() {
  std::array<float, kSsimWindow> w{};
  double sum = 0;
  std::array<double, kSsimWindow> exact{};
  for (int k = 0; k < kSsimWindow; ++k) {
    const double x = k - kRadius;
    exact[size_t(k)] = std::exp(-x * x / (2 * kSigma * kSigma));
    sum += exact[size_t(k)];
  }
  for (int k = 0; k < kSsimWindow; ++k) w[size_t(k)] = float(exact[size_t(k)] / sum);
  return w;
}

}  // namespace

std::optional<double> Ssim(const RgbImage& a, const RgbImage& b) {
  const int width = a.width, height = a.height;
  if (width < kSsimWindow || height < kSsimWindow) return std::nullopt;
  static const std::array<float, kSsimWindow> w = Weights();
  const int across = width - 2 * kRadius;  // window positions along a row
  const size_t stride = size_t(across);
  // rows filtered along x, kept for the last kSsimWindow image rows: [row % window][moment][x]
  std::vector<float> rows(size_t(kSsimWindow) * kMoments * stride);
  std::vector<float> values(size_t(kMoments) * size_t(width));
  std::vector<float> sums(size_t(kMoments) * stride);
  double total = 0;
  for (int channel = 0; channel < 3; ++channel) {
    double channelTotal = 0;
    for (int y = 0; y < height; ++y) {
      // Floats keep the loops below vectorised. The values are taken about 128, which leaves the
      // variances as they are and halves the magnitude the squares' rounding is relative to.
      float* v = values.data();
      const uint8_t* pa = &a.pixels[size_t(y) * size_t(width) * 3 + size_t(channel)];
      const uint8_t* pb = &b.pixels[size_t(y) * size_t(width) * 3 + size_t(channel)];
      for (int x = 0; x < width; ++x) {
        const float fa = float(pa[3 * x]) - 128.0f, fb = float(pb[3 * x]) - 128.0f;
        v[x] = fa;
        v[width + x] = fb;
        v[2 * width + x] = fa * fa;
        v[3 * width + x] = fb * fb;
        v[4 * width + x] = fa * fb;
      }
      float* out = &rows[size_t(y % kSsimWindow) * kMoments * stride];
      for (int m = 0; m < kMoments; ++m) {
        float* o = out + size_t(m) * stride;
        const float* in = v + size_t(m) * size_t(width);
        for (int x = 0; x < across; ++x) o[x] = 0;
        for (int k = 0; k < kSsimWindow; ++k) {
          const float wk = w[size_t(k)];
          for (int x = 0; x < across; ++x) o[x] += wk * in[x + k];
        }
      }
      if (y < kSsimWindow - 1) continue;
      // the window centred on row y - kRadius is complete
      for (float& s : sums) s = 0;
      for (int k = 0; k < kSsimWindow; ++k) {
        const float wk = w[size_t(k)];
        const float* in = &rows[size_t((y - kSsimWindow + 1 + k) % kSsimWindow) * kMoments * stride];
        for (size_t i = 0; i < sums.size(); ++i) sums[i] += wk * in[i];
      }
      double rowTotal = 0;
      for (int x = 0; x < across; ++x) {
        const double ca = sums[size_t(x)], cb = sums[stride + size_t(x)];
        const double va = sums[2 * stride + size_t(x)] - ca * ca;
        const double vb = sums[3 * stride + size_t(x)] - cb * cb;
        const double cov = sums[4 * stride + size_t(x)] - ca * cb;
        const double ma = ca + 128, mb = cb + 128;
        rowTotal += ((2 * ma * mb + kC1) * (2 * cov + kC2)) / ((ma * ma + mb * mb + kC1) * (va + vb + kC2));
      }
      channelTotal += rowTotal;
    }
    total += channelTotal / (double(across) * double(height - 2 * kRadius));
  }
  return total / 3;
}

}  // namespace relkit_report
