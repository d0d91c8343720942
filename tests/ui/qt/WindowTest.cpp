// The Qt window driven without a person: every control of the table in its
// place, the focus order, F1 and the help links, the menu, a merge through
// the button and the file dialog's set-up.  A recorder stands in for the
// desktop, so nothing here opens a dialog that would wait for an answer.
#include "ui/model/RecordingDesktop.h"
#include "ui/qt/ChmArchive.h"
#include "ui/qt/FileDialog.h"
#include "ui/qt/HelpViewer.h"
#include "ui/qt/Joinwright.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <utility>

using namespace jw::ui;
using namespace jw::uitest;

namespace {

QLineEdit* BoxOf(const Joinwright& w, const char* name) { return w.findChild<QLineEdit*>(QLatin1String(name)); }
QStringList Q(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& t : texts) list << QString::fromStdString(t);
    return list;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAndMenus();
    void focusHelpAndLinks();
    void mergeThroughTheButton();
    void fileDialog();
    void shippedHelpMapsEveryContext();
};

void WindowTest::controlsAndMenus() {
    RecordingDesktop d;
    Joinwright w(d.Services());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // One line per control, written from the table and read from the widgets.
    QStringList expected, actual;
    for (const ControlRow& c : Controls()) {
        const bool link = c.Kind == ControlKind::HelpLabel;
        const char* kind = c.Kind == ControlKind::Frame     ? "QGroupBox"
                           : c.Kind == ControlKind::TextBox ? "QLineEdit"
                           : c.Kind == ControlKind::Button  ? "QPushButton"
                                                            : "QLabel";
        const auto row = [](const QString& name, const QString& kind, const QString& in, const QString& text, QRect g,
                            const char* font, bool highlight, bool focus) {
            return QStringLiteral("%1 %2 in %3 \"%4\" %5,%6 %7x%8 %9%10%11")
                .arg(name, kind, in, text).arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()).arg(font)
                .arg(highlight ? " highlight" : "", focus ? " focus" : "");
        };
        expected << row(c.Name, kind, c.Container ? RowOf(*c.Container).Name : "window", c.Caption,
                        QRect(c.Left, c.Top, DrawnWidth(c.Id), DrawnHeight(c.Id)), link ? "13.5pt" : "caption font",
                        link, c.Kind == ControlKind::TextBox || c.Kind == ControlKind::Button);
        QWidget* x = w.centralWidget()->findChild<QWidget*>(QLatin1String(c.Name));
        QVERIFY2(x != nullptr, c.Name);
        QString text;
        // A label shows plain text, a box can be typed in, no button is the default one.
        if (auto* f = qobject_cast<QGroupBox*>(x)) text = f->title();
        if (auto* l = qobject_cast<QLabel*>(x)) text = l->textFormat() == Qt::PlainText ? l->text() : "rich";
        if (auto* e = qobject_cast<QLineEdit*>(x)) text = e->isReadOnly() ? "read-only" : e->text();
        if (auto* b = qobject_cast<QPushButton*>(x)) text = b->isDefault() || b->autoDefault() ? "default" : b->text();
        const bool captionFont = x->font() == w.centralWidget()->font();
        actual << row(x->objectName(), x->inherits(kind) ? kind : "other",
                      x->parentWidget() == w.centralWidget() ? "window" : x->parentWidget()->objectName(), text,
                      x->geometry(), captionFont ? "caption font" : x->font().pointSizeF() == 13.5 ? "13.5pt" : "other",
                      x->foregroundRole() == QPalette::Highlight, x->focusPolicy() != Qt::NoFocus);
        // Nothing is cut: a caption's text, in the widget's own font, needs no
        // more room than its control (a label's wrapped where it wraps).
        const bool wraps = c.Kind == ControlKind::Label;
        const QRect need = x->fontMetrics().boundingRect(QRect(0, 0, wraps ? x->width() : 100000, 100000),
                                                         (wraps ? Qt::TextWordWrap : 0) | Qt::AlignLeft, c.Caption);
        QVERIFY2(need.width() <= x->width() && need.height() <= x->height(), c.Name);
        if (c.Kind == ControlKind::HelpLabel) QCOMPARE(x->cursor().shape(), Qt::PointingHandCursor);
    }
    QCOMPARE(actual, expected);

    QCOMPARE(w.windowTitle(), QStringLiteral("Joinwright v1.00"));
    QCOMPARE(w.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
    QCOMPARE(w.size(), QSize(kClientWidth, w.menuBar()->height() + kClientHeight));
    QCOMPARE(w.minimumSize(), w.maximumSize());  // not resizable
    QCOMPARE(w.windowIcon().availableSizes().value(0), QSize(32, 32));
    QStringList menus;
    for (QAction* a : w.menuBar()->actions()) {
        menus << a->text();
        if (a->menu()) for (QAction* item : a->menu()->actions()) menus << "  " + item->text();
    }
    QCOMPARE(menus, (QStringList{"File", "  Exit", "About", "Help"}));
}

