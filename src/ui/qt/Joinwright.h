// The Joinwright window made with Qt: the controls of the window model's
// table, created here and kept private, every click forwarded to the model.
// The window holds no logic of its own.
#pragma once

#include "ui/model/WindowModel.h"

#include <QLabel>
#include <QMainWindow>

class QGroupBox;
class QLineEdit;
class QPushButton;

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

// Every control carries its name from the table as its object name, so a
// test can find it; the window itself never looks a control up.
class Joinwright : public QMainWindow, private TextBoxes {
    Q_OBJECT
public:
    explicit Joinwright(const DesktopServices& services, QWidget* parent = nullptr);
    ~Joinwright() override;

private slots:
    void btnMerge_Click();
    void btnOpenB_Click();
    void btnOpenE_Click();
    void btnOCFile_Click();
    void F1_Help();
    void mnuExit_Click();

private:
    std::string Text(ControlId box) const override;
    void SetText(ControlId box, const std::string& text) override;
    QLineEdit* Box(ControlId box) const;

    template <class Widget>
    Widget* Make(ControlId id, QWidget* container);
    ClickLabel* MakeLink(ControlId id, QWidget* container);
    void MakeMenus();

    QGroupBox* fraFiles;
    QGroupBox* Frame2;
    QGroupBox* Frame3;
    QLineEdit* txtBackup;
    QLineEdit* txtExisting;
    QLineEdit* txtOCFile;
    QLineEdit* txtNOFiles;
    QLineEdit* txtBrakeDate;
    QPushButton* btnOpenB;
    QPushButton* btnOpenE;
    QPushButton* btnOCFile;
    QPushButton* btnMerge;

    WindowModel model_;
};

}  // namespace jw::ui
