#include "cli/Options.h"

#include "cli/MergeCommand.h"
#include "cli/TimeText.h"

namespace jw::cli {

namespace {

// Accepts the texts parse reads; any other is "\"text\" is not <what>".
template <class Parse>
CLI::Validator TextValidator(Parse parse, const char* what) {
    return CLI::Validator(
        [parse, what](std::string& s) -> std::string {
            return parse(s) ? std::string() : "\"" + s + "\" is not " + what;
        },
        "");
}

}  // namespace

CLI::Validator PathValidator() {
    return CLI::Validator([](std::string& s) { return s.empty() ? std::string("an empty text is not a path") : std::string(); },
                          "");
}

CLI::Validator TimeValidator() { return TextValidator(ParseTimeText, "a time YYYY-MM-DD[ HH:MM[:SS[.mmm]]]"); }

CLI::Option* AddPathOption(CLI::App& command, const std::string& name, std::string& target, const std::string& help,
                           const std::string& typeName) {
    return command.add_option(name, target, help)->type_name(typeName)->check(PathValidator());
}

CLI::Option* AddBreakDateOption(CLI::App& command, std::string& target) {
    return command.add_option("--break-date", target, "Break date, month-day-year (09-17-2004) or YYYY-MM-DD")
        ->required()
        ->type_name("DATE");
}

CLI::Option* AddFilesOption(CLI::App& command, std::function<void(std::int16_t)> set, const std::string& help) {
    return command
        .add_option_function<std::string>(
            "--files",
            [set = std::move(set)](const std::string& text) {
                const auto files = ParseFilesOption(text);
                if (!files) throw CLI::ValidationError("--files", "\"" + text + "\" is not a whole number in 1..32767");
                set(*files);
            },
            help)
        ->type_name("N");
}

CLI::Option* AddPictureOption(CLI::App& command, std::string& target, CLI::Option* dryRun, const std::string& help,
                              const std::string& typeName) {
    return command.add_option("--picture", target, "With --dry-run: " + help)->type_name(typeName)->needs(dryRun);
}

}  // namespace jw::cli
