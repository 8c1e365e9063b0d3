#pragma once
// loading_sheet.h: the window-modal sheet that covers the main window while PST files load on the loading
// thread — a spinning indicator and "Loading: <file>". Main thread only.

#include <QDialog>

class QLabel;
class QTimer;

namespace mailferry {

// Turns while it is shown; drawn, so it needs no image and no animation module.
class Spinner final : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* _timer;
    int _step = 0;
};

class LoadingSheet final : public QDialog {
    Q_OBJECT
public:
    explicit LoadingSheet(QWidget* parent);

    void setMessage(const QString& message);
    QString message() const;

protected:
    // The load cannot be stopped halfway; Escape does not close the sheet.
    void reject() override {}

private:
    QLabel* _message;
};

}  // namespace mailferry
