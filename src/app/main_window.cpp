#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStyle>
#include <QThread>
#include <QToolBar>
#include <ctime>

#include "app/app_images.h"
#include "app/export_sheets.h"
#include "app/loading_sheet.h"
#include "app/model/export_report.h"
#include "app/option_panel.h"
#include "app/pst_tree_view.h"
#include "export/export_agent.h"
#include "export/targets.h"
#include "platform/desktop.h"
#include "platform/shipped_files.h"

namespace mailferry {

// One export, from Start until the report is closed: the settings and output folder the set-up made, the
// report log, the agent, and the result the run returned.
struct ExportJob {
    explicit ExportJob(PreparedExport prepared) : prepared(std::move(prepared)) {}

    PreparedExport prepared;
    StringLogger log;
    std::unique_ptr<RuzorizUvezazExportAgent> agent;
    ExportResult result{kExportFailed, 0, 0, 0};
    bool running = false;
};

namespace {

constexpr auto kAppName = "Mailferry";

QString Text(std::u16string_view text) {
    return QString::fromStdU16String(std::u16string(text));
}

std::string PathOf(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::optional<QString> AskForFolder(QWidget* parent, const QString& message, const QString& buttonTitle) {
    QFileDialog dialog(parent, message);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, buttonTitle);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

}  // namespace

MainWindow::MainWindow(platform::settings_store& settings, QWidget* parent)
    : QMainWindow(parent), _model(settings), _settings(settings) {
    setWindowTitle(QString::fromLatin1(kAppName));
    setWindowIcon(AppIcon("SessionHome"));
    _treeModel = new PSTTreeItemModel(_model, this);
    _treeView = new PSTTreeView(_model, *_treeModel, this);
    _optionPanel = new OptionPanel(
        _model.options(),
        [this](int containerClass, int value) {
            _model.changeOptionBox(containerClass, value);
            _treeModel->refreshTicks();
        },
        this);
    _loadingSheet = new LoadingSheet(this);
    _progressSheet = new ProgressSheet(this);
    _reportSheet = new ReportSheet(this);
    _presenter = std::make_unique<ProgressWindowController>(*_progressSheet);
    _progressSheet->setCancelHandler([this] {
        if (ICancelable* cancelable = _presenter->cancelable()) cancelable->Cancel();
    });
    _chooseOutputFolder = [this](const QString& message, const QString& buttonTitle) {
        return AskForFolder(this, message, buttonTitle);
    };
    setDocumentOpener([](const std::string& path) { platform::open_with_default_application(path); });
    _exportServices = [] { return StandardExportServices(); };

    BuildActions();
    BuildLayout();
    _model.options().addChangeHandler([this] { UpdateActions(); });
    connect(_treeModel, &QAbstractItemModel::modelReset, this, &MainWindow::UpdateActions);
    connect(_treeView, &PSTTreeView::filesDropped, this, &MainWindow::openPSTFilesInBackground);
    connect(_reportSheet, &QDialog::finished, this, &MainWindow::cleanUp);
    UpdateActions();
    resize(1040, 660);
}

MainWindow::~MainWindow() {
    // These use the model, which goes before the base class deletes the window's children.
    delete _optionPanel;
    delete _treeView;
    delete _treeModel;
}

void MainWindow::setDocumentOpener(DocumentOpener opener) {
    _openDocument = std::move(opener);
    _reportSheet->setOpener(_openDocument);
}

void MainWindow::BuildActions() {
    _addAction = new QAction(style()->standardIcon(QStyle::SP_DialogOpenButton), tr("Add PST"), this);
    _addAction->setShortcut(QKeySequence::Open);
    _addAction->setToolTip(tr("Add PST files (Ctrl+O); you can also drop them on the list"));
    connect(_addAction, &QAction::triggered, this, &MainWindow::addPSTFile);
    _closeAllAction = new QAction(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("Close All"), this);
    _closeAllAction->setToolTip(tr("Close every open PST file"));
    connect(_closeAllAction, &QAction::triggered, this, &MainWindow::closeAllPSTFiles);
    _startAction = new QAction(style()->standardIcon(QStyle::SP_MediaPlay), tr("Start"), this);
    _startAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    _startAction->setToolTip(tr("Convert the ticked folders (Ctrl+Return)"));
    _startAction->setObjectName(QStringLiteral("startAction"));
    connect(_startAction, &QAction::triggered, this, &MainWindow::clickStartExport);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(_addAction);
    file->addAction(_closeAllAction);
    file->addSeparator();
    file->addAction(_startAction);
    file->addSeparator();
    QAction* quit = file->addAction(tr("Quit %1").arg(QString::fromLatin1(kAppName)));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("About %1").arg(QString::fromLatin1(kAppName)));
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, tr("About %1").arg(QString::fromLatin1(kAppName)),
                           tr("<b>Mailferry</b><p>Converts Outlook PST files into mailboxes, vCards and calendars "
                              "for Apple Mail, Thunderbird, Outlook for Mac and plain files. It only reads your PST "
                              "files and never changes them.</p>"));
    });

    QToolBar* toolbar = addToolBar(tr("Main"));
    toolbar->setObjectName(QStringLiteral("mainToolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->addAction(_addAction);
    toolbar->addAction(_closeAllAction);
    toolbar->addSeparator();
    toolbar->addAction(_startAction);
}

void MainWindow::BuildLayout() {
    auto* splitter = new QSplitter(this);
    splitter->addWidget(_treeView);
    splitter->addWidget(_optionPanel);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setChildrenCollapsible(false);
    // Wide enough for the longest target's name.
    splitter->setSizes({600, 440});
    setCentralWidget(splitter);
    _treeView->setFocus();
}

void MainWindow::UpdateActions() {
    _closeAllAction->setEnabled(_model.hasOpenedFiles());
    _startAction->setEnabled(_model.options().startButtonEnabled());
}

bool MainWindow::Busy() const {
    return _loading || _job;
}

void MainWindow::addPSTFile() {
    if (Busy()) return;
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, tr("Add PST Files"), QString(), tr("Outlook data files (*.pst)"));
    openPSTFilesInBackground(paths);
}

