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

std::string draw_figure(const Figure& f) {
  const std::string directory = std::filesystem::path(f.file).parent_path().string();
  staging::UnnamedFile data(directory), script(directory), kept_script(directory), figure(directory);
  for (const staging::UnnamedFile* file : {&data, &script, &kept_script, &figure}) {
    if (!file->error().empty()) return file->error();
  }
  // gnuplot reads this run's own data and writes into this run's own file,
  // both reached through descriptors, never through a name the user gave.
  const Composition composed = compose_figure(f);
  if (!data.write(composed.data)) return data.error();
  if (!script.write(figure_script(f, composed, figure.child_path(), data.child_path()))) return script.error();
  if (!kept_script.write(figure_script(f, composed, f.file, f.file + ".dat"))) return kept_script.error();
  const int inherited[] = {data.descriptor(), script.descriptor(), figure.descriptor()};
  if (std::string problem = describe(run_figure_script(script.child_path(), inherited)); !problem.empty()) {
    return problem;
  }
  if (figure.size() <= 0 || !complete(figure, f.format)) return "gnuplot wrote no complete figure";
  // The three take their names one run at a time, so that they always come
  // from one run.
  const staging::DirectoryLock lock(directory);
  for (auto [file, name] : {std::pair{&data, f.file + ".dat"}, {&kept_script, f.file + ".gp"}, {&figure, f.file}}) {
    if (std::string problem = file->give_name(name); !problem.empty()) return "cannot write \"" + name + "\": " + problem;
  }
  return {};
}

}  // namespace diffboot::plot
