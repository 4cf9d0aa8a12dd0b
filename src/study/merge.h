// chew_study merge PARTS... --out DIR: the tables of a study evaluated in parts (separate
// chew_study runs, e.g. on several machines), joined into the tables one run over all its
// recordings would have written.
#pragma once

// `argv` begins at "merge". Reads every part's six tables, refuses (status 2, nothing written)
// parts whose tables have other columns, whose settings or versions differ, or that hold the same
// recording or the same report name; otherwise writes each table into DIR with one header and
// the parts' rows in the order the parts are given. Returns the exit status: 0 written, 1 a part
// could not be read or a table not written, 2 a bad command line or a refusal. With --pages,
// also the study's overview DIR/index.html from the joined tables, linking into the parts.
int merge_parts_main(int argc, const char* const* argv);
