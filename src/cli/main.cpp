#include "cli/Cli.h"

int main(int argc, char** argv) { return jw::cli::Main(argc, argv); }
