#include "app/option_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <limits>

#include "app/model/node_data.h"
#include "app/model/options_controller.h"
#include "app/model/tree_selection.h"

namespace mailferry {

namespace {

Qt::CheckState CheckStateOf(std::int32_t value) {
    return value == kSelected ? Qt::Checked : value == kNotSelected ? Qt::Unchecked : Qt::PartiallyChecked;
}

QString SplitTitle(std::int32_t megabytes) {
    return QStringLiteral("Split MBOX files over %1 MB.").arg(megabytes);
}

}  // namespace

KindCheckBox::KindCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    setTristate(true);
}

void KindCheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

QValidator::State MBOXSizeValidator::validate(QString& input, int&) const {
    if (input.isEmpty()) return Intermediate;
    bool whole = false;
    const qlonglong value = input.toLongLong(&whole);
    const bool digitsOnly = std::all_of(input.begin(), input.end(), [](QChar c) { return c.isDigit(); });
    if (whole && digitsOnly && !input.startsWith(u'0') && value >= 1 &&
        value <= std::numeric_limits<std::int32_t>::max())
        return Acceptable;
    QApplication::beep();
    return Invalid;
}

OptionPanel::OptionPanel(OptionsController& options, std::function<void(int, int)> kindClicked, QWidget* parent)
    : QWidget(parent), _options(options), _kindClicked(std::move(kindClicked)) {
    Build();
    Connect();
    refresh();
    _options.addChangeHandler([this] { refresh(); });
}

void OptionPanel::Build() {
    auto* kinds = new QGroupBox(tr("Items to convert"), this);
    auto* kindsLayout = new QVBoxLayout(kinds);
    _allMails = new KindCheckBox(tr("All mails"), kinds);
    _allContacts = new KindCheckBox(tr("All contacts"), kinds);
    _allCalendar = new KindCheckBox(tr("All calendar events"), kinds);
    for (QCheckBox* box : {_allMails, _allContacts, _allCalendar}) kindsLayout->addWidget(box);

    auto* conversion = new QGroupBox(tr("Conversion"), this);
    auto* form = new QFormLayout(conversion);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    _action = new QComboBox(conversion);
    _action->addItem(tr("Convert into a folder"), 1);
    _target = new QComboBox(conversion);
    _target->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    _target->setMinimumContentsLength(18);
    form->addRow(tr("&Action:"), _action);
    form->addRow(tr("&Target:"), _target);

    auto* switches = new QGroupBox(tr("Options"), this);
    auto* switchLayout = new QVBoxLayout(switches);
    _saveReadUnread = new QCheckBox(tr("Save read and unread mails separately"), switches);
    _mergeContacts = new QCheckBox(tr("Merge contacts into one file per folder"), switches);
    _mergeCalendarEvents = new QCheckBox(tr("Merge calendar events into one file"), switches);
    _splitMBOXFiles = new QCheckBox(SplitTitle(0), switches);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->setContentsMargins(24, 0, 0, 0);
    auto* sizeLabel = new QLabel(tr("MBOX file size limit (MB):"), switches);
    _maxMBOXSize = new QLineEdit(switches);
    _maxMBOXSize->setValidator(new MBOXSizeValidator(_maxMBOXSize));
    _maxMBOXSize->setMaximumWidth(90);
    sizeLabel->setBuddy(_maxMBOXSize);
    sizeRow->addWidget(sizeLabel);
    sizeRow->addWidget(_maxMBOXSize);
    sizeRow->addStretch();
    _ignoreEmptyFolders = new QCheckBox(tr("Ignore empty folders"), switches);
    for (QCheckBox* box : {_saveReadUnread, _mergeContacts, _mergeCalendarEvents, _splitMBOXFiles})
        switchLayout->addWidget(box);
    switchLayout->addLayout(sizeRow);
    switchLayout->addWidget(_ignoreEmptyFolders);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(kinds);
    layout->addWidget(conversion);
    layout->addWidget(switches);
    layout->addStretch();

    _allMails->setObjectName(QStringLiteral("allMails"));
    _allContacts->setObjectName(QStringLiteral("allContacts"));
    _allCalendar->setObjectName(QStringLiteral("allCalendar"));
    _target->setObjectName(QStringLiteral("target"));
    _saveReadUnread->setObjectName(QStringLiteral("saveReadUnread"));
    _mergeContacts->setObjectName(QStringLiteral("mergeContacts"));
    _mergeCalendarEvents->setObjectName(QStringLiteral("mergeCalendarEvents"));
    _splitMBOXFiles->setObjectName(QStringLiteral("splitMBOXFiles"));
    _maxMBOXSize->setObjectName(QStringLiteral("maxMBOXSize"));
    _ignoreEmptyFolders->setObjectName(QStringLiteral("ignoreEmptyFolders"));
}

