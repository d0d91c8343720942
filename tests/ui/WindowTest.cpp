// The Joinwright window driven without a person: every control, the focus
// order, the input check, the count, the output folder's name, merges through
// the button, the file choosers and the help links.  A recorder stands in for
// the desktop, so nothing here opens a dialog that would wait for an answer.
#include "trendset/TrendSetBuilder.h"
#include "ui/CommonDialog.h"
#include "ui/Joinwright.h"
#ifdef JW_HAVE_CHMLIB
#include "ui/ChmArchive.h"
#endif

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <functional>
#include <tuple>
#include <utility>

using namespace jw::ui;
namespace ts = jw::trendset;

namespace {

// Records what the window shows ("error: " marks a box with the error mark)
// and asks for; the file dialog answers once with Answer (empty: cancelled).
struct FakeDesktop : MessageBoxService, FileDialogService, HelpService, ClockService, ProgramFolderService {
    void Show(QWidget*, const QString& text, MessageIcon icon) override {
        Messages << (icon == MessageIcon::Error ? "error: " : "") + text;
        if (OnShow) OnShow();
    }
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override {
        Requests.push_back(request);
        return std::exchange(Answer, {});
    }
    void ShowHelp(QWidget* window, const QString& file, int context) override {
        Help << QStringLiteral("%1: %2 at %3").arg(window->windowTitle(), file).arg(context);
    }
    QTime TimeOfDay() const override { return QTime(14, 35, 22); }
    QString ShortDateFormat() const override { return QStringLiteral("dd/MM/yyyy"); }
    QString ProgramFolder() const override { return Program; }
    WindowServices Services() { return {this, this, this, this, this}; }

    QTemporaryDir Root;
    QString Program = Root.path() + QStringLiteral("/program");
    QStringList Messages;
    std::function<void()> OnShow;  // runs while the box would be open
    OpenFileAnswer Answer;
    std::vector<OpenFileRequest> Requests;
    QStringList Help;
    FakeDesktop() { QDir().mkpath(Program); }
};

// The control table of the operator's documentation ("window": the client area).
struct ControlRow {
    const char *name, *kind, *container, *caption;
    int left, top, width, height, tab, help;
};
const ControlRow kTable[] = {
    {"Joinwright", "QGroupBox", "window", "Files", 8, 8, 489, 193, 0, 0},
    {"lblBackup", "QLabel", "Joinwright", "Backup Trend File:", 8, 32, 65, 25, 1, 0},
    {"txtBackup", "QLineEdit", "Joinwright", "", 64, 40, 313, 19, 3, 1003},
    {"btnOpenB", "QPushButton", "Joinwright", "Open", 392, 40, 65, 25, 5, 1003},
    {"lblBackupFile", "QLabel", "Joinwright", "?", 464, 40, 17, 25, 20, 0},
    {"lblNew", "QLabel", "Joinwright", "Existing Trend File:", 8, 72, 57, 33, 2, 0},
    {"txtExisting", "QLineEdit", "Joinwright", "", 64, 80, 313, 19, 4, 1006},
    {"btnOpenE", "QPushButton", "Joinwright", "Open", 392, 80, 65, 25, 6, 1006},
    {"lblExisting", "QLabel", "Joinwright", "?", 464, 80, 17, 25, 21, 0},
    {"lblOCFile", "QLabel", "Joinwright", "Empty Data File:", 8, 112, 49, 25, 18, 0},
    {"txtOCFile", "QLineEdit", "Joinwright", "", 64, 120, 313, 19, 17, 1005},
    {"btnOCFile", "QPushButton", "Joinwright", "Open", 392, 120, 65, 25, 19, 1005},
    {"lblEmpty", "QLabel", "Joinwright", "?", 464, 120, 17, 25, 22, 0},
    {"lblNFiles", "QLabel", "Joinwright", "Number of files:", 8, 152, 49, 25, 14, 0},
    {"txtNOFiles", "QLineEdit", "Joinwright", "", 64, 160, 49, 19, 15, 1008},
    {"lblHNFiles", "QLabel", "Joinwright", "[Enter an number]", 120, 160, 89, 17, 16, 0},
    {"lblNumber", "QLabel", "Joinwright", "?", 464, 160, 17, 25, 23, 0},
    {"Frame2", "QGroupBox", "window", "File Folder", 8, 216, 489, 65, 7, 0},
    {"lblNewFolder", "QLabel", "Frame2", "The new folder for the merged files will be in a sub map to the program with name: Merged trenddata", 8, 16, 457, 41, 8, 0},
    {"lblFolder", "QLabel", "Frame2", "?", 464, 24, 17, 25, 24, 0},
    {"Frame3", "QGroupBox", "window", "Brake Date", 8, 296, 385, 65, 9, 0},
    {"lblBrakeDate", "QLabel", "Frame3", "Brake Date:", 8, 32, 57, 17, 10, 0},
    {"txtBrakeDate", "QLineEdit", "Frame3", "", 64, 32, 217, 19, 11, 1004},
    {"lblDate", "QLabel", "Frame3", "[mm-dd-yyyy]", 288, 32, 73, 17, 12, 0},
    {"lblBrake", "QLabel", "Frame3", "?", 360, 24, 17, 25, 25, 0},
    {"btnMerge", "QPushButton", "window", "Merge", 416, 304, 81, 57, 13, 1001},
};

const QString kRange = QStringLiteral("Antalet filer måste vara ett tal från -32768 till 32767.");
const QStringList kQtFilters{"All Trend Files (*.HST *.0?? *.1?? *.2?\?)", "History Files (*.HST) (*.HST)",
                             "Data Files (*.nnn) (*.0?? *.1?? *.2?\?)", "All Files (*)"};

QString Nul(const char* text) { return QString::fromLatin1(text).replace(QStringLiteral("\\0"), QString(QChar(0))); }
QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}
QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
QStringList Boxes(const Joinwright& w) {
    return {w.txtBackup->text(), w.txtExisting->text(), w.txtOCFile->text(), w.txtBrakeDate->text(), w.txtNOFiles->text()};
}
void SetBoxes(Joinwright& w, const QStringList& texts) {
    QLineEdit* boxes[] = {w.txtBackup, w.txtExisting, w.txtOCFile, w.txtBrakeDate, w.txtNOFiles};
    for (int i = 0; i < 5; ++i) boxes[i]->setText(texts[i]);
}
}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAndMenus();
    void checkAndCount();
    void folderSeparator();
    void mergeThroughTheButton();
    void filterText();
    void openButtons();
    void focusAndHelp();
    void builtHelpMapsEveryContext();
};

