#include "spl/primitives/nsptwd.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>

namespace nsp_fft {
namespace {

constexpr int kMaxOrder = 31;
constexpr int kBaseOrder = 10;  // larger orders are derived from this table
constexpr size_t kBaseSize = size_t{1} << kBaseOrder;
constexpr double kTwoPi = 6.283185307179586476925286766559;

// Transforms on several threads look tables up on every call: a built table is published
// through an atomic pointer, and building or freeing holds the mutex.
struct Registry {
  std::mutex mutex;
  std::atomic<ComplexTables*> complex[kMaxOrder + 1] = {};
  std::atomic<RealTables*> real[kMaxOrder + 1] = {};
  std::vector<double> baseCos, baseSin;  // cos, sin (2 pi k / 1024), k < 1024
};

Registry& Tables() {
  static Registry registry;
  return registry;
}

void BuildBase(Registry& reg) {
  if (!reg.baseCos.empty()) return;
  reg.baseCos.resize(kBaseSize);
  reg.baseSin.resize(kBaseSize);
  for (size_t k = 0; k < kBaseSize; ++k) {
    reg.baseCos[k] = std::cos(kTwoPi * static_cast<double>(k) / kBaseSize);
    reg.baseSin[k] = std::sin(kTwoPi * static_cast<double>(k) / kBaseSize);
  }
}

// cos and sin of 2 pi k / 2^order: small orders index the order-10 table, larger ones rotate
// its entry by the remaining fine angle.
void Angle(const Registry& reg, int order, size_t k, double& c, double& s) {
  if (order <= kBaseOrder) {
    size_t i = k << (kBaseOrder - order);
    c = reg.baseCos[i & (kBaseSize - 1)];
    s = reg.baseSin[i & (kBaseSize - 1)];
    return;
  }
  const int shift = order - kBaseOrder;
  const size_t hi = (k >> shift) & (kBaseSize - 1), lo = k & ((size_t{1} << shift) - 1);
  const double fine = kTwoPi * static_cast<double>(lo) / std::ldexp(1.0, order);
  const double fc = std::cos(fine), fs = std::sin(fine);
  c = reg.baseCos[hi] * fc - reg.baseSin[hi] * fs;
  s = reg.baseSin[hi] * fc + reg.baseCos[hi] * fs;
}

uint32_t ReverseBits(uint32_t v, int bits) {
  uint32_t r = 0;
  for (int b = 0; b < bits; ++b, v >>= 1) r = (r << 1) | (v & 1u);
  return r;
}

void BuildComplex(const Registry& reg, ComplexTables& t, int order) {
  t.order = order;
  // Radix-4 stages leave 4 points (even order) or 8 points (odd order) for the final pass.
  const int finalBits = order < 3 ? order : (order % 2 == 0 ? 2 : 3);
  t.finalLen = 1 << finalBits;
  t.stages = (order - finalBits) / 2;
  size_t total = 0;
  for (int s = 0; s < t.stages; ++s) total += 6 * ((size_t{1} << (order - 2 * s)) / 4);
  t.twiddles.resize(total);
  t.stageOffset.resize(t.stages);
  size_t at = 0;
  for (int s = 0; s < t.stages; ++s) {
    const size_t m = (size_t{1} << (order - 2 * s)) / 4;
    const size_t step = size_t{1} << (2 * s);  // W_L^j = W_N^(j * N / L)
    t.stageOffset[s] = at;
    float* w = t.twiddles.data() + at;
    for (size_t j = 0; j < m; ++j) {
      for (int q = 1; q <= 3; ++q) {
        double c, sn;
        Angle(reg, order, q * j * step, c, sn);
        w[(2 * q - 2) * m + j] = static_cast<float>(c);
        w[(2 * q - 1) * m + j] = static_cast<float>(-sn);
      }
    }
    at += 6 * m;
  }
  const int groupBits = order - finalBits;
  const size_t groups = size_t{1} << groupBits;
  t.groupOrder.resize(groups);
  for (size_t r = 0; r < groups; ++r)
    t.groupOrder[r] = ReverseBits(static_cast<uint32_t>(r), groupBits);
}

void BuildReal(const Registry& reg, RealTables& t, int order) {
  t.order = order;
  const size_t count = (size_t{1} << order) / 4 + 1;
  t.re.resize(count);
  t.im.resize(count);
  for (size_t k = 0; k < count; ++k) {
    double c, s;
    Angle(reg, order, k, c, s);
    t.re[k] = static_cast<float>(c);
    t.im[k] = static_cast<float>(-s);
  }
}

}  // namespace

namespace {

// The table of order in slots, built under the registry's mutex when missing.
template <typename Table>
const Table* Lookup(Registry& reg, std::atomic<Table*>* slots, int order,
                    void (*build)(const Registry&, Table&, int)) {
  if (const Table* t = slots[order].load(std::memory_order_acquire)) return t;
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (const Table* t = slots[order].load(std::memory_order_relaxed)) return t;
  try {
    BuildBase(reg);
    auto t = std::make_unique<Table>();
    build(reg, *t, order);
    slots[order].store(t.get(), std::memory_order_release);
    return t.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

}  // namespace

const ComplexTables* GetComplexTables(int order) {
  Registry& reg = Tables();
  return Lookup(reg, reg.complex, order, BuildComplex);
}

const RealTables* GetRealTables(int order) {
  Registry& reg = Tables();
  return Lookup(reg, reg.real, order, BuildReal);
}

void FreeTables() {
  Registry& reg = Tables();
  std::lock_guard<std::mutex> lock(reg.mutex);
  for (auto& t : reg.complex) delete t.exchange(nullptr);
  for (auto& t : reg.real) delete t.exchange(nullptr);
}

}  // namespace nsp_fft