void MainWindow::closeAllPSTFiles() {
    if (!Busy()) _model.closeAllPSTFiles();
}

void MainWindow::openPSTFilesInBackground(const QStringList& paths) {
    if (Busy() || !_model.allowPSTDrop() || paths.isEmpty()) return;
    _loading = true;
    _model.setAllowPSTDrop(false);
    std::vector<std::string> files;
    for (const QString& path : paths) files.push_back(PathOf(path));
    _loadingSheet->setMessage(tr("Loading…"));
    _loadingSheet->open();

    // Filled on the main thread, from events the loading thread posts in order.
    struct Outcome {
        std::vector<std::string> failures;
        std::vector<TreeNode*> loaded;
    };
    auto outcome = std::make_shared<Outcome>();
    PSTLoadEvents events{
        .loading =
            [this](const std::string& path) {
                QMetaObject::invokeMethod(
                    this, [this, text = Text(LoadingMessage(path))] { _loadingSheet->setMessage(text); },
                    Qt::QueuedConnection);
            },
        .loaded =
            [this, outcome](LoadedPSTFile file) {
                auto handed = std::make_shared<LoadedPSTFile>(std::move(file));
                QMetaObject::invokeMethod(
                    this,
                    [this, outcome, handed] { outcome->loaded.push_back(&_model.addLoadedFile(std::move(*handed))); },
                    Qt::QueuedConnection);
            },
        .failed =
            [this, outcome](const std::string& path) {
                QMetaObject::invokeMethod(
                    this, [outcome, path] { outcome->failures.push_back(path); }, Qt::QueuedConnection);
            },
    };
    QThread* thread = QThread::create([files, openPaths = _model.openPaths(), &settings = _settings, events] {
        LoadPSTFiles(files, openPaths, settings, events);
    });
    connect(thread, &QThread::finished, this, [this, thread, outcome] {
        thread->deleteLater();
        LoadingDidEnd(outcome->failures, outcome->loaded);
    });
    thread->start();
}

void MainWindow::LoadingDidEnd(const std::vector<std::string>& failures, const std::vector<TreeNode*>& loaded) {
    _loadingSheet->done(QDialog::Accepted);
    for (TreeNode* node : loaded)
        if (const QModelIndex index = _treeModel->indexOf(*node); index.isValid()) _treeView->expandRecursively(index);
    _loading = false;
    _model.setAllowPSTDrop(true);
    UpdateActions();
    emit loadingFinished();
    if (_quitWhenIdle) {
        close();
        return;
    }
    ShowLoadFailures(failures);
}

