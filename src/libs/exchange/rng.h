// Counter-based random numbers of the simulated market.
//
// Every random draw of the market is a pure function of the market's seed and of what it
// describes (commodity, trading day, minute, step), so any part of any day can be generated
// on demand, in any order, and comes out the same every time.
#pragma once

#include <cmath>
#include <cstdint>

namespace tarn::exchange {

// The splitmix64 finaliser: a bijective 64-bit mix with good avalanche.
inline uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}
inline uint64_t Hash(uint64_t a, uint64_t b) { return Mix64(a ^ Mix64(b + 0x632BE59BD9B4E019ull)); }
inline uint64_t Hash(uint64_t a, uint64_t b, uint64_t c) { return Hash(Hash(a, b), c); }
inline uint64_t Hash(uint64_t a, uint64_t b, uint64_t c, uint64_t d) { return Hash(Hash(Hash(a, b), c), d); }

// One mix over three words, for the draws made many times per minute.
inline uint64_t Mix3(uint64_t a, uint64_t b, uint64_t c) {
  return Mix64(a ^ (b * 0x9E3779B97F4A7C15ull) ^ (c * 0xC2B2AE3D27D4EB4Full));
}

// Uniform in (0, 1) from the top 53 bits.
inline double Uniform(uint64_t h) { return (static_cast<double>(h >> 11) + 0.5) * 0x1.0p-53; }

// Standard normal from one hash (Box-Muller over two 26-bit halves).
inline double Normal(uint64_t h) {
  const double u1 = (static_cast<double>(h >> 38) + 0.5) * 0x1.0p-26;
  const double u2 = (static_cast<double>((h >> 12) & 0x3FFFFFF) + 0.5) * 0x1.0p-26;
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

// A sequential generator for the places that draw many numbers in a row (a day's path).
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return Mix64(state_);
  }
  double NextUniform() { return Uniform(Next()); }
  double NextNormal() { return Normal(Next()); }
  // A cheap near-normal (sum of four uniforms, scaled to unit variance; tails end at 3.46).
  double NextFastNormal() {
    const uint64_t h = Next();
    const double sum = static_cast<double>((h & 0xFFFF) + ((h >> 16) & 0xFFFF) + ((h >> 32) & 0xFFFF) + (h >> 48));
    return (sum / 65535.0 - 2.0) * 1.7320508075688772;
  }

 private:
  uint64_t state_;
};

}  // namespace tarn::exchange
