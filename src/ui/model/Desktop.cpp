#include "ui/model/Desktop.h"

#include "os/Process.h"
#include "os/Text.h"

namespace jw::ui {

std::string SystemProgramFolder::ProgramFolder() const { return os::PathText(os::ProgramFolder()); }

}  // namespace jw::ui
