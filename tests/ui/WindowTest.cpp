// The window as the operator sees it: every control, the menu, the focus
// order, the input check, the count, the output folder's name, the help
// links and the end of the program.
#include "Fakes.h"
#include "formats/Notices.h"
#include "ui/Joinwright.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace jw::ui;
using namespace jw::ui::test;

namespace {

// The control table of the operator's documentation: container "window"
// means the client area; help 0 means none of its own.
struct ControlRow {
    const char* name;
    const char* kind;  // QGroupBox, QLabel, QLineEdit, QPushButton
    const char* container;
    const char* caption;
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
    {"lblNewFolder", "QLabel", "Frame2",
     "The new folder for the merged files will be in a sub map to the program with name: Merged trenddata", 8, 16, 457,
     41, 8, 0},
    {"lblFolder", "QLabel", "Frame2", "?", 464, 24, 17, 25, 24, 0},
    {"Frame3", "QGroupBox", "window", "Brake Date", 8, 296, 385, 65, 9, 0},
    {"lblBrakeDate", "QLabel", "Frame3", "Brake Date:", 8, 32, 57, 17, 10, 0},
    {"txtBrakeDate", "QLineEdit", "Frame3", "", 64, 32, 217, 19, 11, 1004},
    {"lblDate", "QLabel", "Frame3", "[mm-dd-yyyy]", 288, 32, 73, 17, 12, 0},
    {"lblBrake", "QLabel", "Frame3", "?", 360, 24, 17, 25, 25, 0},
    {"btnMerge", "QPushButton", "window", "Merge", 416, 304, 81, 57, 13, 1001},
};

const QString kAllMissing = QStringLiteral(
    "Du måste välja en backup fil. Du måste välja en existerande fil. Du måste välja en tom data fil. "
    "Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas.");
const QString kRange = QStringLiteral("Antalet filer måste vara ett tal från -32768 till 32767.");

QWidget* Control(Joinwright& w, const char* name) {
    // The frame "Files" shares its name with the window itself.
    return w.centralWidget()->findChild<QWidget*>(QLatin1String(name));
}

void FillAll(Joinwright& w, const QString& count = QStringLiteral("8")) {
    w.txtBackup->setText(QStringLiteral("/nowhere/backup/TREND.HST"));
    w.txtExisting->setText(QStringLiteral("/nowhere/existing/TREND.HST"));
    w.txtOCFile->setText(QStringLiteral("/nowhere/empty/TREND.000"));
    w.txtBrakeDate->setText(QStringLiteral("09-17-2004"));
    w.txtNOFiles->setText(count);
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void windowFrameAndMenus();
    void helpLabelsInHighlightColour();
    void focusMovesInTabIndexOrder();
    void enterAndEscapeTriggerNothing();
    void check_data();
    void check();
    void checkSetsCountWhateverTheOtherBoxes();
    void fileCount_data();
    void fileCount();
    void badCountIsReportedOnlyWhenAllFilled_data();
    void badCountIsReportedOnlyWhenAllFilled();
    void folderSeparator_data();
    void folderSeparator();
    void createFolderNamesItFromTheClock_data();
    void createFolderNamesItFromTheClock();
    void existingFolderIsNeverReused();
    void unwritableProgramFolderIsReported_data();
    void unwritableProgramFolderIsReported();
    void clearEmptiesTheFiveBoxesOnly();
    void helpLinks_data();
    void helpLinks();
    void f1OpensTheFocusedControlsContext_data();
    void f1OpensTheFocusedControlsContext();
    void helpContextFallsBackToTheWindow();
    void helpPathIsProgramFolderPlusFileName();
    void formatNoticesBecomeMessageBoxes();
    void desktopMessageBox_data();
    void desktopMessageBox();
    void exitEndsAtOnce();
};

void WindowTest::controls_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < static_cast<int>(std::size(kTable)); ++i) QTest::newRow(kTable[i].name) << i;
}