void OptionPanel::Connect() {
    // `clicked` comes from the user only; the panel's own refresh sets states without it.
    const auto kind = [this](KindCheckBox* box, int containerClass) {
        connect(box, &QCheckBox::clicked, this, [this, box, containerClass] {
            _kindClicked(containerClass, box->checkState() == Qt::Checked ? kSelected : kNotSelected);
        });
    };
    kind(_allMails, kMailContainer);
    kind(_allContacts, kContactsContainer);
    kind(_allCalendar, kCalendarContainer);
    connect(_target, &QComboBox::activated, this,
            [this](int position) { _options.setDestinationTypeOptions(position); });
    connect(_saveReadUnread, &QCheckBox::clicked, this, [this](bool on) { _options.setSaveReadUnread(on); });
    connect(_mergeContacts, &QCheckBox::clicked, this, [this](bool on) { _options.setMergeContacts(on); });
    connect(_mergeCalendarEvents, &QCheckBox::clicked, this, [this](bool on) { _options.setMergeCalendarEvents(on); });
    connect(_splitMBOXFiles, &QCheckBox::clicked, this, [this](bool on) { _options.setSplitMBOXFiles(on); });
    connect(_ignoreEmptyFolders, &QCheckBox::clicked, this, [this](bool on) { _options.setIgnoreEmptyFolders(on); });
    connect(_maxMBOXSize, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (_maxMBOXSize->hasAcceptableInput()) _options.setMaxMBOXSize(text.toLongLong());
    });
    _maxMBOXSize->installEventFilter(this);
}

bool OptionPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == _maxMBOXSize && event->type() == QEvent::FocusOut)
        QMetaObject::invokeMethod(this, &OptionPanel::refresh, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void OptionPanel::refresh() {
    if (_refreshing) return;
    _refreshing = true;
    const auto showKind = [](KindCheckBox* box, std::int32_t value, bool enabled) {
        const QSignalBlocker blocker(box);
        box->setCheckState(CheckStateOf(value));
        box->setEnabled(enabled);
    };
    showKind(_allMails, _options.allMails(), _options.allMailsEnabled());
    showKind(_allContacts, _options.allContacts(), _options.allContactsEnabled());
    showKind(_allCalendar, _options.allCalendar(), _options.allCalendarEnabled());

    _action->setEnabled(_options.actionOptionEnabled());
    {
        const QSignalBlocker blocker(_target);
        _target->clear();
        for (const OptionMenuItem& option : _options.selectedOptionsArray())
            _target->addItem(QString::fromStdU16String(option.description));
        _target->setCurrentIndex(_options.destinationTypeOptions());
        _target->setEnabled(_options.destinationTypeOptionEnabled());
    }

    const OptionSwitches& switches = _options.switches();
    const auto showSwitch = [](QCheckBox* box, bool on, bool enabled) {
        box->setChecked(on);
        box->setEnabled(enabled);
    };
    showSwitch(_saveReadUnread, switches.saveReadUnread, switches.saveReadUnreadEnabled);
    showSwitch(_mergeContacts, switches.mergeContacts, switches.mergeContactsEnabled);
    showSwitch(_mergeCalendarEvents, switches.mergeCalendarEvents, switches.mergeCalendarEventsEnabled);
    showSwitch(_splitMBOXFiles, switches.splitMBOXFiles, switches.splitMBOXFilesEnabled);
    _splitMBOXFiles->setText(SplitTitle(switches.maxMBOXSize));
    _maxMBOXSize->setEnabled(switches.splitMBOXFilesEnabled);
    // Not while the user types in it; an empty field gets the size in force back when the user leaves it.
    if (!_maxMBOXSize->hasFocus()) _maxMBOXSize->setText(QString::number(switches.maxMBOXSize));
    _ignoreEmptyFolders->setChecked(_options.ignoreEmptyFolders());
    _refreshing = false;
}

}  // namespace mailferry
