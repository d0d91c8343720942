#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) { return jw::cli::Run(argc, argv, std::cout, std::cerr); }
