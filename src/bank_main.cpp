#include "bank/bank_program.h"

int main(int argc, char** argv) { return timbrex::run_bank_program(argc, argv); }
