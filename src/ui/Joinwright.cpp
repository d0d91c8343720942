#include "ui/Joinwright.h"

#include "engine/TrendTools.h"
#include "ui/CommonDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

namespace jw::ui {

namespace {

// --- What the window shows -------------------------------------------------

enum class Kind { Frame, Label, HelpLabel, TextBox, Button };

struct Control {
    const char* Name;
    Kind kind;
    const char* Container;  // "window" or the object name of a frame
    const char* Caption;
    int Left, Top, Width, Height;  // pixels at 96 dpi, in the container
    int TabIndex;
    int HelpContext;  // 0: none of its own
};

// The frame "Files" carries the window's own name, as in the operator's documentation.
constexpr const char* kFilesFrame = "Joinwright";

constexpr std::array<Control, 26> kControls{{
    {kFilesFrame, Kind::Frame, "window", "Files", 8, 8, 489, 193, 0, 0},
    {"lblBackup", Kind::Label, kFilesFrame, "Backup Trend File:", 8, 32, 65, 25, 1, 0},
    {"txtBackup", Kind::TextBox, kFilesFrame, "", 64, 40, 313, 19, 3, 1003},
    {"btnOpenB", Kind::Button, kFilesFrame, "Open", 392, 40, 65, 25, 5, 1003},
    {"lblBackupFile", Kind::HelpLabel, kFilesFrame, "?", 464, 40, 17, 25, 20, 0},
    {"lblNew", Kind::Label, kFilesFrame, "Existing Trend File:", 8, 72, 57, 33, 2, 0},
    {"txtExisting", Kind::TextBox, kFilesFrame, "", 64, 80, 313, 19, 4, 1006},
    {"btnOpenE", Kind::Button, kFilesFrame, "Open", 392, 80, 65, 25, 6, 1006},
    {"lblExisting", Kind::HelpLabel, kFilesFrame, "?", 464, 80, 17, 25, 21, 0},
    {"lblOCFile", Kind::Label, kFilesFrame, "Empty Data File:", 8, 112, 49, 25, 18, 0},
    {"txtOCFile", Kind::TextBox, kFilesFrame, "", 64, 120, 313, 19, 17, 1005},
    {"btnOCFile", Kind::Button, kFilesFrame, "Open", 392, 120, 65, 25, 19, 1005},
    {"lblEmpty", Kind::HelpLabel, kFilesFrame, "?", 464, 120, 17, 25, 22, 0},
    {"lblNFiles", Kind::Label, kFilesFrame, "Number of files:", 8, 152, 49, 25, 14, 0},
    {"txtNOFiles", Kind::TextBox, kFilesFrame, "", 64, 160, 49, 19, 15, 1008},
    {"lblHNFiles", Kind::Label, kFilesFrame, "[Enter an number]", 120, 160, 89, 17, 16, 0},
    {"lblNumber", Kind::HelpLabel, kFilesFrame, "?", 464, 160, 17, 25, 23, 0},
    {"Frame2", Kind::Frame, "window", "File Folder", 8, 216, 489, 65, 7, 0},
    {"lblNewFolder", Kind::Label, "Frame2",
     "The new folder for the merged files will be in a sub map to the program with name: Merged trenddata", 8, 16,
     457, 41, 8, 0},
    {"lblFolder", Kind::HelpLabel, "Frame2", "?", 464, 24, 17, 25, 24, 0},
    {"Frame3", Kind::Frame, "window", "Brake Date", 8, 296, 385, 65, 9, 0},
    {"lblBrakeDate", Kind::Label, "Frame3", "Brake Date:", 8, 32, 57, 17, 10, 0},
    {"txtBrakeDate", Kind::TextBox, "Frame3", "", 64, 32, 217, 19, 11, 1004},
    {"lblDate", Kind::Label, "Frame3", "[mm-dd-yyyy]", 288, 32, 73, 17, 12, 0},
    {"lblBrake", Kind::HelpLabel, "Frame3", "?", 360, 24, 17, 25, 25, 0},
    {"btnMerge", Kind::Button, "window", "Merge", 416, 304, 81, 57, 13, kWindowHelpContext},
}};

// The pieces of the missing-inputs message, in the order the boxes are tested.
const QString kNoBackup = QStringLiteral("Du måste välja en backup fil.");
const QString kNoExisting = QStringLiteral(" Du måste välja en existerande fil.");
const QString kNoEmptyFile = QStringLiteral(" Du måste välja en tom data fil.");
const QString kNoDate = QStringLiteral(" Du har inte angivit något datum.");
const QString kNoCount = QStringLiteral(" Du har inte angivit hur många filer som ska skapas.");
const QString kCountOutOfRange = QStringLiteral("Antalet filer måste vara ett tal från -32768 till 32767.");

// "MS Sans Serif" where the desktop has it, else its sans-serif stand-in.
QFont SansSerif(double points) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

// The window's font: the stand-ins for MS Sans Serif run wider than it, so
// the window narrows them to keep every caption inside its control.
QFont WindowFont() {
    QFont font = SansSerif(8);
    if (!QFontInfo(font).family().contains(QStringLiteral("MS Sans Serif"))) font.setStretch(80);
    return font;
}

// 32 x 32: two trend lines that run into one.
QIcon WindowIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xF4, 0xF4, 0xF0));
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 4, 4);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x1F, 0x5F, 0xBF), 2.5));
    QPainterPath backup;
    backup.moveTo(4, 22);
    backup.cubicTo(8, 12, 11, 24, 16, 16);
    painter.drawPath(backup);
    painter.setPen(QPen(QColor(0xCF, 0x6F, 0x1F), 2.5));
    QPainterPath existing;
    existing.moveTo(16, 16);
    existing.cubicTo(20, 9, 24, 15, 28, 7);
    painter.drawPath(existing);
    painter.end();
    return QIcon(pixmap);
}

