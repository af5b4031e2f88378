#include "cli/commands.h"

int main(int argc, char** argv) { return zestrel::cli::runZestrel(argc, argv); }
