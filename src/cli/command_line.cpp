#include "cli/command_line.hpp"

#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/analyse_command.hpp"

namespace quorvel::cli {

int run_command_line(int argc, char** argv) {
  CLI::App app{
      "Quorvel tests a sampled time series for nonlinearity, time irreversibility, non-Gaussianity and\n"
      "aliasing with trispectrum statistics. Without arguments it runs the batch of Runquorvel.cnl in\n"
      "the working directory; `quorvel analyse` analyses one column of plain data files.",
      "quorvel"};
  app.set_version_flag("--version", std::string("quorvel ") + QUORVEL_VERSION, "Print the version and exit");

  AnalyseOptions o;
  CLI::App* analyse = app.add_subcommand("analyse", "Analyse one column of CSV or whitespace-separated files");
  analyse->add_option("FILE", o.files, "Data files (CSV or whitespace-separated, header row optional); - is standard input")
      ->required();
  analyse->add_option("-c,--column", o.column, "Column to analyse: 1-based number or header name")
      ->capture_default_str();
  analyse->add_option("--delimiter", o.layout.delimiter, "Cell delimiter: auto, ',', ';' (decimal commas), tab or space")
      ->check(CLI::IsMember({"auto", ",", ";", "tab", "space"}).description(""))
      ->capture_default_str();
  analyse->add_option("--header", o.layout.header, "First line names the columns: yes, no or auto")
      ->check(CLI::IsMember({"auto", "yes", "no"}).description(""))
      ->capture_default_str();
  analyse->add_option("--unit", o.unit, "Sampling unit: kHz, Hz or the name of a time unit (days, years, ...)")
      ->capture_default_str();
  analyse->add_option("--rate", o.rate, "Sampling rate (kHz, Hz), or the sampling interval in a time unit")
      ->capture_default_str();
  analyse->add_option("--band", o.band, "Passband LO,HI in the unit (Hz or kHz); default: the whole band");
  analyse->add_option("--periods", o.periods, "Passband as LONGEST,SHORTEST period (a time unit)");
  analyse->add_option("--taper", o.taper, "Taper, percent of each frame, 0 to 25")->capture_default_str();
  CLI::Option* bandwidth = analyse->add_option("--bandwidth", o.bandwidth, "Resolution bandwidth (sets the frame length)");
  analyse->add_option("--frame", o.frame, "Frame length M, or auto: 16 points (N/4 below 64 values)")
      ->capture_default_str()
      ->excludes(bandwidth);
  analyse->add_option("--ar", o.ar, "Largest AR order of the prewhitening; 0 = none (default: min(10, N/10))");
  analyse->add_option("--ar-threshold", o.ar_threshold, "p-value threshold for keeping an AR lag")
      ->capture_default_str();
  analyse->add_option("--start", o.start, "First datum analysed (1-based)")->capture_default_str();
  analyse->add_option("--end", o.end, "Last datum analysed; 0 = the last")->capture_default_str();
  analyse->add_option("--resamples", o.resamples, "Bootstrap resamples (0 = none; 11 or more, with prewhitening)")
      ->capture_default_str();
  analyse->add_option("--quantile", o.quantile, "Quantile of the nonlinearity test")->capture_default_str();
  analyse->add_option("--seed", o.seed, "Seed of the bootstrap's shuffles (default: as a batch run)");
  analyse->add_option("--format", o.format, "Results on standard output as text, json (one object per line) or csv")
      ->check(CLI::IsMember({"text", "json", "csv"}))
      ->capture_default_str();
  analyse->add_option("-o,--output", o.output, "Folder for the report, value files and JSON of each input");
  analyse->add_flag("--keep-going", o.keep_going, "Go on after a failing file (the exit status is then 1)");
  analyse->add_flag("-q,--quiet", o.quiet, "No progress bar and no notes on standard error");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end with status 0, unless their text could not
    // be written; every other parse error is a usage error.
    const int status = app.exit(e) == 0 ? 0 : 2;
    if (status == 0 && !std::cout.flush()) {
      std::cerr << "quorvel: cannot write standard output\n";
      return 1;
    }
    return status;
  }
  if (!analyse->parsed()) {
    std::cerr << app.help();
    return 2;
  }
  return run_analyse(o);
}

}  // namespace quorvel::cli