void MainWindow::ShowLoadFailures(std::vector<std::string> failures) {
    if (failures.empty()) return;
    auto* alert = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(kAppName),
                                  Text(LoadFailureMessage(failures.front())), QMessageBox::Ok, this);
    alert->setObjectName(QStringLiteral("loadFailureAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    failures.erase(failures.begin());
    connect(alert, &QMessageBox::finished, this, [this, rest = std::move(failures)] { ShowLoadFailures(rest); });
    alert->open();
}

void MainWindow::clickStartExport() {
    if (Busy() || !_model.options().startButtonEnabled()) return;
    const OptionMenuItem* option = _model.options().chosenOption();
    if (!option) return;
    const auto choose = [this](std::u16string_view message, std::u16string_view button) -> std::optional<std::string> {
        const std::optional<QString> folder = _chooseOutputFolder(Text(message), Text(button));
        if (!folder) return std::nullopt;
        return PathOf(*folder);
    };
    std::optional<PreparedExport> prepared = StartExport(
        _model.selectedExportItems(), *option, _model.options().switches(), _model.options().selectedKinds(), choose,
        platform::shipped_file_path("archive-package"), std::time(nullptr));
    if (!prepared) {
        cleanUp();
        return;
    }
    startExportProcess(std::make_unique<ExportJob>(std::move(*prepared)));
}

void MainWindow::startExportProcess(std::unique_ptr<ExportJob> job) {
    _model.setAllowPSTDrop(false);
    _job = std::move(job);
    _job->agent =
        std::make_unique<RuzorizUvezazExportAgent>(_job->prepared.settings, *_job->prepared.files, _exportServices());
    _job->running = true;
    _lastResult = ExportResult{kExportFailed, 0, 0, 0};
    _presenter->setCancelable(_job->agent.get());
    _progressSheet->clear();
    _progressSheet->open();

    ExportJob* running = _job.get();
    ProgressWindowController* presenter = _presenter.get();
    QThread* thread = QThread::create([running, presenter] {
        // The log file is there, empty, from the start, even for a run that ends before writing to it.
        std::error_code ignored;
        (void)running->prepared.files->open_append(running->prepared.settings.ExtendedLogReportPath, ignored);
        running->result = running->agent->DoExportWithProgressPresenter(*presenter, nullptr, running->log);
    });
    connect(thread, &QThread::finished, this, [this, thread] {
        thread->deleteLater();
        progressWindowDidEnd();
    });
    thread->start();
}

void MainWindow::progressWindowDidEnd() {
    _job->running = false;
    _lastResult = _job->result;
    _presenter->setCancelable(nullptr);
    _progressSheet->setCurrentProgressValue(0);
    _progressSheet->setOverallProgressValue(0);
    _progressSheet->done(_lastResult.ResultCode);
    if (_quitWhenIdle) {
        cleanUp();
        return;
    }
    const _ExportSettings& settings = _job->prepared.settings;
    const auto [footerMessage1, footerMessage2] = ReportFooters(settings);
    _reportSheet->setReport(_lastResult.ResultCode, _job->log.getLogString(), footerMessage1, footerMessage2,
                            settings.OutputFolderPath, settings.ExtendedLogReportPath);
    if (const std::string_view guide = ImportGuideForPacking(settings.ExportPacking); !guide.empty())
        _openDocument(platform::shipped_file_path("guides/" + std::string(guide)).string());
    _reportSheet->open();
    emit reportShown();
}

void MainWindow::cleanUp() {
    // The agent, the log and the settings' paths and items go; the output stays on disk.
    _job.reset();
    _presenter->setCancelable(nullptr);
    _lastResult = ExportResult{kExportFailed, 0, 0, 0};
    _model.setAllowPSTDrop(true);
    UpdateActions();
    emit exportCleanedUp();
    if (_quitWhenIdle) close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (_job && !_job->running) _reportSheet->accept();  // the report is read; closing it cleans up
    if (Busy()) {
        // A load or a run cannot be left behind on its thread: the window closes once it has ended.
        _quitWhenIdle = true;
        if (ICancelable* cancelable = _presenter->cancelable()) cancelable->Cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace mailferry
