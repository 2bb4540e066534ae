#pragma once
// The program's command line beside the batch mode: `quorvel analyse FILE...`
// analyses one column of plain data files; --help and --version print and
// end. Exit status: 0 done, 1 a file or run failed, 2 a usage error.

namespace quorvel::cli {

int run_command_line(int argc, char** argv);

}  // namespace quorvel::cli