// Paths and texts handed to the engine: the platform's 8-bit encoding.
std::string OutputText(const QString& text) { return QFile::encodeName(text).toStdString(); }

std::filesystem::path HostPath(const QString& path) { return std::filesystem::path(OutputText(path)); }

QString FromHost(const std::string& text) { return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())); }

// The wait cursor while a merge runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

// --- Pure helpers ---------------------------------------------------------------

std::optional<std::int16_t> ParseFileCount(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool ok = false;
    QLocale point = QLocale::c();
    point.setNumberOptions(QLocale::RejectGroupSeparator);
    double value = point.toDouble(trimmed, &ok);
    if (!ok) {
        QLocale regional = locale;
        regional.setNumberOptions(QLocale::RejectGroupSeparator);
        value = regional.toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(value)) return std::nullopt;
    const double whole = std::nearbyint(value);  // the default rounding: a half to the even neighbour
    if (whole < -32768.0 || whole > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(whole);
}

QChar DateSeparatorFor(const QString& shortDateFormat) {
    static const QString kNotInFolderNames = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : shortDateFormat) {
        if (c.isLetterOrNumber()) continue;
        if (c.isSpace() || c.category() == QChar::Other_Control || kNotInFolderNames.contains(c)) break;
        return c;
    }
    return QLatin1Char('-');
}

QString FolderTimeStamp(const QTime& time, QChar separator) {
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return two(time.hour()) + separator + two(time.minute()) + separator + two(time.second());
}

// --- ClickLabel --------------------------------------------------------------

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

// --- The window ------------------------------------------------------------

Joinwright::Joinwright(const WindowServices& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      notices_([this](std::string_view text, NoticeMark mark) {
          // Problems the format code finds itself: a modal message box, then it goes on.
          Say(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())),
              mark == NoticeMark::Error ? MessageIcon::Error : MessageIcon::None);
      }) {
    setObjectName(QStringLiteral("Joinwright"));
    setWindowTitle(QStringLiteral("Joinwright v1.00"));
    setWindowIcon(WindowIcon());
    setProperty(kHelpContextProperty, kWindowHelpContext);

    BuildControls();
    BuildMenus();

    // Fixed size: the client area and the menu bar above it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &Joinwright::F1_Help);
}

Joinwright::~Joinwright() = default;

