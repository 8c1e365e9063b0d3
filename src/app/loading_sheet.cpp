#include "app/loading_sheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace mailferry {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMilliseconds = 80;
}  // namespace

Spinner::Spinner(QWidget* parent) : QWidget(parent), _timer(new QTimer(this)) {
    setFixedSize(sizeHint());
    _timer->setInterval(kStepMilliseconds);
    connect(_timer, &QTimer::timeout, this, [this] {
        _step = (_step + 1) % kSpokes;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const QColor colour = palette().color(QPalette::WindowText);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        QColor faded = colour;
        faded.setAlphaF(0.15f + 0.85f * static_cast<float>((spoke - _step + kSpokes) % kSpokes) / kSpokes);
        painter.setPen(QPen(faded, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -7), QPointF(0, -13));
        painter.rotate(360.0 / kSpokes);
    }
}

void Spinner::showEvent(QShowEvent* event) {
    _timer->start();
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
    _timer->stop();
    QWidget::hideEvent(event);
}

LoadingSheet::LoadingSheet(QWidget* parent) : QDialog(parent, Qt::Sheet), _message(new QLabel(this)) {
    setObjectName(QStringLiteral("loadingSheet"));
    setWindowTitle(tr("Loading PST files"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);
    layout->addWidget(new Spinner(this));
    _message->setMinimumWidth(320);
    layout->addWidget(_message, 1);
}

void LoadingSheet::setMessage(const QString& message) {
    _message->setText(message);
}

QString LoadingSheet::message() const {
    return _message->text();
}

}  // namespace mailferry
