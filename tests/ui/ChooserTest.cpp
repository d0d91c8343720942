// The open-file dialog behind the Open buttons: the filter text in both of
// its forms, ChooseFile's answer, the three buttons, and Qt's dialog as the
// program sets it up (names matched in any letter case).
#include "Fakes.h"
#include "ui/CommonDialog.h"
#include "ui/Joinwright.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace jw::ui;
using namespace jw::ui::test;

namespace {

// "|" written as "0" would be unreadable: tests spell NUL as "\\0".
QString Nul(const char* text) { return QString::fromLatin1(text).replace(QStringLiteral("\\0"), QString(QChar(0))); }

const QStringList kQtFilters{
    "All Trend Files (*.HST *.0?? *.1?? *.2?\?)",
    "History Files (*.HST) (*.HST)",
    "Data Files (*.nnn) (*.0?? *.1?? *.2?\?)",
    "All Files (*)",
};

QStringList Boxes(const Joinwright& w) {
    return {w.txtBackup->text(), w.txtExisting->text(), w.txtOCFile->text(), w.txtBrakeDate->text(),
            w.txtNOFiles->text()};
}

}  // namespace

class ChooserTest : public QObject {
    Q_OBJECT

private slots:
    void normaliseFilter_data();
    void normaliseFilter();
    void buttonFilterEndsInExactlyTwoNuls();
    void qtNameFilters_data();
    void qtNameFilters();
    void chooseFileAnswer_data();
    void chooseFileAnswer();
    void chooseFileRequest();
    void openButtons_data();
    void openButtons();
    void cancelKeepsEveryBox_data();
    void cancelKeepsEveryBox();
    void emptyBoxesOpenWithEmptyName();
    void qtDialogSetUp();
    void qtDialogMatchesAnyLetterCase_data();
    void qtDialogMatchesAnyLetterCase();
    void desktopDialogAnswers_data();
    void desktopDialogAnswers();
};

void ChooserTest::normaliseFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("ends in one bar") << "A|*.a|" << Nul("A\\0*.a\\0\\0");
    QTest::newRow("no bar at the end") << "A|*.a" << Nul("A\\0*.a\\0\\0");
    QTest::newRow("ends in two bars") << "A|*.a||" << Nul("A\\0*.a\\0\\0");
    QTest::newRow("ends in three bars") << "A|*.a|||" << Nul("A\\0*.a\\0\\0\\0");
    QTest::newRow("empty") << "" << Nul("\\0\\0");
    QTest::newRow("one bar") << "|" << Nul("\\0\\0");
    QTest::newRow("two entries") << "A|*.a|B|*.b;*.c|" << Nul("A\\0*.a\\0B\\0*.b;*.c\\0\\0");
}

void ChooserTest::normaliseFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, normalised);
    QCOMPARE(NormaliseFilter(filter), normalised);
}

void ChooserTest::buttonFilterEndsInExactlyTwoNuls() {
    const QString text = NormaliseFilter(QString::fromLatin1(kTrendFileFilter));
    QVERIFY(!text.contains(QLatin1Char('|')));
    QVERIFY(text.endsWith(Nul("\\0\\0")));
    QVERIFY(!text.endsWith(Nul("\\0\\0\\0")));
    QCOMPARE(text.count(QChar(0)), 9);  // after four descriptions and four pattern lists, one more
    QCOMPARE(text.split(QChar(0)).mid(0, 8),
             (QStringList{"All Trend Files", "*.HST;*.0??;*.1??;*.2??", "History Files (*.HST)", "*.HST",
                          "Data Files (*.nnn)", "*.0??;*.1??;*.2??", "All Files", "*.*"}));
}

void ChooserTest::qtNameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("the buttons' filter") << QString::fromLatin1(kTrendFileFilter) << kQtFilters;
    QTest::newRow("blanks around patterns") << "A| *.a ; *.b |" << QStringList{"A (*.a *.b)"};
    QTest::newRow("empty pattern list dropped") << "A||B|*.b|" << QStringList{"B (*.b)"};
    QTest::newRow("description without patterns") << "A" << QStringList{};
    QTest::newRow("nothing") << "" << QStringList{};
    QTest::newRow("stars dot star is every name") << "X|*.*;*.HST|" << QStringList{"X (* *.HST)"};
}

void ChooserTest::qtNameFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(QtNameFilters(NormaliseFilter(filter)), expected);
}

void ChooserTest::chooseFileAnswer_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("readOnlyChosen");
    QTest::newRow("plain") << "/data/TREND.HST" << false << "/data/TREND.HST" << 0;
    QTest::newRow("blanks at the start removed") << "   /data/TREND.HST" << false << "/data/TREND.HST" << 0;
    QTest::newRow("blanks at the end kept") << "/data/TREND.HST " << false << "/data/TREND.HST " << 0;
    QTest::newRow("cut at a NUL") << Nul("/data/TREND.000\\0junk") << false << "/data/TREND.000" << 0;
    QTest::newRow("cancelled") << "" << false << "" << 0;
    QTest::newRow("read-only reported") << "/data/TREND.001" << true << "/data/TREND.001" << -1;
}