void WindowTest::controls() {
    QFETCH(int, row);
    const ControlRow& c = kTable[row];
    FakeDesktop desktop;
    Joinwright w(desktop.Services());

    QWidget* widget = Control(w, c.name);
    QVERIFY2(widget != nullptr, c.name);
    QVERIFY2(widget->inherits(c.kind), widget->metaObject()->className());

    const QString container = QLatin1String(c.container) == QLatin1String("window")
                                  ? w.centralWidget()->objectName()
                                  : QString::fromLatin1(c.container);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), QRect(c.left, c.top, c.width, c.height));
    QCOMPARE(widget->property(kTabIndexProperty).toInt(), c.tab);
    QCOMPARE(widget->property(kHelpContextProperty).toInt(), c.help);

    const QString caption = QString::fromUtf8(c.caption);
    const bool takesFocus = qobject_cast<QLineEdit*>(widget) || qobject_cast<QPushButton*>(widget);
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) QCOMPARE(frame->title(), caption);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) QCOMPARE(button->text(), caption);
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        QVERIFY(box->text().isEmpty());
        QVERIFY(!box->isReadOnly());
        QCOMPARE(box->echoMode(), QLineEdit::Normal);
    }
    QCOMPARE(widget->focusPolicy() != Qt::NoFocus, takesFocus);
    QVERIFY(!caption.contains(QLatin1Char('&')));

    // The "?" labels: 13.5 points, regular; everything else the window's font.
    if (caption == QLatin1String("?")) {
        QCOMPARE(widget->font().pointSizeF(), 13.5);
        QCOMPARE(widget->font().weight(), QFont::Normal);
        QCOMPARE(widget->font().styleHint(), QFont::SansSerif);
        QVERIFY(widget->font() != w.centralWidget()->font());
    } else {
        QCOMPARE(widget->font(), w.centralWidget()->font());
    }
}

void WindowTest::windowFrameAndMenus() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QCOMPARE(w.windowTitle(), QStringLiteral("Joinwright v1.00"));
    QCOMPARE(w.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
    QCOMPARE(w.centralWidget()->y(), w.menuBar()->geometry().bottom() + 1);
    QCOMPARE(w.width(), kClientWidth);
    QCOMPARE(w.height(), w.menuBar()->height() + kClientHeight);
    QCOMPARE(w.minimumSize(), w.maximumSize());  // fixed size
    QCOMPARE(w.property(kHelpContextProperty).toInt(), 1001);
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(w.centralWidget()->font().pointSizeF(), 8.0);

    // File (holding Exit only), About and Help, in this order, no access keys.
    const QList<QAction*> bar = w.menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[0]->text(), QStringLiteral("File"));
    QCOMPARE(bar[0]->menu(), w.mnuFile);
    QCOMPARE(bar[1], w.mnuAbout);
    QCOMPARE(bar[1]->text(), QStringLiteral("About"));
    QVERIFY(bar[1]->menu() == nullptr);
    QCOMPARE(bar[2], w.mnuHelp);
    QCOMPARE(bar[2]->text(), QStringLiteral("Help"));
    QVERIFY(bar[2]->menu() == nullptr);
    QCOMPARE(w.mnuFile->actions().size(), 1);
    QCOMPARE(w.mnuFile->actions().first(), w.mnuExit);
    QCOMPARE(w.mnuExit->text(), QStringLiteral("Exit"));
    for (QAction* a : {bar[0], bar[1], bar[2], w.mnuExit}) QVERIFY(a->shortcut().isEmpty());

    // No default or cancel button.
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
    }
}

void WindowTest::helpLabelsInHighlightColour() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Pixels of a label near a colour (the glyph edges are smoothed into the background).
    const auto near = [](QWidget* label, const QColor& colour) {
        const QImage image = label->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor p = image.pixelColor(x, y);
                if (std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                        std::abs(p.blue() - colour.blue()) <= 40)
                    ++count;
            }
        return count;
    };
    for (QLabel* label : {static_cast<QLabel*>(w.lblBackupFile), static_cast<QLabel*>(w.lblExisting),
                          static_cast<QLabel*>(w.lblEmpty), static_cast<QLabel*>(w.lblNumber),
                          static_cast<QLabel*>(w.lblFolder), static_cast<QLabel*>(w.lblBrake)}) {
        const QColor highlight = label->palette().color(QPalette::Highlight);
        QVERIFY2(near(label, highlight) >= 4, qPrintable(label->objectName()));
        QVERIFY(near(label, label->palette().color(QPalette::WindowText)) == 0);
    }
    // An ordinary label is drawn in the text colour, not in the highlight colour.
    QCOMPARE(near(w.lblBackup, w.lblBackup->palette().color(QPalette::Highlight)), 0);
    QVERIFY(near(w.lblBackup, w.lblBackup->palette().color(QPalette::WindowText)) >= 4);
}