void WindowTest::focusHelpAndLinks() {
    RecordingDesktop d;
    d.Program = "/opt/joinwright";
    Joinwright w(d.Services());
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const auto help = [](int context) { return QStringLiteral("/opt/joinwright/JoinwrightHelp.chm at %1").arg(context); };
    // Tab walks the boxes and buttons in tab-index order; F1 opens the focused control's context.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(BoxOf(w, "txtBackup")));
    QStringList visited, order, expected;
    for (const ControlId id : FocusOrder()) order << RowOf(id).Name;
    order << order.first();
    for (qsizetype i = 0; i < order.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        visited << focus->objectName();
        QTest::keyClick(focus, Qt::Key_F1);
        expected << help(i < order.size() - 1 ? RowOf(FocusOrder()[static_cast<std::size_t>(i)]).HelpContext : 1003);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited, order);
    // Enter and Escape trigger nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // The "?" labels and the menu commands.
    const std::pair<const char*, int> links[] = {{"lblBackupFile", 1003}, {"lblFolder", 1007}, {"mnuHelp", 1010}};
    for (const auto& [source, context] : links) {
        if (auto* item = w.findChild<QAction*>(source)) item->trigger();
        else QTest::mouseClick(w.findChild<QLabel*>(source), Qt::LeftButton);
        expected << help(context);
    }
    QTest::mouseClick(w.findChild<QLabel*>("lblBackup"), Qt::LeftButton);  // a caption is no link
    QCOMPARE(Q(d.Help), expected);
    QVERIFY(d.Messages.empty());
}

void WindowTest::mergeThroughTheButton() {
    RecordingDesktop d;
    Joinwright w(d.Services());
    // The buttons hand their clicks to the model, which reads and fills the boxes through the window.
    BoxOf(w, "txtExisting")->setText("/e/TREND.HST");
    QTest::mouseClick(w.findChild<QPushButton*>("btnMerge"), Qt::LeftButton);
    QCOMPARE(Q(d.Messages), QStringList{QString::fromStdString(std::string(kNoBackup) + std::string(kNoEmptyFile) +
                                                               std::string(kNoDate) + std::string(kNoCount))});
    d.Answer = {"/e/EMPTY.000", 0};
    QTest::mouseClick(w.findChild<QPushButton*>("btnOCFile"), Qt::LeftButton);
    QVERIFY(d.Requests.size() == 1 && d.Requests[0].InitialPath == "/e/TREND.HST");
    QCOMPARE(BoxOf(w, "txtOCFile")->text(), QStringLiteral("/e/EMPTY.000"));
}

void WindowTest::fileDialog() {
    const QStringList qtFilters{"All Trend Files (*.HST *.0?? *.1?? *.2?\?)", "History Files (*.HST) (*.HST)",
                                "Data Files (*.nnn) (*.0?? *.1?? *.2?\?)", "All Files (*)"};
    QCOMPARE(QtNameFilters(NormaliseFilter(kTrendFileFilter)), qtFilters);
    QCOMPARE(QtNameFilters(NormaliseFilter("X|*.*;*.HST|")), QStringList{"X (* *.HST)"});

    // Where the dialog opens: the folder of the box's path and its name,
    // else the working folder, whatever an earlier dialog did.
    QTemporaryDir root;
    QDir(root.path()).mkpath("sets/a");
    QDir(root.path()).mkpath("work");
    const QString work = root.path() + "/work";
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work);
    const struct { QString initial, folder, file; } rows[] = {
        {root.path() + "/sets/a/TREND.HST", root.path() + "/sets/a", "TREND.HST"},
        {"", work, ""},
        {root.path() + "/sets/a", root.path() + "/sets/a", ""},
        {"", work, ""},
        {root.path() + "/gone/TREND.HST", work, "TREND.HST"},
    };
    for (const auto& [initial, folder, file] : rows) {
        const auto dialog = MakeOpenFileDialog({"", initial.toStdString(), NormaliseFilter(kTrendFileFilter), 1, kOpenButtonFlags});
        QCOMPARE(dialog->directory().absolutePath(), QDir(folder).canonicalPath());
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog) && !(dialog->filter() & QDir::CaseSensitive));
        QCOMPARE(dialog->nameFilters(), qtFilters);
        QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("All Trend Files"));  // shown without its patterns
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        if (!file.isEmpty()) QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), file);
    }
    QDir::setCurrent(previous);
}

// Every shipped help file: the one built beside joinwright and those named in
// JW_SHIPPED_HELP_FILES (scripts/package: the Windows build's, the zip's).
// Each context goes through the file's own map to a stored topic, as in
// Windows' viewer, and through the Qt viewer to the same topic.
void WindowTest::shippedHelpMapsEveryContext() {
    QStringList files{QStringLiteral(JW_BUILT_HELP_FILE)};
    files += qEnvironmentVariable("JW_SHIPPED_HELP_FILES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const std::pair<std::uint32_t, const char*> titles[] = {
        {1001, "The Joinwright window"}, {1002, "About Joinwright"}, {1003, "Backup Trend File"},
        {1004, "Brake Date"}, {1005, "Empty Data File"}, {1006, "Existing Trend File"},
        {1007, "The output folder"}, {1008, "Number of files"}, {1010, "Joinwright Help"}};
    for (const QString& file : files) {
        const auto archive = ChmArchive::Open(file);
        QVERIFY2(archive != nullptr, qPrintable(file));
        QCOMPARE(archive->ContextMap().size(), std::size(titles));
        HelpWindow viewer;
        for (const auto& [context, title] : titles) {
            const std::optional<std::string> topic = archive->TopicForContext(context);
            QVERIFY2(topic, title);
            QVERIFY2(archive->Read(*topic).value_or("").contains(QByteArray("<title>") + title + "</title>"), title);
            QVERIFY2(viewer.ShowContext(file, static_cast<int>(context)), title);
            QCOMPARE(viewer.CurrentTopic(), QString::fromStdString(*topic));
        }
        // Nothing of the machine that built it.
        for (const std::string& object : archive->ObjectPaths())
            QVERIFY2(!archive->Read(object).value_or("").contains(JW_SOURCE_DIR), object.c_str());
    }
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
