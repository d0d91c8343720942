// What the window asks of the desktop, behind small interfaces: message
// boxes, the open-file dialog, the help viewer, the clock with the regional
// date format, and the program folder.  The program uses the desktop
// implementations; tests hand in recorders so the window can be driven
// without a person in front of it.
#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

#include <memory>

class QWidget;

namespace jw::ui {

// The title of every message box of the program.
inline constexpr const char* kAppTitle = "Joinwright";

enum class MessageIcon { None, Error };

// A modal message box with a single OK button, titled "Joinwright".  Show
// returns after the operator has pressed OK.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void Show(QWidget* owner, const QString& text, MessageIcon icon) = 0;
};

// One request for the open-file dialog, as CommonDialog prepares it.
struct OpenFileRequest {
    QString Title;                 // empty: the dialog's own title
    QString InitialPath;           // proposed file (or folder); may be empty
    QStringList NameFilters;       // Qt form: "Description (pattern pattern)"
    int SelectedFilter = 0;        // index into NameFilters chosen when the dialog opens
    bool FileMustExist = true;
    bool PathMustExist = true;
    bool HideReadOnly = true;      // the dialog offers no read-only choice
};

struct OpenFileAnswer {
    QString Path;                  // full path of the chosen file; empty when cancelled
    bool ReadOnly = false;         // the dialog's read-only choice, when it offers one
};

// The modal open-file dialog; returns when it has closed.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual OpenFileAnswer OpenFile(const OpenFileRequest& request) = 0;
};

// Shows the topic of a help context number from a compiled help file beside
// the window and returns at once.  A missing file or an unknown context is
// the viewer's affair: the caller is never told.
class HelpService {
public:
    virtual ~HelpService() = default;
    virtual void ShowHelp(QWidget* window, const QString& helpFile, int context) = 0;
};

// The current local time of day and the operator's regional short date
// format (whose separator goes into the output folder's name).
class ClockService {
public:
    virtual ~ClockService() = default;
    virtual QTime TimeOfDay() const = 0;
    virtual QString ShortDateFormat() const = 0;
};

// The folder that holds the program's executable file.
class ProgramFolderService {
public:
    virtual ~ProgramFolderService() = default;
    virtual QString ProgramFolder() const = 0;
};

// The services one window uses.  The window does not own them.
struct WindowServices {
    MessageBoxService* Messages = nullptr;
    FileDialogService* Files = nullptr;
    HelpService* Help = nullptr;
    ClockService* Clock = nullptr;
    ProgramFolderService* Folder = nullptr;
};

// The real desktop: Qt message boxes, Qt's own open-file dialog, HTML Help
// on Windows or the built-in help viewer elsewhere, the system clock and
// locale, the executable's folder.  Needs a QApplication.
class DesktopServices {
public:
    DesktopServices();
    ~DesktopServices();
    DesktopServices(const DesktopServices&) = delete;
    DesktopServices& operator=(const DesktopServices&) = delete;

    WindowServices Services() const;

private:
    std::unique_ptr<MessageBoxService> messages_;
    std::unique_ptr<FileDialogService> files_;
    std::unique_ptr<HelpService> help_;
    std::unique_ptr<ClockService> clock_;
    std::unique_ptr<ProgramFolderService> folder_;
};

// The desktop implementations, also usable one by one.
class QtMessageBoxService : public MessageBoxService {
public:
    void Show(QWidget* owner, const QString& text, MessageIcon icon) override;
};

class SystemClock : public ClockService {
public:
    QTime TimeOfDay() const override;
    QString ShortDateFormat() const override;
};

class ExecutableFolder : public ProgramFolderService {
public:
    QString ProgramFolder() const override;
};

// The help service of this platform (HtmlHelpService on Windows, the
// built-in viewer elsewhere).
std::unique_ptr<HelpService> MakePlatformHelpService();

}  // namespace jw::ui
