#include "plot/figure.h"

#include <filesystem>

#include "plot/plot_program.h"
#include "staging/unnamed_file.h"

namespace diffboot::plot {

namespace {

// Whether `figure` ends as a whole file of its format does: an SVG's closing
// tag, a PNG's IEND chunk (then its 4-byte checksum), a PDF's end-of-file mark.
bool complete(const staging::UnnamedFile& figure, FigureFormat format) {
  switch (format) {
    case FigureFormat::svg: return figure.tail(64).find("</svg>") != std::string::npos;
    case FigureFormat::png: return figure.tail(8).substr(0, 4) == "IEND";
    case FigureFormat::pdf: return figure.tail(64).find("%%EOF") != std::string::npos;
  }
  return false;
}

}  // namespace

std::string draw_figure(const Figure& f) { return draw_composition(f.file, f.format, compose_figure(f)); }

std::string draw_groups_figure(const GroupsFigure& f) {
  return draw_composition(f.file, f.format, compose_model(figure::groups_model(f), f.format));
}

std::string draw_composition(const std::string& file, FigureFormat format, const Composition& composed) {
  const std::string directory = std::filesystem::path(file).parent_path().string();
  staging::UnnamedFile data(directory), script(directory), kept_script(directory), figure(directory);
  for (const staging::UnnamedFile* staged : {&data, &script, &kept_script, &figure}) {
    if (!staged->error().empty()) return staged->error();
  }
  // gnuplot reads this run's own data and writes into this run's own file,
  // both reached through descriptors, never through a name the user gave.
  if (!data.write(composed.data)) return data.error();
  if (!script.write(figure_script(file, composed, figure.child_path(), data.child_path()))) return script.error();
  if (!kept_script.write(figure_script(file, composed, file, file + ".dat"))) return kept_script.error();
  const int inherited[] = {data.descriptor(), script.descriptor(), figure.descriptor()};
  if (std::string problem = describe(run_figure_script(script.child_path(), inherited)); !problem.empty()) {
    return problem;
  }
  if (figure.size() <= 0 || !complete(figure, format)) return "gnuplot wrote no complete figure";
  // The three take their names one run at a time, so that they always come
  // from one run.
  const staging::DirectoryLock lock(directory);
  for (auto [staged, name] : {std::pair{&data, file + ".dat"}, {&kept_script, file + ".gp"}, {&figure, file}}) {
    if (std::string problem = staged->give_name(name); !problem.empty()) return "cannot write \"" + name + "\": " + problem;
  }
  return {};
}

}  // namespace diffboot::plot
