#pragma once
// export_sheets.h: what the main window shows around an export run. The progress sheet covers the window while
// the run works on its thread; ProgressWindowController is the presenter the run reports to, from its own
// thread, and hands every value to the sheet on the main thread without waiting. The report sheet shows the
// outcome: heading and image by result code, the report text, the footers, and buttons that open the output and
// the log file. The sheets live on the main thread.

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <functional>
#include <string>

#include "export/export_interfaces.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace mailferry {

class ProgressSheet final : public QDialog {
    Q_OBJECT
public:
    explicit ProgressSheet(QWidget* parent);

    // Called when the user presses Cancel (or Escape): the run stops after the item in progress.
    void setCancelHandler(std::function<void()> handler) { _cancel = std::move(handler); }
    void clear();

    void setProgressMessage(const QString& text);
    void setFilePath(const QString& text);
    // A percentage, or a negative value for an indeterminate bar.
    void setCurrentProgressValue(float value);
    void setCurrentProgressLabel(const QString& text);
    void setOverallProgressValue(float value);
    void setOverallFoldersLabel(const QString& text);
    void setOverallItemsLabel(const QString& text);

protected:
    void reject() override;

private:
    QLabel* _message;
    QLabel* _filePath;
    QProgressBar* _current;
    QLabel* _currentLabel;
    QProgressBar* _overall;
    QLabel* _foldersLabel;
    QLabel* _itemsLabel;
    QPushButton* _cancelButton;
    std::function<void()> _cancel;
};

// The presenter handed to the export agent. Its update calls come from the run's thread and return at once.
class ProgressWindowController final : public IProgressPresenter {
public:
    explicit ProgressWindowController(ProgressSheet& sheet) : _sheet(&sheet) {}

    void updateProgressMessage(std::u16string_view message) override;
    void updateCurrentProgressValue(float value) override;
    void updateCurrentProgressLabel(std::u16string_view label) override;
    void updateOverallProgressValue(float value) override;
    void updateOverallFoldersLabel(std::u16string_view label) override;
    void updateOverallItemsLabel(std::u16string_view label) override;
    // Read and written by the run's thread only; the sheet gets a copy.
    void setFilePath(const std::string& filePath) override;
    const std::string& filePath() const override { return _filePath; }
    // Set and cleared on the main thread while no run works.
    void setCancelable(ICancelable* cancelable) override { _cancelable = cancelable; }
    ICancelable* cancelable() const override { return _cancelable; }

private:
    // Runs `show` on the main thread later, unless the sheet is gone by then.
    void Forward(std::function<void(ProgressSheet&)> show);

    QPointer<ProgressSheet> _sheet;
    std::string _filePath;
    ICancelable* _cancelable = nullptr;  // the running agent; not owned
};

class ReportSheet final : public QDialog {
    Q_OBJECT
public:
    explicit ReportSheet(QWidget* parent);

    // Fills the sheet for a finished run.
    void setReport(std::int32_t resultCode, const std::u16string& reportContent, const std::u16string& footerMessage1,
                   const std::u16string& footerMessage2, const std::string& outputPath, const std::string& reportPath);
    // Opens a path with the desktop's default application (the folder in the file manager, the log in a viewer).
    void setOpener(std::function<void(const std::string&)> opener) { _open = std::move(opener); }

    QString heading() const;
    QString reportContent() const;

protected:
    void done(int result) override;

private:
    QLabel* _image;
    QLabel* _heading;
    QPlainTextEdit* _reportContent;
    QLabel* _footerMessage1;
    QLabel* _footerMessage2;
    std::string _outputPath;
    std::string _reportPath;
    std::function<void(const std::string&)> _open;
};

}  // namespace mailferry
