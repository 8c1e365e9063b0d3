#pragma once
// option_panel.h: the widgets of the option panel over the OptionsController — the all mails / contacts /
// calendar boxes, the action and target pop-ups, the switches and the MBOX size field — refreshed from the
// controller after every change and writing the user's clicks back to it. Main thread only.

#include <QCheckBox>
#include <QValidator>
#include <QWidget>
#include <functional>

class QComboBox;
class QLineEdit;

namespace mailferry {

class OptionsController;

// A box that shows the mixed state when the tree is mixed but never rests in it after a click: a click on a
// ticked box unticks it, any other click ticks it.
class KindCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    explicit KindCheckBox(const QString& text, QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};

// Whole numbers above 0; an empty field while editing; anything else is refused with a beep.
class MBOXSizeValidator final : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

class OptionPanel final : public QWidget {
    Q_OBJECT
public:
    // `kindClicked` receives the container class (5, 3 or 2) and the new value of a box the user clicked.
    OptionPanel(OptionsController& options, std::function<void(int containerClass, int value)> kindClicked,
                QWidget* parent = nullptr);

    // Shows the controller's values and enabled flags.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void Connect();

    OptionsController& _options;
    std::function<void(int, int)> _kindClicked;
    KindCheckBox* _allMails = nullptr;
    KindCheckBox* _allContacts = nullptr;
    KindCheckBox* _allCalendar = nullptr;
    QComboBox* _action = nullptr;
    QComboBox* _target = nullptr;
    QCheckBox* _saveReadUnread = nullptr;
    QCheckBox* _mergeContacts = nullptr;
    QCheckBox* _mergeCalendarEvents = nullptr;
    QCheckBox* _splitMBOXFiles = nullptr;
    QLineEdit* _maxMBOXSize = nullptr;
    QCheckBox* _ignoreEmptyFolders = nullptr;
    bool _refreshing = false;
};

}  // namespace mailferry
