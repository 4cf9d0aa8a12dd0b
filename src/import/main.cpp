// chew_import: another system's recording in the evaluator's text format.
#include "import/import.h"

int main(int argc, char** argv) { return chew_import_main(argc, argv); }
