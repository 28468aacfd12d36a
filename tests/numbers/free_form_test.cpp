// Free-form numbers: the documented records, and the fast reader against
// the general route through strtod (the same double, bit for bit, or the same
// refusal) for every token of the fuzz corpus and a million random numerals.
#include "numbers/free_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "support/console_capture.h"
#include "support/samples.h"

namespace diffboot::numbers {
namespace {

struct FreeFormCase {
  const char* record;
  FreeForm kind;
  double value;
};

TEST(FreeFormTest, Values) {
  const FreeFormCase cases[] = {
      {"12", FreeForm::value, 12.0},
      {"-3.5", FreeForm::value, -3.5},
      {".5", FreeForm::value, 0.5},
      {"5.", FreeForm::value, 5.0},
      {"1.5E3", FreeForm::value, 1500.0},
      {"1.5e-03", FreeForm::value, 0.0015},
      {"2.0D+00", FreeForm::value, 2.0},
      {"2.5q1", FreeForm::value, 25.0},
      {"+7", FreeForm::value, 7.0},
      {"1.5+3", FreeForm::value, 1500.0},
      {"1.5-1", FreeForm::value, 0.15},
      {"   3.25   ", FreeForm::value, 3.25},
      {"3.25 comment", FreeForm::value, 3.25},
      {"3,25", FreeForm::value, 3.0},
      {"1.5 2.5", FreeForm::value, 1.5},
      {"1.5,2.5", FreeForm::value, 1.5},
      {"7/", FreeForm::value, 7.0},
      {"0.1", FreeForm::value, 0.1},
      {"4.9e-324", FreeForm::value, 4.9e-324},
      {"1e-400", FreeForm::value, 0.0},
      {",", FreeForm::no_value, 0.0},
      {" /", FreeForm::no_value, 0.0},
      {"", FreeForm::blank, 0.0},
      {"     ", FreeForm::blank, 0.0},
      {"#", FreeForm::invalid, 0.0},
      {"abc", FreeForm::invalid, 0.0},
      {"1.2.3", FreeForm::invalid, 0.0},
      {".", FreeForm::invalid, 0.0},
      {"-", FreeForm::invalid, 0.0},
      {"1e", FreeForm::invalid, 0.0},
      {"1e+", FreeForm::invalid, 0.0},
      {"1x", FreeForm::invalid, 0.0},
      {"1e400", FreeForm::invalid, 0.0},
      {"-1e400", FreeForm::invalid, 0.0},
      {"inf", FreeForm::invalid, 0.0},
      {"nan", FreeForm::invalid, 0.0},
      {"0x10", FreeForm::invalid, 0.0},
      {"1e5.5", FreeForm::invalid, 0.0},
  };
  for (const auto& c : cases) {
    const FreeFormField f = parse_free_form(c.record, true);
    EXPECT_EQ(f.kind, c.kind) << '"' << c.record << '"';
    if (c.kind == FreeForm::value) {
      EXPECT_EQ(f.value, c.value) << c.record;
    }
  }
}

TEST(FreeFormTest, TabsSeparateUnlessLeftUnexpanded) {
  EXPECT_EQ(parse_free_form("\t2.5\t9", true).value, 2.5);
  EXPECT_EQ(parse_free_form("\t2.5", false).kind, FreeForm::invalid);
}


// What strtod makes of a token after the exponent mapping: the reader's
// reference, with an overflow refused.
std::optional<double> through_strtod(std::string_view token) {
  const std::optional<std::string> text = strtod_text(token);
  if (!text) return std::nullopt;
  const double value = std::strtod(text->c_str(), nullptr);
  if (std::isinf(value)) return std::nullopt;
  return value;
}

// The value alone, and the value as the first item of a record.
void expect_same(std::string_view token) {
  const std::optional<double> fast = convert_real(token), reference = through_strtod(token);
  ASSERT_EQ(fast.has_value(), reference.has_value()) << token;
  if (fast) {
    ASSERT_EQ(testing::bits(*fast), testing::bits(*reference)) << token;
  }
  const std::string record = "  " + std::string(token) + ",7 x";
  const FreeFormField field = parse_free_form(record, true);
  if (token.empty()) return;
  ASSERT_EQ(field.kind == FreeForm::value, reference.has_value()) << record;
  if (reference) {
    ASSERT_EQ(testing::bits(field.value), testing::bits(*reference)) << record;
    ASSERT_EQ(field.text, token) << record;
  }
}

TEST(FreeFormTest, FuzzCorpusTokensReadAsStrtodReadsThem) {
  std::size_t tokens = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(FUZZ_CORPUS_DIR)) {
    if (!entry.is_regular_file()) continue;
    const std::string bytes = testing::read_file(entry.path());
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
      const bool separator = i == bytes.size() || bytes[i] == '\n' || bytes[i] == ' ' || bytes[i] == ',' ||
                             bytes[i] == '/' || bytes[i] == '\t' || bytes[i] == '\r';
      if (!separator) continue;
      if (i > start) {
        expect_same(std::string_view(bytes).substr(start, i - start));
        ++tokens;
      }
      start = i + 1;
    }
  }
  EXPECT_GT(tokens, 20u) << "the corpus was read";
}

TEST(FreeFormTest, RandomNumeralsReadAsStrtodReadsThem) {
  std::mt19937_64 rng(2026);
  const std::string signs[] = {"", "", "-", "+"};
  const std::string letters[] = {"E", "e", "D", "d", "Q", ""};
  auto digits = [&](int max) {
    std::string d;
    for (int k = static_cast<int>(rng() % static_cast<unsigned>(max + 1)); k > 0; --k) d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  for (int i = 0; i < 1000000; ++i) {
    std::string token = signs[rng() % 4] + digits(20);
    if (rng() % 2) token += "." + digits(20);
    if (rng() % 2) {
      const int exponent = static_cast<int>(rng() % 700) - 350;
      token += letters[rng() % 6] + (exponent >= 0 && rng() % 2 ? "+" : "") + std::to_string(exponent);
    }
    expect_same(token);
  }
  for (const char* edge : {"4.9e-324", "2.4703282292062327e-324", "1e-400", "1.7976931348623157e308", "1.8e308",
                           "-0", "0.0e0", "inf", "nan", "-.5", ".", "-", "1e", "1.5+3", "0x1p3", "1d-2"}) {
    expect_same(edge);
  }
}

}  // namespace
}  // namespace diffboot::numbers
