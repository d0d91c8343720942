// The help file and its viewer: the context map read from hostile bytes,
// topic paths recorded as build-machine paths, the help file this build
// compiled (every context opens a topic that exists, every link lands), and
// the viewer window (one window, reused; links and Back work; a missing
// file or context is shown in the viewer, never in a message box).
#include "Fakes.h"
#include "ui/ChmArchive.h"
#include "ui/HelpViewer.h"
#include "ui/Joinwright.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <set>

using namespace jw::ui;
using namespace jw::ui::test;

namespace {

const QString kBuiltHelp = QStringLiteral(JW_BUILT_HELP_FILE);

QByteArray Le32(std::uint32_t v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray Le16(std::uint16_t v) {
    QByteArray b(2, '\0');
    b[0] = static_cast<char>(v & 0xff);
    b[1] = static_cast<char>(v >> 8);
    return b;
}

QByteArray Ivb(std::uint32_t declared, std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> pairs) {
    QByteArray b = Le32(declared);
    for (const auto& [context, offset] : pairs) b += Le32(context) + Le32(offset);
    return b;
}

using ContextMap = std::map<std::uint32_t, std::string>;

// Titles of the topics each context must open.
const std::pair<int, const char*> kContextTitles[] = {
    {1001, "The Joinwright window"}, {1002, "About Joinwright"},   {1003, "Backup Trend File"},
    {1004, "Brake Date"},            {1005, "Empty Data File"},    {1006, "Existing Trend File"},
    {1007, "The output folder"},     {1008, "Number of files"},    {1010, "Joinwright Help"},
};

}  // namespace

Q_DECLARE_METATYPE(ContextMap)

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void contextMap_data();
    void contextMap();
    void systemBlock();
    void resolveTopicPath_data();
    void resolveTopicPath();
    void builtHelpMapsEveryContext_data();
    void builtHelpMapsEveryContext();
    void builtHelpLinksLand();
    void viewerShowsAndReusesItsWindow();
    void viewerFollowsLinksAndGoesBack();
    void viewerNotesMissingFileAndContext();
    void viewerSwitchesToAnotherHelpFile();
    void windowLabelOpensTopicInViewer();
};

void HelpTest::contextMap_data() {
    QTest::addColumn<QByteArray>("ivb");
    QTest::addColumn<QByteArray>("strings");
    QTest::addColumn<ContextMap>("expected");
    const QByteArray strings("\0/a.htm\0/b.htm\0", 15);
    QTest::newRow("two entries") << Ivb(16, {{1001, 1}, {1002, 8}}) << strings
                                 << ContextMap{{1001, "/a.htm"}, {1002, "/b.htm"}};
    QTest::newRow("count larger than the data") << Ivb(400, {{1001, 1}}) << strings << ContextMap{{1001, "/a.htm"}};
    QTest::newRow("count smaller than the data") << Ivb(8, {{1001, 1}, {1002, 8}}) << strings
                                                 << ContextMap{{1001, "/a.htm"}};
    QTest::newRow("count not whole pairs") << Ivb(12, {{1001, 1}, {1002, 8}}) << strings
                                           << ContextMap{{1001, "/a.htm"}};
    QTest::newRow("pair cut short") << Ivb(16, {{1001, 1}}) + Le32(1002) << strings << ContextMap{{1001, "/a.htm"}};
    QTest::newRow("offset past the strings") << Ivb(16, {{1001, 1}, {1002, 15}}) << strings
                                             << ContextMap{{1001, "/a.htm"}};
    QTest::newRow("huge offset") << Ivb(8, {{1001, 0xffffffffu}}) << strings << ContextMap{};
    QTest::newRow("string without end") << Ivb(8, {{1001, 1}}) << QByteArray("\0/a.htm", 7) << ContextMap{};
    QTest::newRow("too short for a count") << QByteArray("\x10\0", 2) << strings << ContextMap{};
    QTest::newRow("no strings") << Ivb(8, {{1001, 0}}) << QByteArray() << ContextMap{};
    QTest::newRow("huge count") << Ivb(0xffffffffu, {{7, 1}}) << strings << ContextMap{{7, "/a.htm"}};
}

