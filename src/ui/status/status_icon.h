#pragma once
// The tray item's icon drawn from its plain description: the symbol in its
// state colour, lifted above the Caps Lock and ignored-word bars.
#include <QColor>
#include <QImage>
#include <QPalette>

#include "app_core/status_item_model.h"

namespace tessa {

// The colour behind `color` for the given palette (the tray follows the
// desktop's light or dark theme); pausedGray is the same in both.
QColor statusColor(StatusColor color, const QPalette& palette);
QColor statusColor(StatusColor color);

// The icon at `devicePixelRatio`; its logical size is the layout's, the
// symbol taking the square of a 19-point symbol. Never a mask: the colours
// are the message.
QImage renderStatusIcon(const StatusIconSpec& spec, qreal devicePixelRatio = 1.0);
QImage renderStatusIcon(const StatusIconSpec& spec, const QPalette& palette, qreal devicePixelRatio);

}  // namespace tessa
