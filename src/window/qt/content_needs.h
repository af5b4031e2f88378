// How much room the Qt controls need to show their texts whole, at their fonts and in their
// style, in the window's logical pixels: the measure the fitted layout is given.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>

#include "window/fitted_layout.h"

namespace zestrel::qt {

// The caption (its access key drawn underlined, not as "&") inside the frame the style draws,
// with the style's margin beside it.
Extent buttonNeed(const QPushButton& button);
// The widest and tallest of the texts the label shows (or may show), inside its frame and margin.
Extent labelNeed(const QLabel& label, const QStringList& texts);
// A line of text inside the box's frame; the width is the box's to take.
Extent lineEditNeed(const QLineEdit& box);
// The panel's texts inside the status bar, with the room the bar keeps around its panel.
Extent statusBarNeed(const QStatusBar& bar, const QLabel& panel, const QStringList& texts);

}  // namespace zestrel::qt