void HelpTest::contextMap() {
    QFETCH(QByteArray, ivb);
    QFETCH(QByteArray, strings);
    QFETCH(ContextMap, expected);
    QCOMPARE(ParseContextMap(ivb, strings), expected);
}

void HelpTest::systemBlock() {
    QByteArray block = Le32(3);
    block += Le16(2) + Le16(10) + QByteArray("index.htm\0", 10);
    block += Le16(3) + Le16(4) + QByteArray("Old\0", 4);
    block += Le16(3) + Le16(4) + QByteArray("New\0", 4);
    std::map<std::uint16_t, QByteArray> records = ParseSystemBlock(block);
    QCOMPARE(records.size(), std::size_t{2});
    QCOMPARE(records[2], QByteArray("index.htm\0", 10));
    QCOMPARE(records[3], QByteArray("New\0", 4));
    // A record running past the end stops the reading; the ones before stay.
    block += Le16(6) + Le16(500) + QByteArray("x");
    records = ParseSystemBlock(block);
    QCOMPARE(records.count(6), std::size_t{0});
    QCOMPARE(records.size(), std::size_t{2});
    QVERIFY(ParseSystemBlock(QByteArray("\3\0", 2)).empty());
}

void HelpTest::resolveTopicPath_data() {
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("resolved");  // empty: none
    QTest::newRow("absolute build path") << "/home/x/build/help/project/backup.htm" << "/backup.htm";
    QTest::newRow("archive path") << "/backup.htm" << "/backup.htm";
    QTest::newRow("relative") << "backup.htm" << "/backup.htm";
    QTest::newRow("windows build path") << "C:\\build\\help\\backup.htm" << "/backup.htm";
    QTest::newRow("longest trailing part wins") << "/build/help/x.htm" << "/help/x.htm";
    QTest::newRow("only the short one exists") << "/build/other/x.htm" << "/x.htm";
    QTest::newRow("sub folder") << "/home/x/sub/a.htm" << "/sub/a.htm";
    QTest::newRow("anchor kept") << "/home/x/backup.htm#choosing" << "/backup.htm#choosing";
    QTest::newRow("not in the archive") << "/home/x/missing.htm" << "";
    QTest::newRow("a folder name only") << "/home/x/" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("root") << "/" << "";
}

void HelpTest::resolveTopicPath() {
    QFETCH(QString, recorded);
    QFETCH(QString, resolved);
    const std::set<std::string> archive{"/backup.htm", "/help/x.htm", "/x.htm", "/sub/a.htm"};
    std::vector<std::string> asked;
    const auto result = ResolveTopicPath(recorded.toStdString(), [&](const std::string& p) {
        asked.push_back(p);
        return archive.count(p) != 0;
    });
    QCOMPARE(QString::fromStdString(result.value_or(std::string())), resolved);
    // Tried longest first, each beginning at a "/".
    for (std::size_t i = 1; i < asked.size(); ++i) QVERIFY(asked[i].size() < asked[i - 1].size());
    for (const std::string& p : asked) QVERIFY(p.front() == '/');
}

void HelpTest::builtHelpMapsEveryContext_data() {
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("title");
    for (const auto& [context, title] : kContextTitles)
        QTest::newRow(QByteArray::number(context).constData()) << context << QString::fromLatin1(title);
}

