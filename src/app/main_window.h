#pragma once
// main_window.h: the main window — toolbar, menus, the tree of open PST files and the option panel — and the two
// background jobs it runs: loading files on the loading thread behind the loading sheet, and an export run on
// the export thread behind the progress sheet, ending in the report sheet. Neither job blocks the main thread; the
// sheets keep the user from touching the files meanwhile. What the window asks of the desktop (the output folder,
// opening a document, the run's services) can be replaced, which the tests do.

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/model/main_window_model.h"
#include "export/export_run.h"
#include "export/export_settings.h"

class QAction;
class QMessageBox;

namespace mailferry {

class LoadingSheet;
class OptionPanel;
class ProgressSheet;
class ProgressWindowController;
class PSTTreeItemModel;
class PSTTreeView;
class ReportSheet;
struct ExportJob;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    using OutputFolderChooser =
        std::function<std::optional<QString>(const QString& message, const QString& buttonTitle)>;
    using DocumentOpener = std::function<void(const std::string& path)>;

    explicit MainWindow(platform::settings_store& settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindowModel& model() { return _model; }
    PSTTreeView& treeView() { return *_treeView; }
    PSTTreeItemModel& treeModel() { return *_treeModel; }
    ProgressSheet& progressSheet() { return *_progressSheet; }
    ReportSheet& reportSheet() { return *_reportSheet; }
    // The last run's result; code 2 and no counts before a run and after the report is closed.
    const ExportResult& lastResult() const { return _lastResult; }

    void setOutputFolderChooser(OutputFolderChooser chooser) { _chooseOutputFolder = std::move(chooser); }
    void setDocumentOpener(DocumentOpener opener);
    void setExportServices(std::function<ExportServices()> services) { _exportServices = std::move(services); }

public slots:
    // Loads the files on the loading thread (already open ones are skipped); ignored while a job runs.
    void openPSTFilesInBackground(const QStringList& paths);
    void addPSTFile();
    void closeAllPSTFiles();
    void clickStartExport();

signals:
    // The loading sheet has closed (failure alerts may follow).
    void loadingFinished();
    // The report sheet is shown.
    void reportShown();
    // The report sheet was closed and the run's leftovers are gone.
    void exportCleanedUp();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildLayout();
    void UpdateActions();
    void LoadingDidEnd(const std::vector<std::string>& failures, const std::vector<TreeNode*>& loaded);
    void ShowLoadFailures(std::vector<std::string> failures);
    void startExportProcess(std::unique_ptr<ExportJob> job);
    void progressWindowDidEnd();
    void cleanUp();
    bool Busy() const;

    MainWindowModel _model;
    PSTTreeItemModel* _treeModel = nullptr;
    PSTTreeView* _treeView = nullptr;
    OptionPanel* _optionPanel = nullptr;
    LoadingSheet* _loadingSheet = nullptr;
    ProgressSheet* _progressSheet = nullptr;
    ReportSheet* _reportSheet = nullptr;
    std::unique_ptr<ProgressWindowController> _presenter;
    QAction* _addAction = nullptr;
    QAction* _closeAllAction = nullptr;
    QAction* _startAction = nullptr;

    platform::settings_store& _settings;
    OutputFolderChooser _chooseOutputFolder;
    DocumentOpener _openDocument;
    std::function<ExportServices()> _exportServices;

    bool _loading = false;
    std::unique_ptr<ExportJob> _job;  // from Start until the report is closed
    ExportResult _lastResult{kExportFailed, 0, 0, 0};
    bool _quitWhenIdle = false;
};

}  // namespace mailferry
