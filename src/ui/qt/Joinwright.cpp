#include "ui/qt/Joinwright.h"

#include <QAction>
#include <QApplication>
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

// The model's rule, measured with this desktop's fonts (in Qt's device
// independent pixels, so at every scale factor alike).
jw::ui::CaptionFont ChooseFont() {
    return ChooseCaptionFont(1.0, [](jw::ui::CaptionFont font, const char* text, int wrapWidth) {
        const QRect need = QFontMetrics(Joinwright::CaptionFont(font))
                               .boundingRect(QRect(0, 0, wrapWidth > 0 ? wrapWidth : 100000, 100000),
                                             Qt::AlignLeft | Qt::AlignTop | (wrapWidth > 0 ? Qt::TextWordWrap : 0),
                                             QString::fromUtf8(text));
        return TextExtent{need.width(), need.height()};
    });
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

QFont Joinwright::CaptionFont(jw::ui::CaptionFont font) {
    QFont f = SansSerif(font.TenthsOfPoint / 10.0);
    f.setStretch(font.WidthPercent);
    return f;
}

// Makes a control from its row: kind, name, place and size, caption.
QWidget* Joinwright::Make(const ControlRow& row) {
    QWidget* container = row.Container ? controls_[static_cast<std::size_t>(*row.Container)] : centralWidget();
    QWidget* widget = nullptr;
    switch (row.Kind) {
    case ControlKind::Frame: widget = new QGroupBox(Caption(row.Id), container); break;
    case ControlKind::TextBox: widget = new QLineEdit(container); break;
    case ControlKind::Button: {
        auto* button = new QPushButton(Caption(row.Id), container);
        button->setAutoDefault(false);  // Enter and Escape trigger nothing
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        connect(button, &QPushButton::clicked, this, [this, id = row.Id] { model_.Click(id); });
        widget = button;
        break;
    }
    case ControlKind::Label:
    case ControlKind::HelpLabel: {
        const bool link = row.Kind == ControlKind::HelpLabel;
        QLabel* label = link ? new ClickLabel(container) : new QLabel(container);
        label->setText(Caption(row.Id));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(!link);
        if (link) {
            label->setFont(SansSerif(13.5));
            label->setForegroundRole(QPalette::Highlight);
            label->setCursor(Qt::PointingHandCursor);
            connect(static_cast<ClickLabel*>(label), &ClickLabel::clicked, this, [this, id = row.Id] { model_.Click(id); });
        }
        widget = label;
        break;
    }
    }
    widget->setObjectName(QString::fromLatin1(row.Name));
    widget->setProperty(kControlProperty, static_cast<int>(row.Id));
    widget->setGeometry(row.Left, row.Top, DrawnWidth(row.Id), DrawnHeight(row.Id));
    return widget;
}

Joinwright::Joinwright(const DesktopServices& services, QWidget* parent)
    : QMainWindow(parent), model_(*this, services) {
    setObjectName(QStringLiteral("Joinwright"));
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setWindowIcon(WindowIcon());

    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setFont(CaptionFont(ChooseFont()));
    setCentralWidget(client);
    // A container's row comes before the rows of what it holds.
    for (const ControlRow& row : Controls()) controls_[static_cast<std::size_t>(row.Id)] = Make(row);

    // The focus moves through the text boxes and buttons by tab index.
    const auto order = FocusOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(controls_[static_cast<std::size_t>(order[i - 1])],
                             controls_[static_cast<std::size_t>(order[i])]);

    MakeMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);  // the client area and the menu bar above it

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &Joinwright::F1_Help);
}

Joinwright::~Joinwright() = default;

void Joinwright::MakeMenus() {
    QMenu* dropDown = nullptr;
    for (const MenuRow& row : Menus()) {
        const QString caption = QString::fromLatin1(row.Caption);
        if (row.DropDown) {
            dropDown = menuBar()->addMenu(caption);
            dropDown->setObjectName(QString::fromLatin1(row.Name));
            continue;
        }
        QAction* item = row.Parent && dropDown ? dropDown->addAction(caption) : menuBar()->addAction(caption);
        item->setObjectName(QString::fromLatin1(row.Name));
        item->setMenuRole(QAction::NoRole);  // stays where it is on every desktop (no application menu)
        connect(item, &QAction::triggered, this, [this, id = row.Id] {
            if (!model_.Click(id)) return;
            // Exit: at once, whatever the boxes hold.
            QApplication::closeAllWindows();
            QCoreApplication::exit(0);
        });
    }
}

QLineEdit* Joinwright::Box(ControlId box) const {
    return qobject_cast<QLineEdit*>(controls_[static_cast<std::size_t>(box)]);
}

std::string Joinwright::Text(ControlId box) const { return Box(box)->text().toStdString(); }

void Joinwright::SetText(ControlId box, const std::string& text) { Box(box)->setText(QString::fromStdString(text)); }

void Joinwright::F1_Help() {
    const QWidget* focus = QApplication::focusWidget();
    const QVariant control = focus != nullptr && isAncestorOf(focus) ? focus->property(kControlProperty) : QVariant();
    model_.F1_Help(control.isValid() ? std::optional(static_cast<ControlId>(control.toInt())) : std::nullopt);
}

}  // namespace jw::ui