void HelpTest::builtHelpMapsEveryContext() {
    QFETCH(int, context);
    QFETCH(QString, title);
    const auto archive = ChmArchive::Open(kBuiltHelp);
    QVERIFY2(archive != nullptr, qPrintable(kBuiltHelp));
    QCOMPARE(archive->ContextMap().size(), std::size(kContextTitles));  // 1001-1008 and 1010, nothing else
    const std::optional<std::string> topic = archive->TopicForContext(static_cast<std::uint32_t>(context));
    QVERIFY(topic.has_value());
    QVERIFY(archive->Exists(*topic));
    const std::optional<QByteArray> page = archive->Read(*topic);
    QVERIFY(page.has_value());
    QVERIFY2(page->contains(QStringLiteral("<title>%1</title>").arg(title).toUtf8()), topic->c_str());
    QVERIFY(!archive->TopicForContext(1009).has_value());
    QVERIFY(!archive->TopicForContext(0).has_value());
    QCOMPARE(QString::fromStdString(archive->DefaultTopic()), QStringLiteral("/contents.htm"));
    QCOMPARE(archive->Title(), QStringLiteral("Joinwright Help"));
}

void HelpTest::builtHelpLinksLand() {
    const auto archive = ChmArchive::Open(kBuiltHelp);
    QVERIFY(archive != nullptr);
    const QStringList topics{"contents", "window", "about", "backup", "existing", "emptyfile",
                             "numberoffiles", "brakedate", "folder", "refusals"};
    const QRegularExpression href(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
    QSet<QString> linkedTo;
    for (const QString& t : topics) {
        const std::optional<QByteArray> page = archive->Read("/" + t.toStdString() + ".htm");
        QVERIFY2(page.has_value(), qPrintable(t));
        auto it = href.globalMatch(QString::fromUtf8(*page));
        while (it.hasNext()) {
            const QUrl target = QUrl(QStringLiteral("chm:/") + t + QStringLiteral(".htm")).resolved(QUrl(it.next().captured(1)));
            QVERIFY2(archive->Exists(target.path().toStdString()), qPrintable(t + " -> " + target.toString()));
            linkedTo.insert(target.path());
        }
    }
    // Every topic can be reached from another one.
    for (const QString& t : topics) QVERIFY2(linkedTo.contains("/" + t + ".htm"), qPrintable(t));
}

void HelpTest::viewerShowsAndReusesItsWindow() {
    QWidget owner;
    ChmHelpService help;
    help.ShowHelp(&owner, kBuiltHelp, 1003);
    HelpWindow* viewer = help.Viewer();
    QVERIFY(viewer != nullptr);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->isWindow());
    QVERIFY(!viewer->testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/backup.htm"));
    QCOMPARE(viewer->Browser()->documentTitle(), QStringLiteral("Backup Trend File"));
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Joinwright Help - Backup Trend File"));
    QVERIFY(viewer->Browser()->toPlainText().contains(QStringLiteral("master file")));

    help.ShowHelp(&owner, kBuiltHelp, 1004);
    QCOMPARE(help.Viewer(), viewer);
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/brakedate.htm"));
    help.ShowHelp(&owner, kBuiltHelp, 1004);  // the same topic again
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/brakedate.htm"));
    QCOMPARE(owner.findChildren<HelpWindow*>().size(), 1);
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    // Closed by the operator, it comes back for the next topic.
    viewer->close();
    help.ShowHelp(&owner, kBuiltHelp, 1002);
    QCOMPARE(help.Viewer(), viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/about.htm"));
}

void HelpTest::viewerFollowsLinksAndGoesBack() {
    HelpWindow viewer;
    viewer.show();
    QApplication::setActiveWindow(&viewer);
    QVERIFY(QTest::qWaitForWindowActive(&viewer));
    QVERIFY(viewer.ShowContext(kBuiltHelp, 1010));
    QCOMPARE(viewer.CurrentTopic(), QStringLiteral("/contents.htm"));
    auto* back = viewer.findChild<QToolButton*>();
    QVERIFY(back != nullptr);
    QVERIFY(!back->isEnabled());

    // Tab to the first link and press Enter, as an operator would.
    HelpBrowser* browser = viewer.Browser();
    browser->setFocus();
    QTRY_VERIFY(browser->hasFocus());
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    QCOMPARE(viewer.CurrentTopic(), QStringLiteral("/window.htm"));
    QCOMPARE(browser->documentTitle(), QStringLiteral("The Joinwright window"));
    QVERIFY(back->isEnabled());

    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(viewer.CurrentTopic(), QStringLiteral("/contents.htm"));
}

void HelpTest::viewerNotesMissingFileAndContext() {
    HelpWindow viewer;
    QTemporaryDir folder;
    const QString missing = folder.path() + QStringLiteral("/JoinwrightHelp.chm");
    QVERIFY(!viewer.ShowContext(missing, 1003));
    QVERIFY(viewer.CurrentTopic().isEmpty());
    QVERIFY(viewer.Browser()->toPlainText().contains(QStringLiteral("cannot be opened")));

    // A file that is not a compiled help file.
    QFile junk(missing);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    QVERIFY(!viewer.ShowContext(missing, 1003));
    QVERIFY(viewer.Browser()->toPlainText().contains(QStringLiteral("cannot be opened")));

    QVERIFY(!viewer.ShowContext(kBuiltHelp, 1009));
    QVERIFY(viewer.CurrentTopic().isEmpty());
    QVERIFY(viewer.Browser()->toPlainText().contains(QStringLiteral("no topic for help context 1009")));

    // And back to a topic, also the one shown before the note.
    QVERIFY(viewer.ShowContext(kBuiltHelp, 1005));
    QVERIFY(!viewer.ShowContext(kBuiltHelp, -1));
    QVERIFY(viewer.ShowContext(kBuiltHelp, 1005));
    QCOMPARE(viewer.CurrentTopic(), QStringLiteral("/emptyfile.htm"));
    QCOMPARE(viewer.Browser()->documentTitle(), QStringLiteral("Empty Data File"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void HelpTest::viewerSwitchesToAnotherHelpFile() {
    QTemporaryDir folder;
    const QString copy = folder.path() + QStringLiteral("/JoinwrightHelp.chm");
    QVERIFY(QFile::copy(kBuiltHelp, copy));
    HelpWindow viewer;
    QVERIFY(viewer.ShowContext(kBuiltHelp, 1008));
    QVERIFY(viewer.ShowContext(copy, 1008));
    QCOMPARE(viewer.CurrentTopic(), QStringLiteral("/numberoffiles.htm"));
    QCOMPARE(viewer.Browser()->documentTitle(), QStringLiteral("Number of files"));
    // The file is read as it is at each request.
    QVERIFY(QFile::remove(copy));
    QVERIFY(!viewer.ShowContext(copy, 1007));
    QVERIFY(viewer.CurrentTopic().isEmpty());
    QVERIFY(QFile::copy(kBuiltHelp, copy));
    QVERIFY(viewer.ShowContext(copy, 1007));
    QCOMPARE(viewer.CurrentTopic(), QStringLiteral("/folder.htm"));
}

void HelpTest::windowLabelOpensTopicInViewer() {
    FakeDesktop desktop;
    QVERIFY(QFile::copy(kBuiltHelp, desktop.Folder.Folder + QStringLiteral("/JoinwrightHelp.chm")));
    ChmHelpService help;
    WindowServices services = desktop.Services();
    services.Help = &help;
    Joinwright w(services);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.lblBrake, Qt::LeftButton);
    QVERIFY(help.Viewer() != nullptr);
    QCOMPARE(help.Viewer()->CurrentTopic(), QStringLiteral("/brakedate.htm"));
    w.mnuAbout->trigger();
    QCOMPARE(help.Viewer()->CurrentTopic(), QStringLiteral("/about.htm"));
    QVERIFY(desktop.Messages.Shown.empty());

    // Without the help file the window still says nothing itself.
    QFile::remove(desktop.Folder.Folder + QStringLiteral("/JoinwrightHelp.chm"));
    w.mnuHelp->trigger();
    QVERIFY(help.Viewer()->CurrentTopic().isEmpty());
    QVERIFY(desktop.Messages.Shown.empty());
}

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
