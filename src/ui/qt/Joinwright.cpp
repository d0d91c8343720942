#include "ui/qt/Joinwright.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
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
#include <type_traits>

namespace jw::ui {

namespace {

// The table's control behind a widget, for F1.
constexpr const char* kControlProperty = "control";

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

QString Caption(ControlId id) { return QString::fromUtf8(RowOf(id).Caption); }

// A caption that the font makes too wide for its place gets the font
// narrowed, in steps of 5 %, until it fits (wrapped at word boundaries).
void FitCaption(QLabel* label) {
    QFont font = label->font();
    const auto fits = [label](const QFont& f) {
        const QRect need = QFontMetrics(f).boundingRect(QRect(0, 0, label->width(), 1000),
                                                        Qt::TextWordWrap | Qt::AlignLeft, label->text());
        return need.width() <= label->width() && need.height() <= label->height();
    };
    while (!fits(font) && font.stretch() > 50) font.setStretch(font.stretch() - 5);
    label->setFont(font);
}

}  // namespace

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

// Gives a new control its name, place and size from the table.
template <class Widget>
Widget* Joinwright::Make(ControlId id, QWidget* container) {
    const ControlRow& entry = RowOf(id);
    auto* widget = new Widget(container);
    widget->setObjectName(QString::fromLatin1(entry.Name));
    widget->setProperty(kControlProperty, static_cast<int>(id));
    int top = entry.Top;
    // A group box draws its frame line through the middle of its title, which
    // stands taller in this font than in the classic one: a note placed near
    // the top of a frame starts below that line.
    if (container->inherits("QGroupBox") && entry.Kind == ControlKind::Label) top = std::max(top, 20);
    widget->setGeometry(entry.Left, top, DrawnWidth(id), DrawnHeight(id) - (top - entry.Top));
    if constexpr (std::is_base_of_v<QLabel, Widget>) {
        widget->setText(Caption(id));
        widget->setTextFormat(Qt::PlainText);
        widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget->setWordWrap(true);
        if (entry.Kind == ControlKind::Label) FitCaption(widget);
    } else if constexpr (std::is_base_of_v<QGroupBox, Widget>) {
        widget->setTitle(Caption(id));
    } else if constexpr (std::is_base_of_v<QPushButton, Widget>) {
        widget->setText(Caption(id));
        widget->setAutoDefault(false);  // Enter and Escape trigger nothing
        widget->setDefault(false);
        widget->setFocusPolicy(Qt::StrongFocus);
    }
    return widget;
}

ClickLabel* Joinwright::MakeLink(ControlId id, QWidget* container) {
    auto* link = Make<ClickLabel>(id, container);
    link->setWordWrap(false);
    link->setFont(SansSerif(13.5));
    link->setForegroundRole(QPalette::Highlight);
    link->setCursor(Qt::PointingHandCursor);
    connect(link, &ClickLabel::clicked, this, [this, id] { model_.HelpLink_Click(id); });
    return link;
}

Joinwright::Joinwright(const DesktopServices& services, QWidget* parent)
    : QMainWindow(parent), model_(*this, services) {
    setObjectName(QStringLiteral("Joinwright"));
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setWindowIcon(WindowIcon());

    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setFont(WindowFont());
    setCentralWidget(client);

    fraFiles = Make<QGroupBox>(ControlId::Files, client);
    Make<QLabel>(ControlId::lblBackup, fraFiles);
    txtBackup = Make<QLineEdit>(ControlId::txtBackup, fraFiles);
    btnOpenB = Make<QPushButton>(ControlId::btnOpenB, fraFiles);
    MakeLink(ControlId::lblBackupFile, fraFiles);
    Make<QLabel>(ControlId::lblNew, fraFiles);
    txtExisting = Make<QLineEdit>(ControlId::txtExisting, fraFiles);
    btnOpenE = Make<QPushButton>(ControlId::btnOpenE, fraFiles);
    MakeLink(ControlId::lblExisting, fraFiles);
    Make<QLabel>(ControlId::lblOCFile, fraFiles);
    txtOCFile = Make<QLineEdit>(ControlId::txtOCFile, fraFiles);
    btnOCFile = Make<QPushButton>(ControlId::btnOCFile, fraFiles);
    MakeLink(ControlId::lblEmpty, fraFiles);
    Make<QLabel>(ControlId::lblNFiles, fraFiles);
    txtNOFiles = Make<QLineEdit>(ControlId::txtNOFiles, fraFiles);
    Make<QLabel>(ControlId::lblHNFiles, fraFiles);
    MakeLink(ControlId::lblNumber, fraFiles);
    Frame2 = Make<QGroupBox>(ControlId::Frame2, client);
    Make<QLabel>(ControlId::lblNewFolder, Frame2);
    MakeLink(ControlId::lblFolder, Frame2);
    Frame3 = Make<QGroupBox>(ControlId::Frame3, client);
    Make<QLabel>(ControlId::lblBrakeDate, Frame3);
    txtBrakeDate = Make<QLineEdit>(ControlId::txtBrakeDate, Frame3);
    Make<QLabel>(ControlId::lblDate, Frame3);
    MakeLink(ControlId::lblBrake, Frame3);
    btnMerge = Make<QPushButton>(ControlId::btnMerge, client);

    // The focus moves through the text boxes and buttons by tab index.
    const auto focusable = [this](ControlId id) -> QWidget* {
        switch (id) {
        case ControlId::btnOpenB: return btnOpenB;
        case ControlId::btnOpenE: return btnOpenE;
        case ControlId::btnOCFile: return btnOCFile;
        case ControlId::btnMerge: return btnMerge;
        default: return Box(id);
        }
    };
    const auto order = FocusOrder();
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(focusable(order[i - 1]), focusable(order[i]));

    connect(btnMerge, &QPushButton::clicked, this, &Joinwright::btnMerge_Click);
    connect(btnOpenB, &QPushButton::clicked, this, &Joinwright::btnOpenB_Click);
    connect(btnOpenE, &QPushButton::clicked, this, &Joinwright::btnOpenE_Click);
    connect(btnOCFile, &QPushButton::clicked, this, &Joinwright::btnOCFile_Click);

    MakeMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);  // the client area and the menu bar above it

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &Joinwright::F1_Help);
}

