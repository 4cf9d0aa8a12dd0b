// chew_import: writes a recording from another system's files, as a mapping file describes
// them, in the evaluator's text format.
#pragma once

#include <cstdio>
#include <string>

#include "import/assemble.h"

// The recording in the evaluator's format: the header, the calibration line and one sample line
// per row from the first experiment on. Every value is written with the fewest digits that read
// back as the same double.
void write_imported(std::FILE* out, const Mapping& mapping, const Imported& recording);

// The shortest text of `value` that reads back as the same double.
std::string shortest(double value);

// The program: status 0 written, 1 a bad input or a failed write (nothing written), 2 a bad
// command line.
int chew_import_main(int argc, char** argv);
