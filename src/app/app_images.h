#pragma once
// app_images.h: the program's own images (share/icons/*.svg, shipped beside the executable), drawn from their
// SVG source at whatever size and scale they are shown, so they stay sharp. Main thread only.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <string_view>

namespace mailferry {

// The image by base name ("Store", "Success" ...); an empty icon when the file is missing.
QIcon AppIcon(std::string_view name);
// The image drawn at `size` (device-independent pixels) for the screen's scale.
QPixmap AppPixmap(std::string_view name, QSize size, qreal devicePixelRatio);

}  // namespace mailferry