void WindowTest::focusMovesInTabIndexOrder() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // The order stated in the documentation, and the same order from the table.
    const QStringList stated{"txtBackup", "txtExisting", "btnOpenB", "btnOpenE", "txtBrakeDate",
                             "btnMerge",  "txtNOFiles",  "txtOCFile", "btnOCFile"};
    std::vector<std::pair<int, QString>> fromTable;
    for (const ControlRow& c : kTable)
        if (QLatin1String(c.kind) == QLatin1String("QLineEdit") || QLatin1String(c.kind) == QLatin1String("QPushButton"))
            fromTable.emplace_back(c.tab, QString::fromLatin1(c.name));
    std::sort(fromTable.begin(), fromTable.end());
    QStringList tableOrder;
    for (const auto& [tab, name] : fromTable) tableOrder << name;
    QCOMPARE(tableOrder, stated);

    // The window opens with the focus in the first box.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtBackup));
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < stated.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, stated + QStringList{"txtBackup"});

    // Shift+Tab walks back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("btnOCFile"));
}

void WindowTest::enterAndEscapeTriggerNothing() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    FillAll(w);
    for (QLineEdit* box : {w.txtBackup, w.txtExisting, w.txtOCFile, w.txtNOFiles, w.txtBrakeDate}) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        QTest::keyClick(box, Qt::Key_Escape);
    }
    QVERIFY(desktop.Messages.Shown.empty());
    QVERIFY(Entries(desktop.Folder.Folder).isEmpty());
    QVERIFY(w.isVisible());
    QCOMPARE(w.txtNOFiles->text(), QStringLiteral("8"));
}

void WindowTest::check_data() {
    QTest::addColumn<QStringList>("boxes");  // backup, existing, empty file, date, count
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << QStringList{"", "", "", "", ""} << kAllMissing;
    QTest::newRow("only existing empty") << QStringList{"b", "", "e", "1-1-2004", "3"}
                                         << QStringLiteral(" Du måste välja en existerande fil.");
    QTest::newRow("only backup empty") << QStringList{"", "x", "e", "1-1-2004", "3"}
                                       << QStringLiteral("Du måste välja en backup fil.");
    QTest::newRow("date and count empty")
        << QStringList{"b", "x", "e", "", ""}
        << QStringLiteral(" Du har inte angivit något datum. Du har inte angivit hur många filer som ska skapas.");
    QTest::newRow("empty file empty") << QStringList{"b", "x", "", "d", "3"}
                                      << QStringLiteral(" Du måste välja en tom data fil.");
    QTest::newRow("one blank counts as filled") << QStringList{" ", " ", " ", " ", "3"} << QString();
    QTest::newRow("date in another form") << QStringList{"b", "x", "e", "2004-09-17", "3"} << QString();
}

void WindowTest::check() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, message);
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.txtBackup->setText(boxes[0]);
    w.txtExisting->setText(boxes[1]);
    w.txtOCFile->setText(boxes[2]);
    w.txtBrakeDate->setText(boxes[3]);
    w.txtNOFiles->setText(boxes[4]);
    QCOMPARE(w.Check(), message);

    // Through the button: a missing input is one box, nothing else happens.
    if (!message.isEmpty()) {
        QTest::mouseClick(w.btnMerge, Qt::LeftButton);
        QCOMPARE(desktop.Messages.Shown.size(), std::size_t{1});
        QCOMPARE(desktop.Messages.Shown[0].Text, message);
        QCOMPARE(desktop.Messages.Shown[0].Icon, MessageIcon::None);
        QVERIFY(Entries(desktop.Folder.Folder).isEmpty());
        QCOMPARE(QStringList({w.txtBackup->text(), w.txtExisting->text(), w.txtOCFile->text(),
                              w.txtBrakeDate->text(), w.txtNOFiles->text()}),
                 boxes);
        QCOMPARE(w.BrakeDate, boxes[3]);
    }
}