void Joinwright::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setFont(WindowFont());
    setCentralWidget(client);

    std::vector<std::pair<int, QWidget*>> focusable;
    for (const Control& c : kControls) {
        QWidget* container = client;
        if (QLatin1String(c.Container) != QLatin1String("window"))
            container = client->findChild<QGroupBox*>(QLatin1String(c.Container));
        Q_ASSERT(container != nullptr);
        const QString caption = QString::fromUtf8(c.Caption);
        QWidget* widget = nullptr;
        switch (c.kind) {
        case Kind::Frame:
            widget = new QGroupBox(caption, container);
            break;
        case Kind::Label:
        case Kind::HelpLabel: {
            QLabel* label = c.kind == Kind::HelpLabel ? new ClickLabel(caption, container) : new QLabel(caption, container);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(c.kind == Kind::Label);
            if (c.kind == Kind::HelpLabel) {
                label->setFont(SansSerif(13.5));
                label->setForegroundRole(QPalette::Highlight);
            }
            widget = label;
            break;
        }
        case Kind::TextBox: {
            auto* box = new QLineEdit(container);
            box->setFocusPolicy(Qt::StrongFocus);
            widget = box;
            focusable.emplace_back(c.TabIndex, box);
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(caption, container);
            button->setAutoDefault(false);
            button->setDefault(false);
            button->setFocusPolicy(Qt::StrongFocus);
            widget = button;
            focusable.emplace_back(c.TabIndex, button);
            break;
        }
        }
        widget->setObjectName(QString::fromLatin1(c.Name));
        widget->setGeometry(c.Left, c.Top, c.Width, c.Height);
        widget->setProperty(kTabIndexProperty, c.TabIndex);
        widget->setProperty(kHelpContextProperty, c.HelpContext);
    }

    // The focus moves through the text boxes and buttons by tab index.
    std::sort(focusable.begin(), focusable.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);

    const auto find = [client](const char* name) { return client->findChild<QWidget*>(QLatin1String(name)); };
    fraFiles = qobject_cast<QGroupBox*>(find(kFilesFrame));
    Frame2 = qobject_cast<QGroupBox*>(find("Frame2"));
    Frame3 = qobject_cast<QGroupBox*>(find("Frame3"));
    lblBackup = qobject_cast<QLabel*>(find("lblBackup"));
    lblNew = qobject_cast<QLabel*>(find("lblNew"));
    lblOCFile = qobject_cast<QLabel*>(find("lblOCFile"));
    lblNFiles = qobject_cast<QLabel*>(find("lblNFiles"));
    lblHNFiles = qobject_cast<QLabel*>(find("lblHNFiles"));
    lblNewFolder = qobject_cast<QLabel*>(find("lblNewFolder"));
    lblBrakeDate = qobject_cast<QLabel*>(find("lblBrakeDate"));
    lblDate = qobject_cast<QLabel*>(find("lblDate"));
    lblBackupFile = qobject_cast<ClickLabel*>(find("lblBackupFile"));
    lblExisting = qobject_cast<ClickLabel*>(find("lblExisting"));
    lblEmpty = qobject_cast<ClickLabel*>(find("lblEmpty"));
    lblNumber = qobject_cast<ClickLabel*>(find("lblNumber"));
    lblFolder = qobject_cast<ClickLabel*>(find("lblFolder"));
    lblBrake = qobject_cast<ClickLabel*>(find("lblBrake"));
    txtBackup = qobject_cast<QLineEdit*>(find("txtBackup"));
    txtExisting = qobject_cast<QLineEdit*>(find("txtExisting"));
    txtOCFile = qobject_cast<QLineEdit*>(find("txtOCFile"));
    txtNOFiles = qobject_cast<QLineEdit*>(find("txtNOFiles"));
    txtBrakeDate = qobject_cast<QLineEdit*>(find("txtBrakeDate"));
    btnOpenB = qobject_cast<QPushButton*>(find("btnOpenB"));
    btnOpenE = qobject_cast<QPushButton*>(find("btnOpenE"));
    btnOCFile = qobject_cast<QPushButton*>(find("btnOCFile"));
    btnMerge = qobject_cast<QPushButton*>(find("btnMerge"));

    connect(btnMerge, &QPushButton::clicked, this, &Joinwright::btnMerge_Click);
    connect(btnOpenB, &QPushButton::clicked, this, &Joinwright::btnOpenB_Click);
    connect(btnOpenE, &QPushButton::clicked, this, &Joinwright::btnOpenE_Click);
    connect(btnOCFile, &QPushButton::clicked, this, &Joinwright::btnOCFile_Click);
    connect(lblBackupFile, &ClickLabel::clicked, this, &Joinwright::lblBackupFile_Click);
    connect(lblBrake, &ClickLabel::clicked, this, &Joinwright::lblBrake_Click);
    connect(lblEmpty, &ClickLabel::clicked, this, &Joinwright::lblEmpty_Click);
    connect(lblExisting, &ClickLabel::clicked, this, &Joinwright::lblExisting_Click);
    connect(lblFolder, &ClickLabel::clicked, this, &Joinwright::lblFolder_Click);
    connect(lblNumber, &ClickLabel::clicked, this, &Joinwright::lblNumber_Click);
}

