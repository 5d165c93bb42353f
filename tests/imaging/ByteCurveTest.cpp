#include "imaging/detail/ByteCurve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace zumo::detail {
namespace {

// Every byte value at every position of a row long enough for vector body and tail.
void ExpectAppliesTable(const ByteCurve& curve, const std::uint8_t (&table)[256]) {
  for (std::size_t n : {1u, 15u, 16u, 17u, 47u, 300u}) {
    std::uint8_t row[300];
    for (int start = 0; start < 256; start += 37) {
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(start + 7 * i);
      curve.Apply(row, n);
      for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(row[i], table[static_cast<std::uint8_t>(start + 7 * i)]) << "n " << n << " i " << i;
    }
  }
}

void ContrastTable(int p, std::uint8_t (&table)[256]) {
  const double f = static_cast<double>(static_cast<long double>(p) / 100.0L);
  for (int v = 0; v < 256; ++v) {
    const long double r = rintl(v + (v - 127.5L) * f);
    table[v] = static_cast<std::uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
  }
}

TEST(ByteCurve, ContrastCurvesAreStraightLines) {
  int lines = 0, short_lines = 0;
  for (int p = -100; p <= 100; ++p) {
    std::uint8_t table[256];
    ContrastTable(p, table);
    const ByteCurve curve(table);
    if (curve.kind() == ByteCurve::Kind::kLinear || curve.kind() == ByteCurve::Kind::kShortLine) ++lines;
    if (curve.kind() == ByteCurve::Kind::kShortLine) ++short_lines;
    ExpectAppliesTable(curve, table);
  }
  std::uint8_t flat[256];
  ContrastTable(0, flat);
  EXPECT_TRUE(ByteCurve(flat).IsIdentity());
  // The fast paths are the rule, not the exception.
  EXPECT_GE(lines, 190);
  EXPECT_GE(short_lines, 150);
}

TEST(ByteCurve, RoundedSquareIsRecognised) {
  std::uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(rintl(255.0L * (i / 255.0L) * (i / 255.0L)));
  const ByteCurve curve(table);
  EXPECT_EQ(curve.kind(), ByteCurve::Kind::kSquare);
  ExpectAppliesTable(curve, table);
}

TEST(ByteCurve, OtherTablesAreLookedUp) {
  std::mt19937 rng(5);
  std::uint8_t table[256];
  for (auto& t : table) t = static_cast<std::uint8_t>(rng());
  const ByteCurve random(table);
  EXPECT_EQ(random.kind(), ByteCurve::Kind::kTable);
  ExpectAppliesTable(random, table);

  // A line with one entry off by one must not be taken for a line.
  ContrastTable(37, table);
  table[100] = static_cast<std::uint8_t>(table[100] + 1);
  const ByteCurve almost(table);
  EXPECT_EQ(almost.kind(), ByteCurve::Kind::kTable);
  ExpectAppliesTable(almost, table);
}

}  // namespace
}  // namespace zumo::detail
