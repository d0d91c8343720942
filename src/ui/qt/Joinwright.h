// The Joinwright window made with Qt: the controls of the window model's
// table, created here and kept private, every click handed to the model.
// The window holds no logic of its own.
#pragma once

#include "ui/model/WindowModel.h"

#include <QLabel>
#include <QMainWindow>

#include <array>

class QLineEdit;

namespace jw::ui {

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

// Every control of the table is made from its row, carries its name as its
// object name (so a test can find it) and its id as a property; every click
// goes to the model's one Click.
class Joinwright : public QMainWindow, private TextBoxes {
    Q_OBJECT
public:
    explicit Joinwright(const DesktopServices& services, QWidget* parent = nullptr);
    ~Joinwright() override;

    // The window's caption font, chosen by the model's rule for this desktop.
    static QFont CaptionFont(jw::ui::CaptionFont font);

private slots:
    void F1_Help();

private:
    std::string Text(ControlId box) const override;
    void SetText(ControlId box, const std::string& text) override;
    QLineEdit* Box(ControlId box) const;

    QWidget* Make(const ControlRow& row);
    void MakeMenus();

    std::array<QWidget*, kControlCount> controls_{};
    WindowModel model_;
};

}  // namespace jw::ui