void Joinwright::BuildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuAbout = menuBar()->addAction(QStringLiteral("About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    mnuHelp = menuBar()->addAction(QStringLiteral("Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    // The items stay where they are on every desktop (no move into an application menu).
    for (QAction* item : {mnuExit, mnuAbout, mnuHelp}) item->setMenuRole(QAction::NoRole);
    connect(mnuExit, &QAction::triggered, this, &Joinwright::mnuExit_Click);
    connect(mnuAbout, &QAction::triggered, this, &Joinwright::mnuAbout_Click);
    connect(mnuHelp, &QAction::triggered, this, &Joinwright::mnuHelp_Click);
}

void Joinwright::Say(const QString& text, MessageIcon icon) {
    // A box shown while the merge runs (a notice of the format code) gets
    // the ordinary pointer, not the busy one.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    services_.Messages->Show(this, text, icon);
    if (busy) QApplication::restoreOverrideCursor();
}

// --- Check, output folder, merge ------------------------------------------------

QString Joinwright::Check() {
    QString message;
    if (txtBackup->text().isEmpty()) message += kNoBackup;
    if (txtExisting->text().isEmpty()) message += kNoExisting;
    if (txtOCFile->text().isEmpty()) message += kNoEmptyFile;
    if (txtBrakeDate->text().isEmpty()) message += kNoDate;
    if (txtNOFiles->text().isEmpty()) message += kNoCount;

    countAccepted_ = true;
    if (!txtNOFiles->text().isEmpty()) {
        const std::optional<std::int16_t> count = ParseFileCount(txtNOFiles->text(), QLocale());
        if (count) {
            NumberOfFiles = *count;
        } else {
            countAccepted_ = false;
        }
    }
    return message;
}

QString Joinwright::CreateFolder() {
    TimeStamp = FolderTimeStamp(services_.Clock->TimeOfDay(), DateSeparatorFor(services_.Clock->ShortDateFormat()));
    const QString programFolder = services_.Folder->ProgramFolder();
    OutputFolder = QDir::toNativeSeparators(programFolder + QLatin1Char('/') + QLatin1String(kOutputFolderPrefix) + TimeStamp);

    const std::filesystem::path folder = HostPath(OutputFolder);
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder, error))) {
        return QStringLiteral(
                   "The output folder cannot be made, because a file or folder of that name already exists:\n%1\n\n"
                   "A folder of an earlier merge is never reused. Wait a second and press Merge again.")
            .arg(OutputFolder);
    }
    error.clear();
    if (!std::filesystem::create_directory(folder, error) || error) {
        const QString reason = error ? FromHost(error.message()) : QStringLiteral("it could not be created");
        return QStringLiteral(
                   "The output folder cannot be made:\n%1\n\nReason: %2.\n\n"
                   "Joinwright makes its output folders in its own program folder, which must be a folder "
                   "you can write to:\n%3")
            .arg(OutputFolder, reason, QDir::toNativeSeparators(programFolder));
    }
    return {};
}

void Joinwright::Clear() {
    txtBackup->setText(QString());
    txtExisting->setText(QString());
    txtNOFiles->setText(QString());
    txtBrakeDate->setText(QString());
    txtOCFile->setText(QString());
}

