// The Joinwright window: the program's one window.  The operator names the
// backup and existing trend sets' master files, an empty data file, the
// number of data files and the break date, and presses Merge; the window
// checks that every input was given, makes a new output folder in the
// program folder, runs the merge job and reports its outcome.  All merge
// logic lies in the engine; the window only gathers, checks and reports.
#pragma once

#include "formats/Notices.h"
#include "ui/Services.h"

#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

class QAction;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;

namespace jw::ui {

inline constexpr int kClientWidth = 506;   // client area below the menu bar, at 96 dpi
inline constexpr int kClientHeight = 368;
inline constexpr int kWindowHelpContext = 1001;
inline constexpr const char* kHelpFileName = "JoinwrightHelp.chm";
inline constexpr const char* kOutputFolderPrefix = "Merged trenddata ";

// Name of the dynamic properties that carry each control's tab index and
// help context number (0: none of its own).
inline constexpr const char* kTabIndexProperty = "TabIndex";
inline constexpr const char* kHelpContextProperty = "HelpContextID";

// The number of files as typed: surrounding blanks allowed, a decimal point
// "." or the locale's decimal separator, a fraction rounded to the nearest
// whole number (a half to the even one).  nullopt when the text is not a
// number or the rounded number lies outside -32768..32767.
std::optional<std::int16_t> ParseFileCount(const QString& text, const QLocale& locale);

// The separator of the output folder's time of day: the first character of
// the short date format that is neither a letter nor a digit; "-" when there
// is none, or it is a blank, or it cannot stand in a folder name.
QChar DateSeparatorFor(const QString& shortDateFormat);

// "HH" sep "MM" sep "SS" (24-hour clock, two digits each).
QString FolderTimeStamp(const QTime& time, QChar separator);

// A label that reports a click of the left mouse button (the "?" help links).
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

class Joinwright : public QMainWindow {
    Q_OBJECT
public:
    explicit Joinwright(const WindowServices& services, QWidget* parent = nullptr);
    ~Joinwright() override;

    // --- Controls (named as the operator's documentation names them) ------
    QGroupBox* fraFiles = nullptr;  // the frame "Files" (object name "Joinwright")
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* lblBackup = nullptr;
    QLabel* lblNew = nullptr;
    QLabel* lblOCFile = nullptr;
    QLabel* lblNFiles = nullptr;
    QLabel* lblHNFiles = nullptr;
    QLabel* lblNewFolder = nullptr;
    QLabel* lblBrakeDate = nullptr;
    QLabel* lblDate = nullptr;
    ClickLabel* lblBackupFile = nullptr;
    ClickLabel* lblExisting = nullptr;
    ClickLabel* lblEmpty = nullptr;
    ClickLabel* lblNumber = nullptr;
    ClickLabel* lblFolder = nullptr;
    ClickLabel* lblBrake = nullptr;
    QLineEdit* txtBackup = nullptr;
    QLineEdit* txtExisting = nullptr;
    QLineEdit* txtOCFile = nullptr;
    QLineEdit* txtNOFiles = nullptr;
    QLineEdit* txtBrakeDate = nullptr;
    QPushButton* btnOpenB = nullptr;
    QPushButton* btnOpenE = nullptr;
    QPushButton* btnOCFile = nullptr;
    QPushButton* btnMerge = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuHelp = nullptr;

    // --- Window values: kept for the window's life, overwritten, never cleared
    QString BrakeDate;
    QString TimeStamp;
    QString OutputFolder;
    QString BackupFile;
    QString ExistingFile;
    QString EmptyDataFile;
    std::int16_t NumberOfFiles = 0;
    QString ChosenFile;

    // The message listing the missing inputs (empty: all five given).  Sets
    // NumberOfFiles when the count box holds a number that fits.
    QString Check();
    // Whether the last Check found the count box empty or holding a number
    // that fits; false when it holds anything else.
    bool CountAccepted() const { return countAccepted_; }
    // Sets TimeStamp and OutputFolder and makes that folder.  Returns the
    // empty text when the folder was made, else the message for the
    // operator (a folder of that name exists already and is never reused,
    // or the program folder does not let it be made).
    QString CreateFolder();
    void Clear();

    // The help file of the "?" labels, the menu and F1.
    QString HelpFilePath() const;
    // The help context F1 opens while widget has the focus: its own, else
    // its container's, finally the window's.
    int HelpContextFor(const QWidget* widget) const;

public slots:
    void btnMerge_Click();
    void btnOpenB_Click();
    void btnOpenE_Click();
    void btnOCFile_Click();
    void lblBackupFile_Click();
    void lblBrake_Click();
    void lblEmpty_Click();
    void lblExisting_Click();
    void lblFolder_Click();
    void lblNumber_Click();
    void mnuAbout_Click();
    void mnuHelp_Click();
    void mnuExit_Click();
    void F1_Help();

private:
    void BuildControls();
    void BuildMenus();
    void OpenHelp(int context);
    void ChooseInto(const QString& initialPath, QLineEdit* target);
    void Say(const QString& text, MessageIcon icon);

    WindowServices services_;
    bool countAccepted_ = true;
    ScopedNoticeSink notices_;
};

}  // namespace jw::ui
