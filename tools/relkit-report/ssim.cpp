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
  static const std::array<float, kSsimWindow> kWeights = Weights();
  const size_t across = size_t(width - 2 * kRadius);  // window positions along a row
  const size_t wide = size_t(width);
  // rows filtered along x, kept for the last kSsimWindow image rows: [row % window][moment][x]
  std::vector<float> rows(size_t(kSsimWindow) * kMoments * across);
  std::vector<float> values(size_t(kMoments) * wide);
  std::vector<float> sums(size_t(kMoments) * across), mapRow(across);
  double total = 0;
  for (int channel = 0; channel < 3; ++channel) {
    double channelTotal = 0;
    for (int y = 0; y < height; ++y) {
      // Floats keep the loops below vectorised. The samples are taken about 128, which leaves the
      // variances as they are and halves the magnitude the squares' rounding is relative to.
      float* __restrict v = values.data();
      const uint8_t* pa = &a.pixels[size_t(y) * wide * 3 + size_t(channel)];
      const uint8_t* pb = &b.pixels[size_t(y) * wide * 3 + size_t(channel)];
      for (size_t x = 0; x < wide; ++x) {
        const float fa = float(pa[3 * x]) - 128.0f, fb = float(pb[3 * x]) - 128.0f;
        v[x] = fa;
        v[wide + x] = fb;
        v[2 * wide + x] = fa * fa;
        v[3 * wide + x] = fb * fb;
        v[4 * wide + x] = fa * fb;
      }
      float* out = &rows[size_t(y % kSsimWindow) * kMoments * across];
      for (size_t m = 0; m < kMoments; ++m) {
        float* __restrict o = out + m * across;
        const float* __restrict in = v + m * wide;
        for (size_t x = 0; x < across; ++x) {
          float sum = 0;
          for (size_t k = 0; k < kSsimWindow; ++k) sum += kWeights[k] * in[x + k];
          o[x] = sum;
        }
      }
      if (y < kSsimWindow - 1) continue;
      // the window centred on row y - kRadius is complete
      const float* in[kSsimWindow];
      for (int k = 0; k < kSsimWindow; ++k)
        in[k] = &rows[size_t((y - kSsimWindow + 1 + k) % kSsimWindow) * kMoments * across];
      float* __restrict s = sums.data();
      for (size_t i = 0; i < sums.size(); ++i) {
        float sum = 0;
        for (size_t k = 0; k < kSsimWindow; ++k) sum += kWeights[k] * in[k][i];
        s[i] = sum;
      }
      float* __restrict map = mapRow.data();
      for (size_t x = 0; x < across; ++x) {
        const float ca = s[x], cb = s[across + x];
        const float va = s[2 * across + x] - ca * ca;
        const float vb = s[3 * across + x] - cb * cb;
        const float cov = s[4 * across + x] - ca * cb;
        const float ma = ca + 128.0f, mb = cb + 128.0f;
        map[x] = ((2 * ma * mb + float(kC1)) * (2 * cov + float(kC2))) /
                 ((ma * ma + mb * mb + float(kC1)) * (va + vb + float(kC2)));
      }
      // summed apart in doubles, so that the loop above stays vectorised and the total exact enough
      double rowTotal = 0;
      for (size_t x = 0; x < across; ++x) rowTotal += map[x];
      channelTotal += rowTotal;
    }
    total += channelTotal / (double(across) * double(height - 2 * kRadius));
  }
  return total / 3;
}

}  // namespace relkit_report
