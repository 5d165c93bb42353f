// TABitmap::AddNoise and its generator: uniform, coloured noise that only raises values.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "imaging/ABitmap.h"

namespace zumo {
namespace {

std::uint64_t SplitMix64(std::uint64_t& state) noexcept {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// xoshiro256**: fast, with a period far beyond any picture.
class NoiseGenerator {
 public:
  explicit NoiseGenerator(std::uint64_t seed) noexcept {
    for (auto& word : s_) word = SplitMix64(seed);
  }

  std::uint64_t Next() noexcept {
    const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

 private:
  static std::uint64_t Rotl(std::uint64_t x, int k) noexcept { return (x << k) | (x >> (64 - k)); }
  std::uint64_t s_[4];
};

// Uniform draws on 0..n-1 (n in 2..255) from 16-bit pieces of the generator's output, by
// multiply and shift with rejection of the few pieces that would favour some values.
class UniformBelow {
 public:
  UniformBelow(NoiseGenerator& generator, std::uint32_t n) noexcept
      : generator_(generator), n_(n), threshold_((65536u - n) % n) {}

  std::uint32_t Next() noexcept {
    for (;;) {
      if (pieces_left_ == 0) {
        bits_ = generator_.Next();
        pieces_left_ = 4;
      }
      const std::uint32_t piece = static_cast<std::uint32_t>(bits_ & 0xFFFF);
      bits_ >>= 16;
      --pieces_left_;
      const std::uint32_t m = piece * n_;
      if ((m & 0xFFFF) >= threshold_) return m >> 16;
    }
  }

 private:
  NoiseGenerator& generator_;
  std::uint32_t n_;
  std::uint32_t threshold_;
  std::uint64_t bits_ = 0;
  int pieces_left_ = 0;
};

std::atomic<bool> seed_fixed{false};
std::atomic<std::uint64_t> fixed_seed{0};
std::atomic<std::uint64_t> calls{0};

// A fresh seed from the clock for every call; the call counter keeps two calls within one
// clock tick apart.
std::uint64_t ClockSeed() noexcept {
  std::uint64_t state = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  state ^= SplitMix64(state) + calls.fetch_add(1, std::memory_order_relaxed) * 0xD1B54A32D192ED03ull;
  return SplitMix64(state);
}

}  // namespace

void TABitmap::FixNoiseSeed(std::optional<std::uint64_t> seed) {
  fixed_seed.store(seed.value_or(0), std::memory_order_relaxed);
  seed_fixed.store(seed.has_value(), std::memory_order_release);
}

std::uint64_t TABitmap::NewNoiseSeed() noexcept {
  return seed_fixed.load(std::memory_order_acquire) ? fixed_seed.load(std::memory_order_relaxed) : ClockSeed();
}

void TABitmap::AddNoise(Bitmap& Target, std::uint8_t N) { AddNoise(Target, N, std::nullopt); }

void TABitmap::AddNoise(Bitmap& Target, std::uint8_t N, std::optional<std::uint64_t> chosen_seed) {
  const std::uint64_t seed = chosen_seed ? *chosen_seed : NewNoiseSeed();
  // Draws from 0..0 are all 0: nothing would change.
  if (N <= 1 || Target.Empty()) return;
  NoiseGenerator generator(seed);
  UniformBelow draw(generator, N);
  // Row 0 first, each row from its first byte: one draw per byte, in this order.
  std::uint8_t* const bits = Target.MutableBits();
  const std::size_t n = 3 * static_cast<std::size_t>(Target.Width());
  for (int y = 0; y < Target.Height(); ++y) {
    std::uint8_t* row = bits + y * Target.Stride();
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t v = row[i] + draw.Next();
      row[i] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
    }
  }
}

}  // namespace zumo
