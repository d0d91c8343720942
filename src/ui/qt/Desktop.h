// The desktop services of the window model, made with Qt: message boxes,
// Qt's own open-file dialog, the built-in help viewer, the system clock and
// locale, and the busy cursor; the program folder comes from the platform
// layer.  Needs a QApplication.
#pragma once

#include "ui/model/Desktop.h"

#include <memory>

namespace jw::ui {

class QtMessageBox : public MessageBoxService {
public:
    // Modal over the active window; the error mark or no icon.
    void Show(const std::string& text, MessageIcon icon) override;
};

class QtClock : public ClockService {
public:
    ClockTime TimeOfDay() const override;
    std::string ShortDateFormat() const override;
    std::string DecimalSeparator() const override;
};

// The application's override cursor.
class QtBusyCursor : public BusyCursorService {
public:
    ~QtBusyCursor() override;
    void SetBusy(bool busy) override;

private:
    bool busy_ = false;
};

// Every service of the Qt desktop, owned together.
class QtDesktop {
public:
    QtDesktop();
    ~QtDesktop();
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    DesktopServices Services() const;

private:
    std::unique_ptr<MessageBoxService> messages_;
    std::unique_ptr<FileDialogService> files_;
    std::unique_ptr<HelpService> help_;
    std::unique_ptr<ClockService> clock_;
    std::unique_ptr<ProgramFolderService> folder_;
    std::unique_ptr<BusyCursorService> busy_;
};

}  // namespace jw::ui