void WindowTest::controlsAndMenus() {
    FakeDesktop d;
    Joinwright w(d.Services());
    // One line per control, written from the table and read from the widgets.
    QStringList expected, actual;
#define JW_ROW "%s %s in %s \"%s\" %d,%d %dx%d tab %d help %d %gpt%s%s"
    for (const ControlRow& c : kTable) {
        const bool help = QByteArray(c.caption) == "?";
        const bool focus = QByteArray(c.kind) == "QLineEdit" || QByteArray(c.kind) == "QPushButton";
        expected << QString::asprintf(JW_ROW, c.name, c.kind, c.container, c.caption, c.left, c.top, c.width, c.height,
                                      c.tab, c.help, help ? 13.5 : 8.0, help ? " highlight" : "", focus ? " focus" : "");
        QWidget* x = w.centralWidget()->findChild<QWidget*>(QLatin1String(c.name));
        QVERIFY2(x != nullptr, c.name);
        QString text;
        // A label shows plain text, a box can be typed in, no button is the default one.
        if (auto* f = qobject_cast<QGroupBox*>(x)) text = f->title();
        if (auto* l = qobject_cast<QLabel*>(x)) text = l->textFormat() == Qt::PlainText ? l->text() : "rich";
        if (auto* e = qobject_cast<QLineEdit*>(x)) text = e->isReadOnly() ? "read-only" : e->text();
        if (auto* b = qobject_cast<QPushButton*>(x)) text = b->isDefault() || b->autoDefault() ? "default" : b->text();
        const QWidget* in = x->parentWidget();
        const QRect g = x->geometry();
        actual << QString::asprintf(JW_ROW, qUtf8Printable(x->objectName()), x->inherits(c.kind) ? c.kind : "other",
                                    in == w.centralWidget() ? "window" : qUtf8Printable(in->objectName()),
                                    qUtf8Printable(text), g.x(), g.y(), g.width(), g.height(),
                                    x->property(kTabIndexProperty).toInt(), x->property(kHelpContextProperty).toInt(),
                                    x->font().pointSizeF(), x->foregroundRole() == QPalette::Highlight ? " highlight" : "",
                                    x->focusPolicy() != Qt::NoFocus ? " focus" : "");
    }
#undef JW_ROW
    QCOMPARE(actual, expected);

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Joinwright v1.00"));
    QCOMPARE(w.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
    QCOMPARE(w.size(), QSize(kClientWidth, w.menuBar()->height() + kClientHeight));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) {
        menus << a->text();
        if (a->menu()) for (QAction* item : a->menu()->actions()) menus << "  " + item->text();
    }
    QCOMPARE(menus, (QStringList{"File", "  Exit", "About", "Help"}));
}

