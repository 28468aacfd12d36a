#pragma once
// Two samples from the columns of a data frame, by the rules of the
// program's tables: the values of two columns (paired: the rows are the
// pairs), or the rows of two groups of a long table (paired: the rows of one
// id, or the groups' rows in order). A door hands over its frame's columns
// as numbers or texts with a mask of missing cells and gets the samples, the
// counts of what was left out and the program's messages back.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diffboot/diffboot.h"

namespace diffboot {

// A column as a door holds it: numbers (NaN missing) or texts, and
// optionally a mask marking missing cells (nonzero: missing). Texts are
// read as the program reads a table's cells: blanks around them ignored,
// empty, NA, NaN and null missing, anything else not a number an Error.
struct Column {
  std::string name;
  std::span<const double> numbers;
  std::span<const std::string> texts;   // used when `numbers` is empty and this is not
  std::span<const std::uint8_t> missing;  // empty, or one flag a cell
  bool is_text = false;                   // the cells are `texts`

  std::size_t size() const { return is_text ? texts.size() : numbers.size(); }
};

// The two samples of a frame and what was left out of them.
struct FrameSamples {
  std::vector<double> x, y;
  std::array<std::string, 2> labels;         // the columns or the groups, as named
  std::int64_t missing_x = 0, missing_y = 0;  // missing cells among each sample's rows
  std::int64_t pairs_dropped = 0;             // paired: pairs left out for a missing or absent half or id
  std::string notes;                          // lines for the user: what was left out and why
};

// Two columns of a frame (paired: each row a pair, a row with a missing cell
// left out whole).
// With `proportions` the values are 0/1 outcomes: texts TRUE/FALSE, true/
// false, yes/no (any letter case) are 1/0, and any value other than 0 or 1
// is an Error naming its column and row.
FrameSamples frame_columns(const Column& a, const Column& b, Experiment e, bool proportions = false);

// The rows of groups `groups` of the column `by` and their values in `value`;
// paired by `id` when it has cells, else the groups' rows in order (which
// must then be as many). Groups match as the program matches them: the same
// text, or numbers of the same value ("2.0" names the group 2). A row whose
// id is missing pairs with nothing and is counted; an id twice in a group,
// and ids in an unpaired experiment, are Errors.
FrameSamples frame_groups(const Column& by, const Column& value, const Column& id, const std::array<std::string, 2>& groups,
                          Experiment e, bool proportions = false);

// The cluster of each value frame_groups() takes from the rows of `groups`
// (unpaired), in its order: the key of the row's `cluster` cell (a text
// without its surrounding blanks, a number's shortest text), empty where the
// cell is missing, for Options::clusters. A paired experiment is an Error:
// the pair is its unit.
Clusters frame_clusters(const Column& by, const Column& value, const Column& cluster,
                        const std::array<std::string, 2>& groups, Experiment e);

// The analysis of a frame's samples: analyse() of their values, the counts
// of what the frame left out in place of the analysis' own.
Results analyse(const FrameSamples& samples, const Options& options);
Results analyse(const FrameSamples& samples, const Options& options, Control& control);

}  // namespace diffboot
