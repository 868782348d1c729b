#include "driver/program.h"

int main(int argc, char** argv) { return timbrex::run_program(argc, argv); }
