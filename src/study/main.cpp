// chew_study: evaluates every recording of a study and writes its reports and tables.
#include "study/study.h"

int main(int argc, char** argv) { return chew_study_main(argc, argv); }