void WindowTest::checkAndCount() {
    // What the Merge button says for the five boxes (backup, existing, empty file, date, count).
    const struct { QStringList boxes; QString shown; } checks[] = {
        {{"", "", "", "", ""},
         "Du måste välja en backup fil. Du måste välja en existerande fil. Du måste välja en tom data fil. "
         "Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas."},
        {{"b", "", "e", "1-1-2004", "3"}, " Du måste välja en existerande fil."},
        {{"b", "x", "e", "", ""}, " Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas."},
        {{"", "x", "e", "d", "abc"}, "Du måste välja en backup fil."},  // the missing input comes first
        {{"b", "x", "e", "d", "abc"}, kRange},
        {{" ", " ", " ", " ", "3"}, ""},  // a blank counts as filled
    };
    for (const auto& [boxes, shown] : checks) {
        FakeDesktop d;
        Joinwright w(d.Services());
        SetBoxes(w, boxes);
        QCOMPARE(w.Check(), shown == kRange ? QString() : shown);
        if (shown.isEmpty()) continue;
        QTest::mouseClick(w.btnMerge, Qt::LeftButton);
        QCOMPARE(d.Messages, QStringList{shown});
        QCOMPARE(Boxes(w), boxes);
        QVERIFY(Entries(d.Program).isEmpty());
    }

    // The count box: rounded half to even, 16 bits, "." or the regional decimal separator.
    constexpr int refused = -100000;
    const struct { const char *text, *locale; int count; } counts[] = {
        {"8", "C", 8}, {" 8", "C", 8}, {"8 ", "C", 8}, {"0", "C", 0}, {"-3", "C", -3},
        {"2.5", "C", 2}, {"3.5", "C", 4}, {"2.51", "C", 3}, {"-2.5", "C", -2},
        {"32767", "C", 32767}, {"32767.5", "C", refused}, {"-32768.5", "C", -32768}, {"-32769", "C", refused},
        {"abc", "C", refused}, {"40000", "C", refused}, {" ", "C", refused}, {"8abc", "C", refused},
        {"nan", "C", refused}, {"inf", "C", refused}, {"1e300", "C", refused},
        {"2,5", "sv_SE", 2}, {"3.5", "sv_SE", 4}, {"2,5", "en_US", refused}, {"1,000", "en_US", refused},
    };
    for (const auto& [text, locale, count] : counts) {
        const std::optional<std::int16_t> parsed = ParseFileCount(QString::fromLatin1(text), QLocale(QLatin1String(locale)));
        QVERIFY2((parsed ? *parsed : refused) == count, text);
    }
}

void WindowTest::folderSeparator() {
    // The first non-alphanumeric character of the short date format, "-" for
    // none, a blank, or one that cannot stand in a folder name.
    const std::pair<const char*, char> rows[] = {
        {"yyyy-MM-dd", '-'}, {"dd.MM.yyyy", '.'}, {"M/d/yy", '-'},   {"d MMM yyyy", '-'}, {"dd\\MM\\yyyy", '-'},
        {"dd:MM:yyyy", '-'}, {"yyyyMMdd", '-'},   {"", '-'},         {"yyyy.MM-dd", '.'},
    };
    for (const auto& [format, separator] : rows) QCOMPARE(DateSeparatorFor(QString::fromLatin1(format)), QChar(separator));
    QCOMPARE(FolderTimeStamp(QTime(9, 5, 7), QLatin1Char('.')), QStringLiteral("09.05.07"));
}

