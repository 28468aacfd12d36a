#include "report/replicates.h"

#include "report/machine_report.h"

namespace diffboot::report {

std::string replicates_csv(std::span<const ReplicateColumn> columns, std::int32_t replications) {
  std::string out;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) out += ',';
    out += columns[k].name;
  }
  out += '\n';
  for (std::size_t i = 0; i < static_cast<std::size_t>(replications); ++i) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (k > 0) out += ',';
      out += shortest(columns[k].values[i]);
    }
    out += '\n';
  }
  return out;
}

}  // namespace diffboot::report