Joinwright::~Joinwright() = default;

void Joinwright::MakeMenus() {
    QMenu* mnuFile = menuBar()->addMenu(QString::fromLatin1(RowOf(MenuId::mnuFile).Caption));
    QAction* mnuExit = mnuFile->addAction(QString::fromLatin1(RowOf(MenuId::mnuExit).Caption));
    QAction* mnuAbout = menuBar()->addAction(QString::fromLatin1(RowOf(MenuId::mnuAbout).Caption));
    QAction* mnuHelp = menuBar()->addAction(QString::fromLatin1(RowOf(MenuId::mnuHelp).Caption));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    // The items stay where they are on every desktop (no move into an application menu).
    for (QAction* item : {mnuExit, mnuAbout, mnuHelp}) item->setMenuRole(QAction::NoRole);
    connect(mnuExit, &QAction::triggered, this, &Joinwright::mnuExit_Click);
    connect(mnuAbout, &QAction::triggered, this, [this] { model_.Menu_Click(MenuId::mnuAbout); });
    connect(mnuHelp, &QAction::triggered, this, [this] { model_.Menu_Click(MenuId::mnuHelp); });
}

QLineEdit* Joinwright::Box(ControlId box) const {
    switch (box) {
    case ControlId::txtBackup: return txtBackup;
    case ControlId::txtExisting: return txtExisting;
    case ControlId::txtOCFile: return txtOCFile;
    case ControlId::txtNOFiles: return txtNOFiles;
    case ControlId::txtBrakeDate: return txtBrakeDate;
    default: return nullptr;
    }
}

std::string Joinwright::Text(ControlId box) const { return Box(box)->text().toStdString(); }

void Joinwright::SetText(ControlId box, const std::string& text) { Box(box)->setText(QString::fromStdString(text)); }

void Joinwright::btnMerge_Click() { model_.btnMerge_Click(); }
void Joinwright::btnOpenB_Click() { model_.btnOpenB_Click(); }
void Joinwright::btnOpenE_Click() { model_.btnOpenE_Click(); }
void Joinwright::btnOCFile_Click() { model_.btnOCFile_Click(); }

void Joinwright::F1_Help() {
    const QWidget* focus = QApplication::focusWidget();
    const QVariant control = focus != nullptr && isAncestorOf(focus) ? focus->property(kControlProperty) : QVariant();
    model_.F1_Help(control.isValid() ? std::optional(static_cast<ControlId>(control.toInt())) : std::nullopt);
}

void Joinwright::mnuExit_Click() {
    // Ends the program at once, whatever the boxes hold.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

}  // namespace jw::ui