void WindowTest::mergeThroughTheButton() {
    // Backup days 1, 2, 3 and existing days 3, 10, 20 of September 2004; the
    // break date 09-10-2004 takes existing 10 and 20, then backup 1 to 3.
    FakeDesktop d;
    const std::filesystem::path base = d.Root.path().toStdString();
    const auto desc = [](std::initializer_list<int> days, int samples) {
        ts::SetDescription set;
        for (int day : days)
            set.Files.push_back({ts::RawTime(set.Version, 2004, 9, day, 6), ts::RawTime(set.Version, 2004, 9, day, 23),
                                 samples + day, {}, true});
        return set;
    };
    const ts::BuiltSet backup = ts::Build(base / "backup", desc({1, 2, 3}, 10));
    const ts::BuiltSet existing = ts::Build(base / "existing", desc({3, 10, 20}, 20));
    ts::BuildEmptyDataFile(base / "empty" / "TREND.000", desc({}, 0));
    const QString empty = Q(base / "empty" / "TREND.000");
    const auto boxes = [&](const char* n) { return QStringList{Q(backup.Master), Q(existing.Master), empty, "09-10-2004", n}; };
    Joinwright w(d.Services());

    // Refused by the engine before writing: the reason, the boxes kept, no folder left.
    SetBoxes(w, boxes("4"));
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    const QString refusal = d.Messages.value(0);
    QVERIFY2(d.Messages.size() == 1 && refusal.startsWith("error: The merge failed.\n\n") &&
                 refusal.contains("ask for at least 5") && refusal.contains("the output folder was removed again") &&
                 refusal.endsWith(w.OutputFolder),
             qPrintable(d.Messages.join("\n--\n")));
    QCOMPARE(Boxes(w), boxes("4"));
    QVERIFY(Entries(d.Program).isEmpty());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Merged: 7,5 in the regional form rounds to even 8; the result is shown
    // while the boxes still hold their texts, without the busy cursor.
    QLocale::setDefault(QLocale(QStringLiteral("sv_SE")));
    SetBoxes(w, boxes(" 7,5"));
    QStringList boxesWhileShown;
    bool busyWhileShown = true;
    d.OnShow = [&] { boxesWhileShown = Boxes(w); busyWhileShown = QApplication::overrideCursor() != nullptr; };
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(d.Messages.mid(1), QStringList{"The trendfiles are now merged."});
    QCOMPARE(boxesWhileShown, boxes(" 7,5"));
    QVERIFY(!busyWhileShown);
    QCOMPARE(Boxes(w), QStringList(5, QString()));
    // "/" cannot stand in a folder name: "-" takes its place.
    const QString folder = d.Program + QStringLiteral("/Merged trenddata 14-35-22");
    QCOMPARE(Entries(d.Program), QStringList{"Merged trenddata 14-35-22"});
    QCOMPARE(Entries(folder), (QStringList{"TREND.000", "TREND.001", "TREND.002", "TREND.003", "TREND.004",
                                           "TREND.005", "TREND.006", "TREND.007", "TREND.HST"}));
    QCOMPARE(Bytes(folder + "/TREND.001"), Bytes(Q(existing.DataFiles[2])));
    QCOMPARE(Bytes(folder + "/TREND.002"), Bytes(Q(backup.DataFiles[0])));
    QCOMPARE(Bytes(folder + "/TREND.007"), Bytes(empty));

    // The same time of day again: refused, the earlier folder is not reused.
    const QByteArray master = Bytes(folder + "/TREND.HST");
    d.OnShow = nullptr;
    SetBoxes(w, boxes("6"));
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    const QString exists = d.Messages.value(2);
    QVERIFY2(d.Messages.size() == 3 && exists.startsWith("error: ") && exists.contains("already exists") &&
                 exists.contains(w.OutputFolder),
             qPrintable(exists));
    QCOMPARE(Entries(folder).size(), 9);
    QCOMPARE(Bytes(folder + "/TREND.HST"), master);
    QCOMPARE(Boxes(w), boxes("6"));
}

void WindowTest::filterText() {
    const std::pair<const char*, const char*> normalised[] = {
        {"A|*.a|", "A\\0*.a\\0\\0"}, {"A|*.a", "A\\0*.a\\0\\0"}, {"A|*.a||", "A\\0*.a\\0\\0"},
        {"A|*.a|||", "A\\0*.a\\0\\0\\0"}, {"", "\\0\\0"}, {"|", "\\0\\0"},
    };
    for (const auto& [text, nul] : normalised) QCOMPARE(NormaliseFilter(QString::fromLatin1(text)), Nul(nul));
    const QString buttons = NormaliseFilter(QString::fromLatin1(kTrendFileFilter));
    QVERIFY(buttons.endsWith(Nul("\\0\\0")) && !buttons.endsWith(Nul("\\0\\0\\0")) && !buttons.contains('|'));
    QCOMPARE(buttons.count(QChar(0)), 9);

    const std::pair<const char*, QStringList> qt[] = {
        {kTrendFileFilter, kQtFilters}, {"A| *.a ; *.b |", {"A (*.a *.b)"}}, {"A||B|*.b|", {"B (*.b)"}},
        {"A", {}}, {"X|*.*;*.HST|", {"X (* *.HST)"}},
    };
    for (const auto& [text, filters] : qt) QCOMPARE(QtNameFilters(NormaliseFilter(QString::fromLatin1(text))), filters);

    // Qt's own dialog, so that the patterns match names in any letter case.
    OpenFileRequest request;
    request.NameFilters = kQtFilters;
    const auto dialog = MakeOpenFileDialog(request);
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog) && !(dialog->filter() & QDir::CaseSensitive));
    QCOMPARE(dialog->nameFilters(), kQtFilters);
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
}

