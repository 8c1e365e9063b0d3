#pragma once
// export_interfaces.h: what a front end hands the export agent and gets back — the progress presenter, the
// cancel button's target, the report log — and the in-memory log every front end uses. Texts are UTF-16.
// The agent calls the presenter and the logger from the thread that runs it; only Cancel may come from
// another thread (or a signal handler: it must only set a flag).

#include <string>
#include <string_view>

#include "export/export_settings.h"

namespace mailferry {

class ICancelable {
public:
    virtual ~ICancelable() = default;
    virtual void Cancel() = 0;
};

class IProgressPresenter {
public:
    virtual ~IProgressPresenter() = default;
    virtual void updateProgressMessage(std::u16string_view message) = 0;
    // A percentage, or -1 for an indeterminate bar.
    virtual void updateCurrentProgressValue(float value) = 0;
    virtual void updateCurrentProgressLabel(std::u16string_view label) = 0;
    virtual void updateOverallProgressValue(float value) = 0;
    virtual void updateOverallFoldersLabel(std::u16string_view label) = 0;
    virtual void updateOverallItemsLabel(std::u16string_view label) = 0;
    // The PST file being read.
    virtual void setFilePath(const std::string& filePath) = 0;
    virtual const std::string& filePath() const = 0;
    virtual void setCancelable(ICancelable* cancelable) = 0;
    virtual ICancelable* cancelable() const = 0;
};

// Shows nothing and keeps only the file path and the cancel target: for runs without a window (a quiet command
// line, tests, fuzzing), and a base for presenters that show a few of the values.
class SilentProgressPresenter : public IProgressPresenter {
public:
    void updateProgressMessage(std::u16string_view) override {}
    void updateCurrentProgressValue(float) override {}
    void updateCurrentProgressLabel(std::u16string_view) override {}
    void updateOverallProgressValue(float) override {}
    void updateOverallFoldersLabel(std::u16string_view) override {}
    void updateOverallItemsLabel(std::u16string_view) override {}
    void setFilePath(const std::string& filePath) override { _filePath = filePath; }
    const std::string& filePath() const override { return _filePath; }
    void setCancelable(ICancelable* cancelable) override { _cancelable = cancelable; }
    ICancelable* cancelable() const override { return _cancelable; }

private:
    std::string _filePath;
    ICancelable* _cancelable = nullptr;
};

class ILogger {
public:
    virtual ~ILogger() = default;
    // Appends the text as it is (it is no format).
    virtual void WriteLog(std::u16string_view text) = 0;
};

// Passed by no front end; the agent ignores it.
class IExportItemHandler {
public:
    virtual ~IExportItemHandler() = default;
};

class IExportAgent {
public:
    virtual ~IExportAgent() = default;
    virtual ExportResult DoExportWithProgressPresenter(IProgressPresenter& progressPresenter,
                                                       IExportItemHandler* exportItemHandler, ILogger& logger) = 0;
};

// The report as one growing text.
class StringLogger final : public ILogger {
public:
    void WriteLog(std::u16string_view text) override { _logContent.append(text); }
    const std::u16string& getLogString() const { return _logContent; }

private:
    std::u16string _logContent;
};

}  // namespace mailferry
