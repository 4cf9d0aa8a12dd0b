// chew_eval: evaluates one masticatory recording and writes <name>_output.txt.
#include "run/run.h"

int main(int argc, char** argv) { return chew_eval_main(argc, argv); }