void WindowTest::openButtons() {
    // Button, the box whose text the dialog proposes, the box that gets the answer.
    const std::tuple<const char*, int, int> rows[] = {{"btnOpenB", 0, 0}, {"btnOpenE", 1, 1}, {"btnOCFile", 1, 2}};
    for (const auto& [button, from, target] : rows) {
        FakeDesktop d;
        Joinwright w(d.Services());
        const QStringList before{"/b/TREND.HST", "/e/TREND.HST", "/o/TREND.000", "09-17-2004", "8"};
        SetBoxes(w, before);
        QTest::mouseClick(w.findChild<QPushButton*>(button), Qt::LeftButton);  // cancelled
        QCOMPARE(Boxes(w), before);
        d.Answer = {QStringLiteral("  /chosen/readme.txt"), false};
        QTest::mouseClick(w.findChild<QPushButton*>(button), Qt::LeftButton);
        QStringList after = before;
        after[target] = QStringLiteral("/chosen/readme.txt");
        QCOMPARE(Boxes(w), after);
        QCOMPARE(d.Requests.size(), std::size_t{2});
        const OpenFileRequest& r = d.Requests[1];
        QCOMPARE(r.InitialPath, before[from]);
        QCOMPARE(r.NameFilters, kQtFilters);
        QVERIFY(r.SelectedFilter == 0 && r.FileMustExist && r.PathMustExist);
        QVERIFY(d.Messages.empty());
    }
}

void WindowTest::focusAndHelp() {
    FakeDesktop d;
    d.Program = QStringLiteral("/opt/joinwright");
    Joinwright w(d.Services());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const auto help = [](int context) {
        return QStringLiteral("Joinwright v1.00: /opt/joinwright/JoinwrightHelp.chm at %1").arg(context);
    };
    // Tab walks the boxes and buttons in tab-index order; F1 opens the focused control's context.
    const QStringList order{"txtBackup",  "txtExisting", "btnOpenB",  "btnOpenE", "txtBrakeDate",
                            "btnMerge",   "txtNOFiles",  "txtOCFile", "btnOCFile", "txtBackup"};
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtBackup));
    QStringList visited, expected;
    for (qsizetype i = 0; i < order.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        visited << focus->objectName();
        QTest::keyClick(focus, Qt::Key_F1);
        expected << help(focus->property(kHelpContextProperty).toInt());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited, order);
    // The "?" labels and the menu commands.
    const std::pair<const char*, int> links[] = {{"lblBackupFile", 1003}, {"lblBrake", 1004},  {"lblEmpty", 1005},
                                                 {"lblExisting", 1006},   {"lblFolder", 1007}, {"lblNumber", 1008},
                                                 {"mnuAbout", 1002},      {"mnuHelp", 1010}};
    for (const auto& [source, context] : links) {
        if (auto* item = w.findChild<QAction*>(source)) item->trigger();
        else QTest::mouseClick(w.findChild<QLabel*>(source), Qt::LeftButton);
        expected << help(context);
    }
    QCOMPARE(d.Help, expected);
    // Without a context of its own: the container's, else the window's.
    QCOMPARE(w.HelpContextFor(w.lblBackup), 1001);
    w.Frame3->setProperty(kHelpContextProperty, 1004);
    QCOMPARE(w.HelpContextFor(w.lblDate), 1004);
    QVERIFY(d.Messages.empty());
}

void WindowTest::builtHelpMapsEveryContext() {
#ifndef JW_BUILT_HELP_FILE
    QSKIP("this build has no help file");
#else
    const auto archive = ChmArchive::Open(QStringLiteral(JW_BUILT_HELP_FILE));
    QVERIFY(archive != nullptr);
    const std::pair<std::uint32_t, const char*> titles[] = {
        {1001, "The Joinwright window"}, {1002, "About Joinwright"}, {1003, "Backup Trend File"},
        {1004, "Brake Date"}, {1005, "Empty Data File"}, {1006, "Existing Trend File"},
        {1007, "The output folder"}, {1008, "Number of files"}, {1010, "Joinwright Help"}};
    QCOMPARE(archive->ContextMap().size(), std::size(titles));
    for (const auto& [context, title] : titles) {
        const std::optional<std::string> topic = archive->TopicForContext(context);
        QVERIFY2(topic && archive->Exists(*topic), title);
        QVERIFY2(archive->Read(*topic).value_or("").contains(QByteArray("<title>") + title + "</title>"), title);
    }
#endif
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