void WindowTest::checkSetsCountWhateverTheOtherBoxes() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.txtNOFiles->setText(QStringLiteral("12"));
    QCOMPARE(w.Check(), QStringLiteral("Du måste välja en backup fil. Du måste välja en existerande fil. Du måste "
                                       "välja en tom data fil. Du har inte angivit något datum."));
    QCOMPARE(w.NumberOfFiles, std::int16_t{12});
    // An empty count leaves the last one in place.
    w.txtNOFiles->clear();
    w.Check();
    QCOMPARE(w.NumberOfFiles, std::int16_t{12});
}

void WindowTest::fileCount_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("expected");  // -100000: refused
    const int refused = -100000;
    const QString c = QStringLiteral("C");
    const QString sv = QStringLiteral("sv_SE");
    const QString en = QStringLiteral("en_US");
    QTest::newRow("8") << "8" << c << 8;
    QTest::newRow("blank 8") << " 8" << c << 8;
    QTest::newRow("8 blank") << "8 " << c << 8;
    QTest::newRow("0") << "0" << c << 0;
    QTest::newRow("-3") << "-3" << c << -3;
    QTest::newRow("2.5 to even 2") << "2.5" << c << 2;
    QTest::newRow("3.5 to even 4") << "3.5" << c << 4;
    QTest::newRow("2.51") << "2.51" << c << 3;
    QTest::newRow("-2.5") << "-2.5" << c << -2;
    QTest::newRow("abc") << "abc" << c << refused;
    QTest::newRow("40000") << "40000" << c << refused;
    QTest::newRow("32767") << "32767" << c << 32767;
    QTest::newRow("32767.5 rounds out") << "32767.5" << c << refused;
    QTest::newRow("-32768") << "-32768" << c << -32768;
    QTest::newRow("-32768.5 rounds in") << "-32768.5" << c << -32768;
    QTest::newRow("-32769") << "-32769" << c << refused;
    QTest::newRow("blank only") << " " << c << refused;
    QTest::newRow("8abc") << "8abc" << c << refused;
    QTest::newRow("nan") << "nan" << c << refused;
    QTest::newRow("inf") << "inf" << c << refused;
    QTest::newRow("huge") << "1e300" << c << refused;
    QTest::newRow("regional comma") << "2,5" << sv << 2;
    QTest::newRow("point under sv") << "3.5" << sv << 4;
    QTest::newRow("comma under en is no decimal") << "2,5" << en << refused;
    QTest::newRow("group separator refused") << "1,000" << en << refused;
}

void WindowTest::fileCount() {
    QFETCH(QString, text);
    QFETCH(QString, locale);
    QFETCH(int, expected);
    const std::optional<std::int16_t> count = ParseFileCount(text, QLocale(locale));
    if (expected == -100000) {
        QVERIFY2(!count, qPrintable(QString::number(count.value_or(0))));
    } else {
        QVERIFY(count.has_value());
        QCOMPARE(static_cast<int>(*count), expected);
    }

    // The window reads the count in the default locale.
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.NumberOfFiles = 99;
    w.txtNOFiles->setText(text);
    w.Check();
    QLocale::setDefault(before);
    QCOMPARE(w.CountAccepted(), count.has_value());
    QCOMPARE(static_cast<int>(w.NumberOfFiles), count ? static_cast<int>(*count) : 99);
}

void WindowTest::badCountIsReportedOnlyWhenAllFilled_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("backupFilled");
    QTest::addColumn<QString>("message");
    QTest::newRow("abc, all filled") << "abc" << true << kRange;
    QTest::newRow("40000, all filled") << "40000" << true << kRange;
    QTest::newRow("abc, backup missing") << "abc" << false << QStringLiteral("Du måste välja en backup fil.");
}

void WindowTest::badCountIsReportedOnlyWhenAllFilled() {
    QFETCH(QString, count);
    QFETCH(bool, backupFilled);
    QFETCH(QString, message);
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    FillAll(w, count);
    if (!backupFilled) w.txtBackup->clear();
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{1});
    QCOMPARE(desktop.Messages.Shown[0].Text, message);
    QVERIFY(Entries(desktop.Folder.Folder).isEmpty());  // no folder, no merge
    QCOMPARE(w.txtNOFiles->text(), count);
}

