// The desktop front end on the offscreen platform: dropping corpus files and a damaged one, ticking with the mouse,
// the keyboard and Alt, the encoding menu of an ANSI file, the targets and switches, an export into a temporary
// folder for every target, and a cancelled run. Screenshots of what a user sees go to the build folder.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <atomic>
#include <filesystem>

#include "app/export_sheets.h"
#include "app/main_window.h"
#include "app/model/tree_selection.h"
#include "app/pst_tree_view.h"
#include "export/mail_item_writer.h"
#include "platform/settings_store.h"
#include "platform/shipped_files.h"
#include "pstwrite/store_builder.h"
#include "support/corpus.h"

namespace mailferry {

namespace {

constexpr int kWaitMilliseconds = 120000;  // only a hung job runs into it

QString CorpusFile(const char* name) {
    // As the window names it: the shared folder's path may hold "..".
    return QString::fromStdString(std::filesystem::weakly_canonical(mftest::corpus_dir() / name).string());
}

// The folder picker's part in a run: records what it was asked and answers with a fresh folder.
struct FolderAnswer {
    QString message, button;
    QString folder;
};

}  // namespace

class MainWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadsDroppedFilesAndAlertsForADamagedOne();
    void ticksWithMouseKeyboardAndAlt();
    void changesTheEncodingOfAnAnsiFile();
    void offersEachTargetWithItsSwitches();
    void exportsIntoTheChosenFolder_data();
    void exportsIntoTheChosenFolder();
    void cancelsARun();

private:
    void Load(const QStringList& paths);
    QModelIndex Row(const QString& title, const QModelIndex& parent = {}) const;
    void ClickBox(const QModelIndex& index, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void ChooseTarget(int position);
    // Clicks on the box itself: a stretched check box takes clicks only on its box and title.
    static void ClickCheckBox(QCheckBox& box) {
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(8, box.height() / 2));
    }
    void Screenshot(QWidget& widget, const QString& name);
    template <typename T>
    T& Child(const char* name) {
        T* child = _window->findChild<T*>(QString::fromLatin1(name));
        if (!child) qFatal("no widget %s", name);
        return *child;
    }

    std::unique_ptr<QTemporaryDir> _dir;
    std::unique_ptr<platform::settings_store> _settings;
    std::unique_ptr<MainWindow> _window;
    FolderAnswer _answer;
    std::vector<std::string> _opened;  // documents the window asked the desktop to open
};

void MainWindowTest::init() {
    _dir = std::make_unique<QTemporaryDir>();
    _settings = std::make_unique<platform::settings_store>(
        platform::shipped_file_path("defaults.ini"), _dir->filePath(QStringLiteral("user/settings.ini")).toStdString());
    _window = std::make_unique<MainWindow>(*_settings);
    _answer = {};
    _opened.clear();
    _window->setOutputFolderChooser([this](const QString& message, const QString& button) -> std::optional<QString> {
        _answer.message = message;
        _answer.button = button;
        if (_answer.folder.isEmpty()) return std::nullopt;
        return _answer.folder;
    });
    _window->setDocumentOpener([this](const std::string& path) { _opened.push_back(path); });
    _window->show();
    QVERIFY(QTest::qWaitForWindowExposed(_window.get()));
}

void MainWindowTest::cleanup() {
    _window.reset();
    _settings.reset();
    _dir.reset();
}

void MainWindowTest::Load(const QStringList& paths) {
    QSignalSpy finished(_window.get(), &MainWindow::loadingFinished);
    _window->openPSTFilesInBackground(paths);
    QVERIFY(finished.wait(kWaitMilliseconds));
}

QModelIndex MainWindowTest::Row(const QString& title, const QModelIndex& parent) const {
    const QAbstractItemModel& model = _window->treeModel();
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (index.data(PSTTreeItemModel::kTitleRole).toString() == title) return index;
        if (const QModelIndex found = Row(title, index); found.isValid()) return found;
    }
    return {};
}

