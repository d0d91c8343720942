// Stand-ins for the desktop: they record what the window asks for and answer
// as the test scripts them, so no dialog ever waits for a person.
#pragma once

#include "ui/Services.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTime>

#include <deque>
#include <utility>
#include <vector>

namespace jw::ui::test {

struct ShownMessage {
    QString Text;
    MessageIcon Icon = MessageIcon::None;
    QWidget* Owner = nullptr;
};

class RecordingMessages : public MessageBoxService {
public:
    void Show(QWidget* owner, const QString& text, MessageIcon icon) override {
        Shown.push_back({text, icon, owner});
        if (OnShow) OnShow(Shown.back());
    }
    std::vector<ShownMessage> Shown;
    std::function<void(const ShownMessage&)> OnShow;  // runs while the box would be open
};

class ScriptedFileDialog : public FileDialogService {
public:
    OpenFileAnswer OpenFile(const OpenFileRequest& request) override {
        Requests.push_back(request);
        if (Answers.empty()) return {};
        OpenFileAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::deque<OpenFileAnswer> Answers;  // empty: the operator cancels
    std::vector<OpenFileRequest> Requests;
};

struct HelpRequest {
    QWidget* Window = nullptr;
    QString File;
    int Context = 0;
};

class RecordingHelp : public HelpService {
public:
    void ShowHelp(QWidget* window, const QString& helpFile, int context) override {
        Requests.push_back({window, helpFile, context});
    }
    std::vector<HelpRequest> Requests;
};

class FixedClock : public ClockService {
public:
    QTime TimeOfDay() const override { return Time; }
    QString ShortDateFormat() const override { return DateFormat; }
    QTime Time{14, 35, 22};
    QString DateFormat = QStringLiteral("yyyy-MM-dd");
};

class FixedFolder : public ProgramFolderService {
public:
    QString ProgramFolder() const override { return Folder; }
    QString Folder;
};

// All five, with the program folder in a fresh temporary folder.
struct FakeDesktop {
    RecordingMessages Messages;
    ScriptedFileDialog Files;
    RecordingHelp Help;
    FixedClock Clock;
    FixedFolder Folder;
    QTemporaryDir Root;

    FakeDesktop() { Folder.Folder = Root.path(); }
    WindowServices Services() { return {&Messages, &Files, &Help, &Clock, &Folder}; }
};

}  // namespace jw::ui::test