void WindowTest::folderSeparator_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("separator");
    QTest::newRow("hyphen (Swedish)") << "yyyy-MM-dd" << "-";
    QTest::newRow("point (German)") << "dd.MM.yyyy" << ".";
    QTest::newRow("slash becomes hyphen") << "M/d/yy" << "-";
    QTest::newRow("blank becomes hyphen") << "d MMM yyyy" << "-";
    QTest::newRow("backslash becomes hyphen") << "dd\\MM\\yyyy" << "-";
    QTest::newRow("colon becomes hyphen") << "dd:MM:yyyy" << "-";
    QTest::newRow("none at all") << "yyyyMMdd" << "-";
    QTest::newRow("empty format") << "" << "-";
    QTest::newRow("first one counts") << "yyyy.MM-dd" << ".";
}

void WindowTest::folderSeparator() {
    QFETCH(QString, format);
    QFETCH(QString, separator);
    QCOMPARE(QString(DateSeparatorFor(format)), separator);
}

void WindowTest::createFolderNamesItFromTheClock_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << "MM/dd/yyyy" << QTime(14, 35, 22) << "Merged trenddata 14-35-22";
    QTest::newRow("point") << "dd.MM.yyyy" << QTime(9, 5, 7) << "Merged trenddata 09.05.07";
    QTest::newRow("hyphen") << "yyyy-MM-dd" << QTime(0, 0, 0) << "Merged trenddata 00-00-00";
    QTest::newRow("blank") << "d MMM yyyy" << QTime(23, 59, 59) << "Merged trenddata 23-59-59";
}

void WindowTest::createFolderNamesItFromTheClock() {
    QFETCH(QString, format);
    QFETCH(QTime, time);
    QFETCH(QString, name);
    FakeDesktop desktop;
    desktop.Clock.DateFormat = format;
    desktop.Clock.Time = time;
    Joinwright w(desktop.Services());
    QCOMPARE(w.CreateFolder(), QString());
    QCOMPARE(w.TimeStamp, name.mid(QStringLiteral("Merged trenddata ").size()));
    QCOMPARE(QDir::fromNativeSeparators(w.OutputFolder), desktop.Folder.Folder + QLatin1Char('/') + name);
    QCOMPARE(Entries(desktop.Folder.Folder), QStringList{name});
    QVERIFY(QFileInfo(w.OutputFolder).isDir());
    QVERIFY(Entries(w.OutputFolder).isEmpty());
}

void WindowTest::existingFolderIsNeverReused() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    const QString earlier = desktop.Folder.Folder + QStringLiteral("/Merged trenddata 14-35-22");
    QVERIFY(QDir().mkdir(earlier));
    QFile marker(earlier + QStringLiteral("/TREND.HST"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.write("earlier merge");
    marker.close();

    FillAll(w);
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{1});
    const ShownMessage& m = desktop.Messages.Shown[0];
    QCOMPARE(m.Icon, MessageIcon::Error);
    QVERIFY2(m.Text.contains(QStringLiteral("already exists")), qPrintable(m.Text));
    QVERIFY(m.Text.contains(QDir::toNativeSeparators(earlier)));
    // Untouched, and the boxes keep their texts.
    QCOMPARE(Entries(earlier), QStringList{"TREND.HST"});
    QVERIFY(marker.open(QIODevice::ReadOnly));
    QCOMPARE(marker.readAll(), QByteArray("earlier merge"));
    QCOMPARE(w.txtBackup->text(), QStringLiteral("/nowhere/backup/TREND.HST"));

    // A file of that name blocks the folder just the same.
    QVERIFY(QDir(earlier).removeRecursively());
    QFile plain(earlier);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(w.CreateFolder().contains(QStringLiteral("already exists")));
    QVERIFY(QFileInfo(earlier).isFile());
}

void WindowTest::unwritableProgramFolderIsReported_data() {
    QTest::addColumn<QString>("below");  // program folder inside the temporary folder
    QTest::addColumn<bool>("makeFile");
    QTest::newRow("program folder missing") << "gone/deeper" << false;
    QTest::newRow("program folder is a file") << "plainfile" << true;
}

