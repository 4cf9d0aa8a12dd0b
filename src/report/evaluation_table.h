// Evaluation table: MVC-based cycle work of the chewing trials and its right/left balance.
//
// Reads  the evaluation's evaluation table.
#pragma once

#include <cstdio>

#include "analysis/evaluation.h"

void write_evaluation_table(std::FILE* out, const EvaluationTable& table);