void Joinwright::btnMerge_Click() {
    BrakeDate = txtBrakeDate->text();
    const QString missing = Check();
    if (!missing.isEmpty()) {
        Say(missing, MessageIcon::None);
        return;
    }
    if (!CountAccepted()) {
        Say(kCountOutOfRange, MessageIcon::None);
        return;
    }
    const QString folderProblem = CreateFolder();
    if (!folderProblem.isEmpty()) {
        Say(folderProblem, MessageIcon::Error);
        return;
    }
    BackupFile = txtBackup->text();
    ExistingFile = txtExisting->text();
    EmptyDataFile = txtOCFile->text();

    QString result;
    QString failure;
    {
        BusyCursor busy;
        try {
            result = FromHost(MergeTrendSets(OutputText(BrakeDate), OutputText(OutputFolder), OutputText(BackupFile),
                                             OutputText(ExistingFile), NumberOfFiles, OutputText(EmptyDataFile)));
        } catch (const std::exception& error) {
            // The engine's description names the file, record or field and what is wrong.
            failure = FromHost(error.what());
        }
    }

    if (!failure.isEmpty() || result.isEmpty()) {
        if (failure.isEmpty()) failure = QStringLiteral("The merge job gave no result.");
        // A merge refused before writing leaves its folder empty: take the
        // folder away again (an empty folder only; never anything in it).
        std::error_code error;
        const bool removed = std::filesystem::remove(HostPath(OutputFolder), error) && !error;
        QString text = QStringLiteral("The merge failed.\n\n%1\n\n").arg(failure);
        text += removed ? QStringLiteral("Nothing was written; the output folder was removed again:\n%1").arg(OutputFolder)
                        : QStringLiteral("The output folder keeps what was written before the failure:\n%1").arg(OutputFolder);
        Say(text, MessageIcon::Error);
        return;
    }

    Say(result, MessageIcon::None);
    Clear();
}

// --- File choosers -------------------------------------------------------------

void Joinwright::ChooseInto(const QString& initialPath, QLineEdit* target) {
    std::int16_t readOnly = 0;
    ChosenFile = ChooseFile(QString(), initialPath, QString::fromLatin1(kTrendFileFilter), kOpenButtonFlags, readOnly,
                            *services_.Files);
    if (!ChosenFile.isEmpty()) target->setText(ChosenFile);
}

void Joinwright::btnOpenB_Click() { ChooseInto(txtBackup->text(), txtBackup); }
void Joinwright::btnOpenE_Click() { ChooseInto(txtExisting->text(), txtExisting); }
// The empty data file's chooser opens where the existing trend file lies.
void Joinwright::btnOCFile_Click() { ChooseInto(txtExisting->text(), txtOCFile); }

// --- Help and menu -------------------------------------------------------------

QString Joinwright::HelpFilePath() const {
    return services_.Folder->ProgramFolder() + QLatin1Char('/') + QLatin1String(kHelpFileName);
}

int Joinwright::HelpContextFor(const QWidget* widget) const {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        const int context = w->property(kHelpContextProperty).toInt();
        if (context != 0) return context;
        if (w == this) break;
    }
    return kWindowHelpContext;
}

void Joinwright::OpenHelp(int context) { services_.Help->ShowHelp(this, HelpFilePath(), context); }

void Joinwright::lblBackupFile_Click() { OpenHelp(1003); }
void Joinwright::lblBrake_Click() { OpenHelp(1004); }
void Joinwright::lblEmpty_Click() { OpenHelp(1005); }
void Joinwright::lblExisting_Click() { OpenHelp(1006); }
void Joinwright::lblFolder_Click() { OpenHelp(1007); }
void Joinwright::lblNumber_Click() { OpenHelp(1008); }
void Joinwright::mnuAbout_Click() { OpenHelp(1002); }
void Joinwright::mnuHelp_Click() { OpenHelp(1010); }

void Joinwright::F1_Help() {
    QWidget* focus = QApplication::focusWidget();
    OpenHelp(focus != nullptr && (focus == this || isAncestorOf(focus)) ? HelpContextFor(focus) : kWindowHelpContext);
}

void Joinwright::mnuExit_Click() {
    // Ends the program at once, whatever the boxes hold.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

}  // namespace jw::ui
