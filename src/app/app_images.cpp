#include "app/app_images.h"

#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <map>
#include <memory>
#include <string>

#include "platform/shipped_files.h"

namespace mailferry {

namespace {

std::shared_ptr<QSvgRenderer> Renderer(std::string_view name) {
    static std::map<std::string, std::shared_ptr<QSvgRenderer>, std::less<>> renderers;
    if (const auto found = renderers.find(name); found != renderers.end()) return found->second;
    const auto file = platform::shipped_file_path("icons/" + std::string(name) + ".svg");
    auto renderer = std::make_shared<QSvgRenderer>(QString::fromStdString(file.string()));
    renderers.emplace(std::string(name), renderer);
    return renderer;
}

// Renders the SVG for each size asked, instead of scaling one bitmap.
class SvgIconEngine final : public QIconEngine {
public:
    explicit SvgIconEngine(std::shared_ptr<QSvgRenderer> renderer) : _renderer(std::move(renderer)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        _renderer->render(painter, rect);
        painter->setOpacity(1.0);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new SvgIconEngine(_renderer); }

private:
    std::shared_ptr<QSvgRenderer> _renderer;
};

}  // namespace

QIcon AppIcon(std::string_view name) {
    auto renderer = Renderer(name);
    if (!renderer->isValid()) return {};
    return QIcon(new SvgIconEngine(std::move(renderer)));  // the icon takes the engine
}

QPixmap AppPixmap(std::string_view name, QSize size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    Renderer(name)->render(&painter, QRectF(QPointF(0, 0), QSizeF(pixmap.size())));
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace mailferry
