#pragma once
// The replicates file: a column per measure asked for, in replication order,
// each number in the shortest form that reads back as the same double.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace diffboot::report {

// A column of the replicates file: its header and its replicates.
struct ReplicateColumn {
  std::string_view name;           // such as "d_AVE"
  std::span<const double> values;  // in replication order
};

// The header line, then the first `replications` values of every column
// (each holds at least that many) a row each, comma-separated, LF line ends.
std::string replicates_csv(std::span<const ReplicateColumn> columns, std::int32_t replications);

}  // namespace diffboot::report
