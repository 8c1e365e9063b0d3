#include "app/export_sheets.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/app_images.h"
#include "app/model/export_report.h"

namespace mailferry {

namespace {

QString Text(std::u16string_view text) {
    return QString::fromStdU16String(std::u16string(text));
}

void ShowValue(QProgressBar& bar, float value) {
    if (value < 0) {
        bar.setRange(0, 0);  // indeterminate
        return;
    }
    bar.setRange(0, 100);
    bar.setValue(static_cast<int>(std::lround(std::min(value, 100.0f))));
}

QLabel* WrappingLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

// ---- ProgressSheet

ProgressSheet::ProgressSheet(QWidget* parent)
    : QDialog(parent, Qt::Sheet),
      _message(new QLabel(this)),
      _filePath(new QLabel(this)),
      _current(new QProgressBar(this)),
      _currentLabel(new QLabel(this)),
      _overall(new QProgressBar(this)),
      _foldersLabel(new QLabel(this)),
      _itemsLabel(new QLabel(this)),
      _cancelButton(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("progressSheet"));
    setWindowTitle(tr("Converting"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(520);
    QFont bold = _message->font();
    bold.setBold(true);
    _message->setFont(bold);
    _message->setWordWrap(true);
    // Long paths are cut in the middle rather than widening the sheet.
    _filePath->setTextFormat(Qt::PlainText);
    _filePath->setMinimumWidth(1);
    _filePath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    _currentLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    _cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(_cancelButton, &QPushButton::clicked, this, &ProgressSheet::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->addWidget(_message);
    layout->addWidget(_filePath);
    layout->addSpacing(8);
    layout->addWidget(_currentLabel);
    layout->addWidget(_current);
    layout->addSpacing(8);
    auto* overallLabels = new QHBoxLayout;
    overallLabels->addWidget(_foldersLabel);
    overallLabels->addStretch();
    overallLabels->addWidget(_itemsLabel);
    layout->addLayout(overallLabels);
    layout->addWidget(_overall);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(_cancelButton);
    layout->addLayout(buttons);
    clear();
}

void ProgressSheet::clear() {
    for (QLabel* label : {_message, _filePath, _currentLabel, _foldersLabel, _itemsLabel}) label->clear();
    ShowValue(*_current, 0);
    ShowValue(*_overall, 0);
    _cancelButton->setEnabled(true);
}

void ProgressSheet::setProgressMessage(const QString& text) {
    // The engine's messages end in line breaks meant for the log.
    _message->setText(text.trimmed());
}

void ProgressSheet::setFilePath(const QString& text) {
    _filePath->setText(_filePath->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(_filePath->width(), 400)));
    _filePath->setToolTip(text);
}

void ProgressSheet::setCurrentProgressValue(float value) {
    ShowValue(*_current, value);
}

void ProgressSheet::setCurrentProgressLabel(const QString& text) {
    _currentLabel->setText(text);
}

void ProgressSheet::setOverallProgressValue(float value) {
    ShowValue(*_overall, value);
}

void ProgressSheet::setOverallFoldersLabel(const QString& text) {
    _foldersLabel->setText(text);
}

void ProgressSheet::setOverallItemsLabel(const QString& text) {
    _itemsLabel->setText(text);
}

void ProgressSheet::reject() {
    // The sheet stays until the run has ended; it is closed by the main window then.
    _cancelButton->setEnabled(false);
    _message->setText(tr("Cancelling after the current item…"));
    if (_cancel) _cancel();
}

// ---- ProgressWindowController

void ProgressWindowController::Forward(std::function<void(ProgressSheet&)> show) {
    ProgressSheet* sheet = _sheet.data();
    if (!sheet) return;
    // The sheet as context: the call is dropped if the sheet is destroyed before it runs.
    QMetaObject::invokeMethod(
        sheet, [sheet, show = std::move(show)] { show(*sheet); }, Qt::QueuedConnection);
}

void ProgressWindowController::updateProgressMessage(std::u16string_view message) {
    Forward([text = Text(message)](ProgressSheet& sheet) { sheet.setProgressMessage(text); });
}

void ProgressWindowController::updateCurrentProgressValue(float value) {
    Forward([value](ProgressSheet& sheet) { sheet.setCurrentProgressValue(value); });
}

void ProgressWindowController::updateCurrentProgressLabel(std::u16string_view label) {
    Forward([text = Text(label)](ProgressSheet& sheet) { sheet.setCurrentProgressLabel(text); });
}

void ProgressWindowController::updateOverallProgressValue(float value) {
    Forward([value](ProgressSheet& sheet) { sheet.setOverallProgressValue(value); });
}

void ProgressWindowController::updateOverallFoldersLabel(std::u16string_view label) {
    Forward([text = Text(label)](ProgressSheet& sheet) { sheet.setOverallFoldersLabel(text); });
}

void ProgressWindowController::updateOverallItemsLabel(std::u16string_view label) {
    Forward([text = Text(label)](ProgressSheet& sheet) { sheet.setOverallItemsLabel(text); });
}

void ProgressWindowController::setFilePath(const std::string& filePath) {
    _filePath = filePath;
    Forward([text = QString::fromStdString(filePath)](ProgressSheet& sheet) { sheet.setFilePath(text); });
}

// ---- ReportSheet

ReportSheet::ReportSheet(QWidget* parent)
    : QDialog(parent, Qt::Sheet),
      _image(new QLabel(this)),
      _heading(new QLabel(this)),
      _reportContent(new QPlainTextEdit(this)),
      _footerMessage1(WrappingLabel(this)),
      _footerMessage2(WrappingLabel(this)) {
    setObjectName(QStringLiteral("reportSheet"));
    setWindowTitle(tr("Conversion Report"));
    setWindowModality(Qt::WindowModal);
    resize(720, 560);
    QFont headingFont = _heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    _heading->setFont(headingFont);
    _heading->setObjectName(QStringLiteral("heading"));
    _reportContent->setReadOnly(true);
    _reportContent->setObjectName(QStringLiteral("reportContent"));
    _reportContent->setLineWrapMode(QPlainTextEdit::NoWrap);
    _reportContent->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* locateOutput = buttons->addButton(tr("Locate Output"), QDialogButtonBox::ActionRole);
    QPushButton* locateReport = buttons->addButton(tr("Locate Report"), QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    locateOutput->setObjectName(QStringLiteral("locateOutput"));
    locateReport->setObjectName(QStringLiteral("locateReport"));
    ok->setObjectName(QStringLiteral("okButton"));
    connect(locateOutput, &QPushButton::clicked, this, [this] {
        if (_open) _open(_outputPath);
    });
    connect(locateReport, &QPushButton::clicked, this, [this] {
        if (_open) _open(_reportPath);
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(_image);
    top->addWidget(_heading, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(_reportContent, 1);
    layout->addWidget(_footerMessage1);
    layout->addWidget(_footerMessage2);
    layout->addWidget(buttons);
}

void ReportSheet::setReport(std::int32_t resultCode, const std::u16string& reportContent,
                            const std::u16string& footerMessage1, const std::u16string& footerMessage2,
                            const std::string& outputPath, const std::string& reportPath) {
    const ReportLook look = ReportLookForResultCode(resultCode);
    _heading->setText(Text(look.heading));
    _image->setPixmap(AppPixmap(look.imageName, QSize(48, 48), devicePixelRatioF()));
    QString content = Text(reportContent);
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    _reportContent->setPlainText(content);
    _footerMessage1->setText(Text(footerMessage1));
    _footerMessage2->setText(Text(footerMessage2));
    _outputPath = outputPath;
    _reportPath = reportPath;
}

QString ReportSheet::heading() const {
    return _heading->text();
}

QString ReportSheet::reportContent() const {
    return _reportContent->toPlainText();
}

void ReportSheet::done(int result) {
    QDialog::done(result);
    // Closed sheets keep nothing of the run.
    _heading->clear();
    _image->clear();
    _reportContent->clear();
    _footerMessage1->clear();
    _footerMessage2->clear();
    _outputPath.clear();
    _reportPath.clear();
}

}  // namespace mailferry
