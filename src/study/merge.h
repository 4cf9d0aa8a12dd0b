// chew_study merge PARTS... --out DIR: the tables of a study evaluated in parts (separate
// chew_study runs, e.g. on several machines), joined into the tables one run over all its
// recordings would have written.
#pragma once

// `argv` begins at "merge". Reads every part's nine tables, each of which must be the table the
// part's manifest records (status 1 otherwise), refuses (status 2, nothing written) parts whose
// tables have other columns, whose settings as given or versions differ, or that hold the same
// recording or the same report name; otherwise writes each table into DIR with one header and
// the parts' rows in the order the parts are given, as DIR's one run (study/output_folder.h);
// with --pages, also the study's overview DIR/index.html from the joined tables, linking into the
// parts. Returns the exit status: 0 written, 1 a part could not be read or a table not written, 2
// a bad command line, a refusal or DIR in use.
int merge_parts_main(int argc, const char* const* argv);
