#include "window/qt/content_needs.h"

#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>

#include <algorithm>

namespace zestrel::qt {

namespace {

QSize textSize(const QFontMetrics& metrics, const QStringList& texts, int flags) {
    QSize size(0, metrics.height());
    for (const QString& text : texts) size = size.expandedTo(metrics.size(flags, text));
    return size;
}

Extent extent(QSize size) { return {size.width(), size.height()}; }

}  // namespace

Extent buttonNeed(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    // The style draws the caption inside SE_PushButtonContents; what lies around it is its frame.
    const QRect contents = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QSize frame = option.rect.size() - contents.size();
    const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, &option, &button);
    const QSize text = textSize(button.fontMetrics(), {button.text()}, Qt::TextShowMnemonic);
    return extent(text + frame + QSize(margin, 0));
}

Extent labelNeed(const QLabel& label, const QStringList& texts) {
    const QSize frame = label.size() - label.contentsRect().size() + QSize(2 * label.margin(), 2 * label.margin());
    return extent(textSize(label.fontMetrics(), texts, 0) + frame);
}

Extent lineEditNeed(const QLineEdit& box) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.lineWidth = box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    const QRect contents = box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box);
    const QMargins margins = box.textMargins();
    return {0, box.fontMetrics().height() + (option.rect.height() - contents.height()) + margins.top() + margins.bottom()};
}

Extent statusBarNeed(const QStatusBar& bar, const QLabel& panel, const QStringList& texts) {
    // What the bar's layout keeps around its panel, from the hints of both at the panel's text.
    const QSize around = (bar.sizeHint() - panel.sizeHint()).expandedTo(QSize(0, 0));
    const Extent text = labelNeed(panel, texts);
    return {text.width + around.width(), text.height + around.height()};
}

}  // namespace zestrel::qt