void ChooserTest::chooseFileAnswer() {
    QFETCH(QString, answer);
    QFETCH(bool, readOnly);
    QFETCH(QString, path);
    QFETCH(int, readOnlyChosen);
    ScriptedFileDialog dialogs;
    dialogs.Answers.push_back({answer, readOnly});
    std::int16_t chosenReadOnly = 7;
    QCOMPARE(ChooseFile(QString(), QStringLiteral("/data/x"), QString::fromLatin1(kTrendFileFilter), kOpenButtonFlags,
                        chosenReadOnly, dialogs),
             path);
    QCOMPARE(static_cast<int>(chosenReadOnly), readOnlyChosen);
}

void ChooserTest::chooseFileRequest() {
    ScriptedFileDialog dialogs;
    std::int16_t readOnly = 0;
    ChooseFile(QStringLiteral("Pick"), QStringLiteral("/data/TREND.HST"), QString::fromLatin1(kTrendFileFilter),
               0x1804, readOnly, dialogs);
    ChooseFile(QString(), QString(), QStringLiteral("A|*.a"), 0, readOnly, dialogs);
    QCOMPARE(dialogs.Requests.size(), std::size_t{2});
    const OpenFileRequest& r = dialogs.Requests[0];
    QCOMPARE(r.Title, QStringLiteral("Pick"));
    QCOMPARE(r.InitialPath, QStringLiteral("/data/TREND.HST"));
    QCOMPARE(r.NameFilters, kQtFilters);
    QCOMPARE(r.SelectedFilter, 0);
    QVERIFY(r.FileMustExist && r.PathMustExist && r.HideReadOnly);
    const OpenFileRequest& plain = dialogs.Requests[1];
    QVERIFY(!plain.FileMustExist && !plain.PathMustExist && !plain.HideReadOnly);
    QCOMPARE(plain.NameFilters, QStringList{"A (*.a)"});
}

void ChooserTest::openButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("from");    // box whose text the dialog proposes (index into Boxes)
    QTest::addColumn<int>("target");  // box that receives the answer
    QTest::newRow("btnOpenB") << "btnOpenB" << 0 << 0;
    QTest::newRow("btnOpenE") << "btnOpenE" << 1 << 1;
    QTest::newRow("btnOCFile starts at the existing file") << "btnOCFile" << 1 << 2;
}

void ChooserTest::openButtons() {
    QFETCH(QString, button);
    QFETCH(int, from);
    QFETCH(int, target);
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    const QStringList before{"/b/TREND.HST", "/e/TREND.HST", "/o/TREND.000", "09-17-2004", "8"};
    w.txtBackup->setText(before[0]);
    w.txtExisting->setText(before[1]);
    w.txtOCFile->setText(before[2]);
    w.txtBrakeDate->setText(before[3]);
    w.txtNOFiles->setText(before[4]);

    // A file of any extension, chosen under "All Files", is taken as it is.
    desktop.Files.Answers.push_back({QStringLiteral("  /chosen/readme.txt"), false});
    QTest::mouseClick(w.findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(desktop.Files.Requests.size(), std::size_t{1});
    const OpenFileRequest& r = desktop.Files.Requests[0];
    QCOMPARE(r.InitialPath, before[from]);
    QVERIFY(r.Title.isEmpty());
    QCOMPARE(r.NameFilters, kQtFilters);
    QCOMPARE(r.SelectedFilter, 0);
    QVERIFY(r.FileMustExist && r.PathMustExist);

    QStringList after = before;
    after[target] = QStringLiteral("/chosen/readme.txt");
    QCOMPARE(Boxes(w), after);
    QCOMPARE(w.ChosenFile, QStringLiteral("/chosen/readme.txt"));
    QVERIFY(desktop.Messages.Shown.empty());
}

void ChooserTest::cancelKeepsEveryBox_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("btnOpenB") << "btnOpenB";
    QTest::newRow("btnOpenE") << "btnOpenE";
    QTest::newRow("btnOCFile") << "btnOCFile";
}

void ChooserTest::cancelKeepsEveryBox() {
    QFETCH(QString, button);
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    w.txtBackup->setText(QStringLiteral("typed by hand"));
    w.txtExisting->setText(QStringLiteral("/e/TREND.HST"));
    w.txtOCFile->setText(QStringLiteral("/o/TREND.000"));
    w.ChosenFile = QStringLiteral("an earlier answer");
    const QStringList before = Boxes(w);
    QTest::mouseClick(w.findChild<QPushButton*>(button), Qt::LeftButton);  // no answer scripted: cancel
    QCOMPARE(desktop.Files.Requests.size(), std::size_t{1});
    QCOMPARE(Boxes(w), before);
    QCOMPARE(w.ChosenFile, QString());  // the answer of the last dialog
    QVERIFY(desktop.Messages.Shown.empty());
}

