// Small vector type shared by the scene model and the renderers.
#pragma once
#include <cmath>

namespace zorhost {

struct Vec3 {
  double x = 0, y = 0, z = 0;
  Vec3() = default;
  constexpr Vec3(double vx, double vy, double vz) : x(vx), y(vy), z(vz) {}
  double operator[](int axis) const { return axis == 0 ? x : (axis == 1 ? y : z); }
  double& operator[](int axis) { return axis == 0 ? x : (axis == 1 ? y : z); }
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator-(Vec3 a) {
  return {-a.x, -a.y, -a.z};
}
inline Vec3 operator*(Vec3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(double s, Vec3 a) {
  return a * s;
}
inline Vec3 operator*(Vec3 a, Vec3 b) {
  return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline Vec3 operator/(Vec3 a, double s) {
  return {a.x / s, a.y / s, a.z / s};
}
inline Vec3& operator+=(Vec3& a, Vec3 b) {
  return a = a + b;
}
inline double dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3 a) {
  return std::sqrt(dot(a, a));
}
inline Vec3 normalize(Vec3 a) {
  double len = length(a);
  return len > 0 ? a / len : a;
}
inline Vec3 min_each(Vec3 a, Vec3 b) {
  return {std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z)};
}
inline Vec3 max_each(Vec3 a, Vec3 b) {
  return {std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z)};
}

}  // namespace zorhost