void WindowTest::unwritableProgramFolderIsReported() {
    QFETCH(QString, below);
    QFETCH(bool, makeFile);
    FakeDesktop desktop;
    const QString programFolder = desktop.Root.path() + QLatin1Char('/') + below;
    if (makeFile) {
        QFile f(programFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    desktop.Folder.Folder = programFolder;
    Joinwright w(desktop.Services());
    FillAll(w);
    QTest::mouseClick(w.btnMerge, Qt::LeftButton);
    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{1});
    const ShownMessage& m = desktop.Messages.Shown[0];
    QCOMPARE(m.Icon, MessageIcon::Error);
    QVERIFY2(m.Text.startsWith(QStringLiteral("The output folder cannot be made:")), qPrintable(m.Text));
    QVERIFY(m.Text.contains(QStringLiteral("Reason: ")));
    QVERIFY(m.Text.contains(QStringLiteral("must be a folder you can write to")));
    QVERIFY(m.Text.endsWith(QDir::toNativeSeparators(programFolder)));
    QCOMPARE(w.txtNOFiles->text(), QStringLiteral("8"));
}

void WindowTest::clearEmptiesTheFiveBoxesOnly() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    FillAll(w);
    w.BackupFile = QStringLiteral("kept");
    w.NumberOfFiles = 7;
    w.Clear();
    for (QLineEdit* box : w.findChildren<QLineEdit*>()) QVERIFY(box->text().isEmpty());
    QCOMPARE(w.BackupFile, QStringLiteral("kept"));
    QCOMPARE(w.NumberOfFiles, std::int16_t{7});
    QCOMPARE(w.lblHNFiles->text(), QStringLiteral("[Enter an number]"));
}

void WindowTest::helpLinks_data() {
    QTest::addColumn<QString>("source");  // a label to click or a menu command to choose
    QTest::addColumn<int>("context");
    QTest::newRow("lblBackupFile") << "lblBackupFile" << 1003;
    QTest::newRow("lblBrake") << "lblBrake" << 1004;
    QTest::newRow("lblEmpty") << "lblEmpty" << 1005;
    QTest::newRow("lblExisting") << "lblExisting" << 1006;
    QTest::newRow("lblFolder") << "lblFolder" << 1007;
    QTest::newRow("lblNumber") << "lblNumber" << 1008;
    QTest::newRow("mnuAbout") << "mnuAbout" << 1002;
    QTest::newRow("mnuHelp") << "mnuHelp" << 1010;
}

void WindowTest::helpLinks() {
    QFETCH(QString, source);
    QFETCH(int, context);
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto press = [&] {
        if (source.startsWith(QLatin1String("mnu")))
            w.findChild<QAction*>(source)->trigger();
        else
            QTest::mouseClick(w.findChild<QLabel*>(source), Qt::LeftButton);
    };
    press();
    press();  // again while the topic is shown: asked again
    QCOMPARE(desktop.Help.Requests.size(), std::size_t{2});
    for (const HelpRequest& r : desktop.Help.Requests) {
        QCOMPARE(r.Context, context);
        QCOMPARE(r.File, desktop.Folder.Folder + QStringLiteral("/JoinwrightHelp.chm"));
        QCOMPARE(r.Window, static_cast<QWidget*>(&w));
    }
    QVERIFY(desktop.Messages.Shown.empty());
}

void WindowTest::f1OpensTheFocusedControlsContext_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("context");
    for (const ControlRow& c : kTable)
        if (c.help != 0) QTest::newRow(c.name) << QString::fromLatin1(c.name) << c.help;
}

void WindowTest::f1OpensTheFocusedControlsContext() {
    QFETCH(QString, control);
    QFETCH(int, context);
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QWidget* widget = Control(w, control.toLatin1().constData());
    widget->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), widget);
    QTest::keyClick(widget, Qt::Key_F1);
    QCOMPARE(desktop.Help.Requests.size(), std::size_t{1});
    QCOMPARE(desktop.Help.Requests[0].Context, context);
    QCOMPARE(desktop.Help.Requests[0].File, desktop.Folder.Folder + QStringLiteral("/JoinwrightHelp.chm"));
}

void WindowTest::helpContextFallsBackToTheWindow() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    // A control without a context of its own, in a frame without one.
    QCOMPARE(w.HelpContextFor(w.lblBackup), 1001);
    QCOMPARE(w.HelpContextFor(w.Frame3), 1001);
    QCOMPARE(w.HelpContextFor(&w), 1001);
    // A container's context is used when the control has none.
    w.Frame3->setProperty(kHelpContextProperty, 1004);
    QCOMPARE(w.HelpContextFor(w.lblDate), 1004);
    QCOMPARE(w.HelpContextFor(w.txtBackup), 1003);
}

