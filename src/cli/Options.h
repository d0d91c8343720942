// Options that several sub-commands declare alike, with the checks that
// make a wrong value a usage error naming the option.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <string>

namespace jw::cli {

// A path option given as an empty text names nothing: a usage error naming
// the option, never a silent default.
CLI::Validator PathValidator();

// A time of the command line, YYYY-MM-DD[ HH:MM[:SS[.mmm]]].
CLI::Validator TimeValidator();

// An option naming a file or folder (type name typeName: "PATH", "DIR" ...),
// never empty.
CLI::Option* AddPathOption(CLI::App& command, const std::string& name, std::string& target, const std::string& help,
                           const std::string& typeName);

// --break-date DATE, required.
CLI::Option* AddBreakDateOption(CLI::App& command, std::string& target);

// --files N: the count, read once, goes to set; any other text than a whole
// number in 1..32767 is a usage error.
CLI::Option* AddFilesOption(CLI::App& command, std::function<void(std::int16_t)> set, const std::string& help);

// --picture, taken only with dryRun; help follows "With --dry-run: ".
CLI::Option* AddPictureOption(CLI::App& command, std::string& target, CLI::Option* dryRun, const std::string& help,
                              const std::string& typeName);

}  // namespace jw::cli