// Clicks where the row's box is drawn.
void MainWindowTest::ClickBox(const QModelIndex& index, Qt::KeyboardModifiers modifiers) {
    PSTTreeView& view = _window->treeView();
    view.scrollTo(index);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(index);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDecoration |
                      QStyleOptionViewItem::HasDisplay;
    option.decorationSize = QSize(18, 18);
    option.text = index.data().toString();
    option.widget = &view;
    const QRect box = view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, box.center());
}

void MainWindowTest::ChooseTarget(int position) {
    auto& target = Child<QComboBox>("target");
    target.setCurrentIndex(position);
    emit target.activated(position);
}

void MainWindowTest::Screenshot(QWidget& widget, const QString& name) {
    QDir().mkpath(QStringLiteral(MF_SCREENSHOT_DIR));
    QVERIFY(widget.grab().save(QStringLiteral(MF_SCREENSHOT_DIR "/") + name + QStringLiteral(".png")));
}

void MainWindowTest::ticksWithMouseKeyboardAndAlt() {
    if (mftest::corpus_files().empty()) QSKIP("no corpus");
    Load({CorpusFile("outlook-store.pst")});
    const QModelIndex inbox = Row(QStringLiteral("Inbox"));
    const QModelIndex subInbox = Row(QStringLiteral("SubInbox"));
    auto& allMails = Child<QCheckBox>("allMails");
    QVERIFY(inbox.data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Alt + Click")));

    // What each click does to the tree is the model's test; here the mouse, Alt and the space bar reach it.
    ClickBox(inbox, Qt::AltModifier);
    QCOMPARE(inbox.data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    QCOMPARE(allMails.checkState(), Qt::PartiallyChecked);
    ClickCheckBox(allMails);
    QCOMPARE(inbox.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    _window->treeView().setCurrentIndex(subInbox);
    QTest::keyClick(&_window->treeView(), Qt::Key_Space);
    QCOMPARE(subInbox.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
}

void MainWindowTest::changesTheEncodingOfAnAnsiFile() {
    const QString path = _dir->filePath(QStringLiteral("ansi.pst"));
    pstwrite::store_builder store(pstwrite::format::ansi, pstwrite::crypt::none, path.toStdString());
    store.ipm_subtree().add_folder(u"Inbox");
    store.write();
    Load({path});
    const QModelIndex file = _window->treeModel().index(0, 0);

    // Ctrl + click opens the file's menu, with the current encoding ticked.
    PSTTreeView& view = _window->treeView();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, view.visualRect(file).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QMenu* encodings = menu->actions().at(1)->menu();
    QAction* cyrillic = nullptr;
    for (QAction* item : encodings->actions()) {
        if (item->data().toInt() == 1252) QVERIFY(item->isChecked());
        if (item->data().toInt() == 1251) cyrillic = item;
    }
    QVERIFY(cyrillic);
    cyrillic->trigger();
    menu->close();
    QCOMPARE(_window->treeModel().index(0, 0).data().toString(),
             QStringLiteral("ansi.pst - [Text Encoding: Cyrillic (Windows)]"));
}

void MainWindowTest::offersEachTargetWithItsSwitches() {
    if (mftest::corpus_files().empty()) QSKIP("no corpus");
    Load({CorpusFile("outlook-store.pst")});
    // The list's texts are the option list's, whose own test pins them.
    auto& target = Child<QComboBox>("target");
    QCOMPARE(target.count(), 5);
    QCOMPARE(target.itemText(2), QStringLiteral("Thunderbird/Postbox Emails, *.vcf, *.ics"));
    for (int position = 0; position < target.count(); ++position) {
        ChooseTarget(position);
        // Only the separate files take the switches; the MBOX form alone splits.
        QCOMPARE(Child<QCheckBox>("saveReadUnread").isEnabled(), position >= 3);
        QCOMPARE(Child<QCheckBox>("mergeContacts").isEnabled(), position >= 3);
        QCOMPARE(Child<QCheckBox>("splitMBOXFiles").isEnabled(), position == 3);
        Screenshot(*_window, QStringLiteral("options-target-%1").arg(position));
    }

    ChooseTarget(3);
    auto& size = Child<QLineEdit>("maxMBOXSize");
    size.setFocus();
    size.selectAll();
    QTest::keyClick(&size, Qt::Key_Backspace);
    QTest::keyClicks(&size, QStringLiteral("0"));  // refused: whole numbers above 0 only
    QCOMPARE(size.text(), QString());
    QTest::keyClicks(&size, QStringLiteral("25x0"));
    QCOMPARE(size.text(), QStringLiteral("250"));
    QCOMPARE(_settings->get_int("maxMBOXSize"), 250);
    QCOMPARE(Child<QCheckBox>("splitMBOXFiles").text(), QStringLiteral("Split MBOX files over 250 MB."));
}

void MainWindowTest::exportsIntoTheChosenFolder_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("guide");
    QTest::addColumn<QString>("firstFooter");
    QTest::newRow("apple") << 0 << "Apple Import Guide.pdf"
                           << "Converted data is available at following path:\n";
    QTest::newRow("archive") << 1 << "Outlook Import Guide.pdf"
                             << "Exported RGE Archive is available at following path:\n";
    QTest::newRow("thunderbird") << 2 << "Thunderbird Import Guide EML.pdf"
                                 << "Converted Thunderbird Email Database is available at following path:\n";
    QTest::newRow("mbox") << 3 << ""
                          << "Exported items are available at following path:\n";
    QTest::newRow("eml") << 4 << ""
                         << "Exported items are available at following path:\n";
}

void MainWindowTest::exportsIntoTheChosenFolder() {
    if (mftest::corpus_files().empty()) QSKIP("no corpus");
    QFETCH(int, position);
    QFETCH(QString, guide);
    QFETCH(QString, firstFooter);
    Load({CorpusFile("outlook-store.pst"), CorpusFile("rtf-html-inline.pst")});
    ChooseTarget(position);

    // A cancelled folder question starts nothing.
    QSignalSpy cleanedUp(_window.get(), &MainWindow::exportCleanedUp);
    _window->clickStartExport();
    QCOMPARE(cleanedUp.count(), 1);
    QCOMPARE(_answer.message, position == 2 ? QStringLiteral("Select a folder to save converted data:")
                                            : QStringLiteral("Select a folder to save exported data:"));
    QCOMPARE(_answer.button, QStringLiteral("Save"));

    _answer.folder = _dir->filePath(QStringLiteral("out"));
    QDir().mkpath(_answer.folder);
    QSignalSpy shown(_window.get(), &MainWindow::reportShown);
    QTest::mouseClick(Child<QToolBar>("mainToolbar").widgetForAction(&Child<QAction>("startAction")), Qt::LeftButton);
    QVERIFY(shown.wait(kWaitMilliseconds));
    ReportSheet& report = _window->reportSheet();
    QVERIFY(report.isVisible());
    QCOMPARE(report.heading(), QStringLiteral("Operation Completed Successfully."));
    QVERIFY(report.reportContent().contains(QStringLiteral("Converting content from PST File: ") +
                                            CorpusFile("rtf-html-inline.pst")));
    QCOMPARE(_window->lastResult().MailCount, 16u);  // 15 mails and the calendar's reference mail
    const QStringList footers = [&] {
        QStringList texts;
        for (QLabel* label : report.findChildren<QLabel*>())
            if (label->wordWrap()) texts << label->text();
        return texts;
    }();
    QVERIFY(footers.size() == 2 && footers[0].startsWith(firstFooter + _answer.folder));
    QVERIFY(QFileInfo(footers[1].section(u'\n', 1)).isFile());
    if (guide.isEmpty())
        QVERIFY(_opened.empty());
    else
        QVERIFY(_opened.size() == 1 && QString::fromStdString(_opened[0]).endsWith(QStringLiteral("/guides/") + guide));
    if (position == 0) Screenshot(report, QStringLiteral("report-sheet"));

    QTest::mouseClick(report.findChild<QPushButton*>(QStringLiteral("locateOutput")), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(_opened.back()),
             position == 1 ? _answer.folder + QStringLiteral("/Outlook PST Export.rge") : _answer.folder);
    QTest::mouseClick(report.findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    QCOMPARE(cleanedUp.count(), 2);
    QVERIFY(!report.isVisible());
    QCOMPARE(_window->lastResult().ResultCode, int(kExportFailed));
    QVERIFY(_window->model().allowPSTDrop());
}

void MainWindowTest::cancelsARun() {
    if (mftest::corpus_files().empty()) QSKIP("no corpus");
    Load({CorpusFile("outlook-store.pst")});
    // Where the first mail folder asks for its writer, the export thread waits while the window shows the
    // progress sheet and the user cancels.
    ProgressSheet& progress = _window->progressSheet();
    std::atomic<bool> visible = false, asked = false;
    const auto cancel = [&] {
        visible = progress.isVisible();
        QCoreApplication::processEvents();  // the labels' layout
        Screenshot(progress, QStringLiteral("progress-sheet"));
        QTest::mouseClick(progress.findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
    };
    _window->setExportServices([&] {
        ExportServices services = StandardExportServices();
        services.mailWriters = [&, real = services.mailWriters](const MailWriterOptions& options) {
            if (!asked.exchange(true)) QMetaObject::invokeMethod(_window.get(), cancel, Qt::BlockingQueuedConnection);
            return real(options);
        };
        return services;
    });
    ChooseTarget(3);
    _answer.folder = _dir->path();
    QSignalSpy shown(_window.get(), &MainWindow::reportShown);
    _window->clickStartExport();
    QVERIFY(shown.wait(kWaitMilliseconds));
    QVERIFY(visible);
    QVERIFY(!progress.isVisible());
    QCOMPARE(_window->reportSheet().heading(), QStringLiteral("Operation Aborted. Data was partially exported."));
    QVERIFY(_window->reportSheet().reportContent().contains(QStringLiteral("Operation aborted !!!")));
    QCOMPARE(_window->lastResult().ResultCode, int(kExportCancelled));
    Screenshot(_window->reportSheet(), QStringLiteral("report-sheet-cancelled"));
    _window->reportSheet().accept();
}

// Only PST files are taken from a drop; a damaged one is named in an alert, and the others load.
void MainWindowTest::loadsDroppedFilesAndAlertsForADamagedOne() {
    if (mftest::corpus_files().empty()) QSKIP("no corpus");
    QWidget* viewport = _window->treeView().viewport();
    const auto mime = [](const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        return data;
    };
    const auto other = mime({_dir->filePath(QStringLiteral("notes.txt")), _dir->filePath(QStringLiteral("old.PST"))});
    QDragEnterEvent refused(QPoint(20, 20), Qt::CopyAction, other.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    QVERIFY(!refused.isAccepted());

    const auto files = mime({_dir->filePath(QStringLiteral("notes.txt")), CorpusFile("outlook-store.pst"),
                             CorpusFile("corrupt-header.pst"), CorpusFile("rtf-html-inline.pst")});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QSignalSpy finished(_window.get(), &MainWindow::loadingFinished);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(finished.wait(kWaitMilliseconds));
    QCOMPARE(_window->model().openSessions().size(), std::size_t{2});
    auto* alert = _window->findChild<QMessageBox*>(QStringLiteral("loadFailureAlert"));
    QVERIFY(alert && alert->isVisible());
    QVERIFY(alert->text().startsWith(QStringLiteral("Failed to load following PST file:\n") +
                                     CorpusFile("corrupt-header.pst") + QStringLiteral(".\n\n")));
    alert->accept();
    QVERIFY(Row(QStringLiteral("Inbox")).data().toString() == QStringLiteral("Inbox [8]"));
    QVERIFY(_window->findChild<QAction*>(QStringLiteral("startAction"))->isEnabled());
    Screenshot(*_window, QStringLiteral("main-window"));

    _window->closeAllPSTFiles();
    QCOMPARE(_window->treeModel().rowCount(), 0);
    QVERIFY(!_window->findChild<QAction*>(QStringLiteral("startAction"))->isEnabled());
}

}  // namespace mailferry

QTEST_MAIN(mailferry::MainWindowTest)
#include "main_window_test.moc"
