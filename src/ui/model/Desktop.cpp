#include "ui/model/Desktop.h"

#include "os/Process.h"

namespace jw::ui {

std::string SystemProgramFolder::ProgramFolder() const { return Utf8FromPath(os::ProgramFolder()); }

}  // namespace jw::ui