void WindowTest::helpPathIsProgramFolderPlusFileName() {
    FakeDesktop desktop;
    desktop.Folder.Folder = QStringLiteral("/opt/joinwright/");
    Joinwright w(desktop.Services());
    // No separator test: a folder ending in one gives a doubled one.
    QCOMPARE(w.HelpFilePath(), QStringLiteral("/opt/joinwright//JoinwrightHelp.chm"));
}

void WindowTest::formatNoticesBecomeMessageBoxes() {
    FakeDesktop desktop;
    {
        Joinwright w(desktop.Services());
        jw::ShowNotice("Unknown trend version (7).", jw::NoticeMark::Error);
        jw::ShowNotice("Plain notice", jw::NoticeMark::None);
        QCOMPARE(desktop.Messages.Shown.size(), std::size_t{2});
        QCOMPARE(desktop.Messages.Shown[0].Text, QStringLiteral("Unknown trend version (7)."));
        QCOMPARE(desktop.Messages.Shown[0].Icon, MessageIcon::Error);
        QCOMPARE(desktop.Messages.Shown[0].Owner, static_cast<QWidget*>(&w));
        QCOMPARE(desktop.Messages.Shown[1].Icon, MessageIcon::None);
    }
    // A notice during a merge is shown with the ordinary pointer; the busy one comes back after.
    Qt::CursorShape shapeWhileShown = Qt::BlankCursor;
    desktop.Messages.OnShow = [&](const ShownMessage&) { shapeWhileShown = QApplication::overrideCursor()->shape(); };
    {
        Joinwright w(desktop.Services());
        QApplication::setOverrideCursor(Qt::WaitCursor);
        jw::ShowNotice("Invalid trend type:9", jw::NoticeMark::Error);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QApplication::restoreOverrideCursor();
    }
    QCOMPARE(shapeWhileShown, Qt::ArrowCursor);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    desktop.Messages.OnShow = nullptr;
    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{3});

    // The window's sink leaves with the window.
    std::vector<std::string> recorded;
    const jw::ScopedNoticeSink recorder([&](std::string_view text, jw::NoticeMark) { recorded.emplace_back(text); });
    jw::ShowNotice("after", jw::NoticeMark::None);
    QCOMPARE(desktop.Messages.Shown.size(), std::size_t{3});
    QCOMPARE(recorded.size(), std::size_t{1});
}

void WindowTest::desktopMessageBox_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("shown");
    QTest::newRow("no icon") << static_cast<int>(MessageIcon::None) << static_cast<int>(QMessageBox::NoIcon);
    QTest::newRow("error mark") << static_cast<int>(MessageIcon::Error) << static_cast<int>(QMessageBox::Critical);
}

void WindowTest::desktopMessageBox() {
    QFETCH(int, icon);
    QFETCH(int, shown);
    QWidget owner;
    owner.show();
    QString title, text;
    int boxIcon = -1;
    QList<QAbstractButton*> buttons;
    bool modal = false;
    QTimer operatorHand;  // presses OK once the box is up
    operatorHand.setInterval(10);
    connect(&operatorHand, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || boxIcon != -1) return;
        title = box->windowTitle();
        text = box->text();
        boxIcon = box->icon();
        buttons = box->buttons();
        modal = box->isModal();
        QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
    });
    operatorHand.start();
    QtMessageBoxService().Show(&owner, QStringLiteral("Du måste välja en backup fil."), static_cast<MessageIcon>(icon));
    operatorHand.stop();
    QCOMPARE(title, QStringLiteral("Joinwright"));
    QCOMPARE(text, QStringLiteral("Du måste välja en backup fil."));
    QCOMPARE(boxIcon, shown);
    QCOMPARE(buttons.size(), 1);
    QVERIFY(modal);
}

void WindowTest::exitEndsAtOnce() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget beside;  // another window of the program, like the help viewer
    beside.show();
    FillAll(w);
    w.mnuExit->trigger();
    QVERIFY(!w.isVisible());
    QVERIFY(!beside.isVisible());
    QVERIFY(desktop.Messages.Shown.empty());
    QVERIFY(Entries(desktop.Folder.Folder).isEmpty());
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