void ChooserTest::emptyBoxesOpenWithEmptyName() {
    FakeDesktop desktop;
    Joinwright w(desktop.Services());
    for (QPushButton* b : {w.btnOpenB, w.btnOpenE, w.btnOCFile}) QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(desktop.Files.Requests.size(), std::size_t{3});
    for (const OpenFileRequest& r : desktop.Files.Requests) {
        QVERIFY(r.InitialPath.isEmpty());
        QCOMPARE(r.SelectedFilter, 0);
        QCOMPARE(r.NameFilters.value(0), kQtFilters[0]);
    }
}

void ChooserTest::qtDialogSetUp() {
    QTemporaryDir folder;
    const QString proposed = folder.path() + QStringLiteral("/TREND.HST");
    QFile(proposed).open(QIODevice::WriteOnly);
    OpenFileRequest request;
    request.InitialPath = proposed;
    request.NameFilters = QtNameFilters(NormaliseFilter(QString::fromLatin1(kTrendFileFilter)));
    const auto dialog = MakeOpenFileDialog(request);

    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QVERIFY(dialog->testOption(QFileDialog::ReadOnly));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
    QVERIFY(!(dialog->filter() & QDir::CaseSensitive));
    QCOMPARE(dialog->nameFilters(), kQtFilters);
    QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());

    // The operator reads the descriptions as they are written.
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
    QCOMPARE(shown, (QStringList{"All Trend Files", "History Files (*.HST)", "Data Files (*.nnn)", "All Files"}));
    QCOMPARE(types->currentIndex(), 0);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name != nullptr);
    QCOMPARE(name->text(), QStringLiteral("TREND.HST"));

    // A folder as the initial path opens that folder.
    request.InitialPath = folder.path();
    request.SelectedFilter = 2;
    const auto inFolder = MakeOpenFileDialog(request);
    QCOMPARE(QDir(inFolder->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
    QCOMPARE(inFolder->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentIndex(), 2);
}

void ChooserTest::qtDialogMatchesAnyLetterCase_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("All Trend Files") << 0 << QStringList{"B.Hst", "D.2ab", "a.hst", "c.001", "g.199"};
    QTest::newRow("History Files") << 1 << QStringList{"B.Hst", "a.hst"};
    QTest::newRow("Data Files") << 2 << QStringList{"D.2ab", "c.001", "g.199"};
    QTest::newRow("All Files") << 3 << QStringList{"B.Hst", "D.2ab", "a.hst", "c.001", "e.300", "f.txt", "g.199", "noext"};
}

void ChooserTest::qtDialogMatchesAnyLetterCase() {
    QFETCH(int, filter);
    QFETCH(QStringList, listed);
    QTemporaryDir folder;
    for (const char* name : {"a.hst", "B.Hst", "c.001", "D.2ab", "e.300", "f.txt", "g.199", "noext"}) {
        QFile f(folder.path() + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    OpenFileRequest request;
    request.InitialPath = folder.path();
    request.NameFilters = QtNameFilters(NormaliseFilter(QString::fromLatin1(kTrendFileFilter)));
    request.SelectedFilter = filter;
    const auto dialog = MakeOpenFileDialog(request);
    dialog->show();
    auto* model = dialog->findChild<QFileSystemModel*>();
    QVERIFY(model != nullptr);
    const auto names = [&] {
        const QModelIndex root = model->index(dialog->directory().absolutePath());
        QStringList found;
        for (int i = 0; i < model->rowCount(root); ++i) found << model->index(i, 0, root).data().toString();
        found.sort();
        return found;
    };
    QTRY_COMPARE_WITH_TIMEOUT(names(), listed, 10000);
    dialog->hide();
}

void ChooserTest::desktopDialogAnswers_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("file chosen") << true;
    QTest::newRow("cancelled") << false;
}

void ChooserTest::desktopDialogAnswers() {
    QFETCH(bool, accept);
    QTemporaryDir folder;
    const QString file = folder.path() + QStringLiteral("/TREND.001");
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));

    // The "operator": waits for the modal dialog, then chooses the file or cancels.
    bool sawDialog = false;
    bool ownerless = false;
    QTimer operatorHand;
    operatorHand.setInterval(10);
    QStringList unexpected;
    connect(&operatorHand, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            unexpected << box->text();
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || sawDialog) return;
        sawDialog = true;
        ownerless = dialog->parentWidget() == nullptr;
        if (accept) {
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        }
    });
    operatorHand.start();

    QtFileDialogService desktop;
    std::int16_t readOnly = 5;
    const QString chosen = ChooseFile(QString(), folder.path() + QStringLiteral("/TREND.HST"),
                                      QString::fromLatin1(kTrendFileFilter), kOpenButtonFlags, readOnly, desktop);
    operatorHand.stop();
    QCOMPARE(unexpected, QStringList());
    QVERIFY(sawDialog);
    QVERIFY(ownerless);
    QCOMPARE(chosen, accept ? QDir::toNativeSeparators(file) : QString());
    QCOMPARE(readOnly, std::int16_t{0});
}

QTEST_MAIN(ChooserTest)
#include "ChooserTest.moc"
