#include "widgets/HexView.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "widgets/ByteSource.h"
#include "widgets/HexFormat.h"

namespace keldrin {

// The drawing surface: ruler, offsets, hex cells and characters of the rows in view.
class HexCanvas : public QAbstractScrollArea {
  public:
    explicit HexCanvas(HexView* view) : QAbstractScrollArea(view), view_(view) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        setFont(font);
        viewport()->setFont(font);
        setFocusPolicy(Qt::StrongFocus);
        viewport()->setCursor(Qt::IBeamCursor);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
            if (!syncing_) view_->setTopRow(std::int64_t(value) * view_->scrollScale_);
        });
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(),
                [this] { viewport()->update(); });
    }

    // Fractional: a text run advances by the true width, which is rarely a whole pixel.
    qreal charWidth() const { return QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0')); }
    int rowHeight() const { return fontMetrics().height() + 2; }
    int rulerHeight() const { return rowHeight() + 3; }
    int rowsInView() const {
        return std::max(1, (viewport()->height() - rulerHeight()) / rowHeight());
    }
    // x of the first hex cell, of hex cell i, of the first character.
    qreal hexLeft() const { return (digits_ + 5) * charWidth(); }
    qreal hexX(int i) const { return hexLeft() + i * 3 * charWidth() + (i >= 8 ? charWidth() : 0); }
    qreal charLeft() const { return hexX(HexView::kBytesPerRow) + charWidth() * 2; }
    qreal totalWidth() const { return charLeft() + (HexView::kBytesPerRow + 1) * charWidth(); }

    // The offset under a point of the viewport (clamped to the data).
    std::int64_t offsetAt(QPoint p) const {
        const int x = p.x() + horizontalScrollBar()->value();
        const std::int64_t row =
            view_->topRow_ + std::max(0, (p.y() - rulerHeight())) / rowHeight();
        int column = 0;
        if (x >= charLeft() - charWidth()) {
            column = int((x - charLeft()) / charWidth());
        } else {
            for (int i = 0; i < HexView::kBytesPerRow; ++i)
                if (x >= hexX(i) - charWidth() / 2) column = i;
        }
        column = std::clamp(column, 0, HexView::kBytesPerRow - 1);
        return row * HexView::kBytesPerRow + column;
    }

    bool syncing_ = false;
    int digits_ = 1;              // of the offsets, as of the last paint or load
    std::int64_t shownSize_ = 0;  // the size the scroll range was made for

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent* e) override {
        QAbstractScrollArea::resizeEvent(e);
        view_->updateScrollBar();
    }
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        view_->setCaret(offsetAt(e->position().toPoint()),
                        e->modifiers().testFlag(Qt::ShiftModifier));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (e->buttons() & Qt::LeftButton) view_->setCaret(offsetAt(e->position().toPoint()), true);
    }

  private:
    HexView* view_;
};

void HexCanvas::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.base());
    p.translate(-horizontalScrollBar()->value(), 0);

    // The size once per paint: it costs a system call, and the file may shrink meanwhile.
    const std::int64_t size = view_->dataSize();
    digits_ = OffsetDigits(size);
    const qreal cw = charWidth();
    const int rh = rowHeight();
    const int top = rulerHeight();
    const int ascent = fontMetrics().ascent() + 1;
    const int rows = rowsInView() + 1;
    const int n = HexView::kBytesPerRow;
    const QColor grid = pal.color(QPalette::Mid).lighter(112);

    // The ruler.
    p.fillRect(QRectF(0, 0, totalWidth() + cw, top - 1), pal.window());
    p.setPen(pal.color(QPalette::WindowText));
    for (int i = 0; i < n; ++i) {
        p.drawText(QPointF(hexX(i), ascent),
                   QString::number(i, 16).toUpper().rightJustified(2, QLatin1Char('0')));
        p.drawText(QPointF(charLeft() + i * cw, ascent), QString::number(i, 16).toUpper());
    }

    // Only the rows in view are read: a few hundred bytes whatever the file's size.
    const std::int64_t first = view_->topRow_ * n;
    std::vector<char> bytes(std::size_t(rows * n));
    const std::int64_t got =
        first < size ? view_->source_->read(first, bytes.data(), std::int64_t(bytes.size())) : 0;
    const std::int64_t selStart = view_->selectionStart();
    const std::int64_t selEnd = selStart + view_->selectionLength();
    const bool range = selEnd - selStart > 1;
    const QColor selColour = pal.color(QPalette::Highlight).lighter(160);
    static const char kDigits[] = "0123456789ABCDEF";

    // One text per column and row: a handful of text runs per screen, whatever the file.
    for (int r = 0; r < rows; ++r) {
        const std::int64_t rowStart = first + std::int64_t(r) * n;
        const int y = top + r * rh;
        if (rowStart >= first + got) break;
        const int count = int(std::min<std::int64_t>(n, first + got - rowStart));
        const char* row = bytes.data() + (rowStart - first);
        if (range && selStart < rowStart + count && selEnd > rowStart) {
            const int a = int(std::max(selStart, rowStart) - rowStart);
            const int b = int(std::min(selEnd, rowStart + count) - rowStart);  // past the last
            p.fillRect(QRectF(hexX(a) - cw / 2, y, hexX(b - 1) + cw * 5 / 2 - hexX(a), rh),
                       selColour);
            p.fillRect(QRectF(charLeft() + a * cw, y, (b - a) * cw, rh), selColour);
        }
        QString hex(n * 3 + 1, QLatin1Char(' '));
        QString chars(count, QLatin1Char(' '));
        for (int i = 0; i < count; ++i) {
            const auto byte = static_cast<unsigned char>(row[i]);
            const int at = i * 3 + (i >= 8 ? 1 : 0);
            hex[at] = QLatin1Char(kDigits[byte >> 4]);
            hex[at + 1] = QLatin1Char(kDigits[byte & 15]);
            chars[i] = QChar(DisplayChar(byte));
        }
        p.setPen(pal.color(QPalette::PlaceholderText));
        p.drawText(QPointF(cw / 2, y + ascent),
                   FormatOffset(rowStart, digits_).rightJustified(digits_ + 3));
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPointF(hexLeft(), y + ascent), hex);
        p.drawText(QPointF(charLeft(), y + ascent), chars);
        const std::int64_t caret = view_->caret_;
        if (caret >= rowStart && caret < rowStart + count) {
            const int i = int(caret - rowStart);
            p.fillRect(QRectF(hexX(i) - cw / 2, y, cw * 3, rh), pal.color(QPalette::Highlight));
            p.fillRect(QRectF(charLeft() + i * cw, y, cw, rh), pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawText(QPointF(hexX(i), y + ascent), hex.mid(i * 3 + (i >= 8 ? 1 : 0), 2));
            p.drawText(QPointF(charLeft() + i * cw, y + ascent), chars.mid(i, 1));
        }
        p.setPen(grid);
        p.drawLine(QLineF(0, y + rh - 1, totalWidth(), y + rh - 1));
    }

    // Grid lines: after the ruler, after the offsets, every four bytes, before the characters.
    p.setPen(grid);
    const int bottom = viewport()->height();
    p.drawLine(QLineF(0, top - 1, totalWidth(), top - 1));
    p.drawLine(QLineF(hexLeft() - cw, 0, hexLeft() - cw, bottom));
    for (int i = 4; i < n; i += 4) {
        const qreal x = hexX(i) - cw + (i == 8 ? 0 : cw / 2);
        p.drawLine(QLineF(x, top, x, bottom));
    }
    p.drawLine(QLineF(charLeft() - cw, 0, charLeft() - cw, bottom));
    p.drawLine(QLineF(totalWidth(), 0, totalWidth(), bottom));

    if (size != shownSize_) {
        // The file changed its length under the view: scroll range and caret follow once this
        // paint is over.
        shownSize_ = size;
        QTimer::singleShot(0, view_, [v = QPointer<HexView>(view_)] {
            if (!v) return;
            v->updateScrollBar();
            if (v->caret() >= v->dataSize()) v->setCaret(v->caret());
        });
    }
}

void HexCanvas::keyPressEvent(QKeyEvent* e) {
    const bool extend = e->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = e->modifiers().testFlag(Qt::ControlModifier);
    const std::int64_t n = HexView::kBytesPerRow;
    const std::int64_t page = std::int64_t(rowsInView()) * n;
    const std::int64_t caret = view_->caret_;
    std::int64_t to = caret;
    switch (e->key()) {
        case Qt::Key_Left:
            to = caret - 1;
            break;
        case Qt::Key_Right:
            to = caret + 1;
            break;
        case Qt::Key_Up:
            to = caret - n;
            break;
        case Qt::Key_Down:
            to = caret + n;
            break;
        case Qt::Key_PageUp:
            to = caret - page;
            view_->setTopRow(view_->topRow_ - rowsInView());
            break;
        case Qt::Key_PageDown:
            to = caret + page;
            view_->setTopRow(view_->topRow_ + rowsInView());
            break;
        case Qt::Key_Home:
            to = ctrl ? 0 : caret - caret % n;
            break;
        case Qt::Key_End:
            to = ctrl ? view_->dataSize() - 1 : caret - caret % n + n - 1;
            break;
        default:
            QAbstractScrollArea::keyPressEvent(e);
            return;
    }
    // Moving past either end stops at it.
    if (to < 0 && (e->key() == Qt::Key_Up || e->key() == Qt::Key_PageUp)) to = caret % n;
    view_->setCaret(to, extend);
    e->accept();
}

namespace {

QFrame* barFrame(QWidget* parent, const QString& caption, QLineEdit** edit, QLabel** status) {
    auto* bar = new QFrame(parent);
    bar->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(caption, bar));
    *edit = new QLineEdit(bar);
    (*edit)->setClearButtonEnabled(true);
    row->addWidget(*edit, 1);
    *status = new QLabel(bar);
    (*status)->setMinimumWidth(160);
    row->addWidget(*status);
    bar->hide();
    return bar;
}

}  // namespace

HexView::HexView(QWidget* parent) : QFrame(parent), source_(ByteSource::fromBytes({})) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    canvas_ = new HexCanvas(this);
    column->addWidget(canvas_, 1);

    goToBar_ = barFrame(this, QStringLiteral("Go to offset:"), &goToEdit_, &goToStatus_);
    goToEdit_->setPlaceholderText(QStringLiteral("0x1A2B, $1A2B, 1A2Bh or decimal"));
    column->addWidget(goToBar_);

    findBar_ = barFrame(this, QStringLiteral("Find:"), &findEdit_, &findStatus_);
    findEdit_->setPlaceholderText(QStringLiteral("text, or hex bytes such as 41 42 0D"));
    findHex_ = new QCheckBox(QStringLiteral("Hex bytes"), findBar_);
    static_cast<QHBoxLayout*>(findBar_->layout())->insertWidget(2, findHex_);
    auto* next = new QPushButton(QStringLiteral("Find next"), findBar_);
    static_cast<QHBoxLayout*>(findBar_->layout())->insertWidget(3, next);
    column->addWidget(findBar_);

    connect(goToEdit_, &QLineEdit::returnPressed, this, [this] { goToTyped(); });
    connect(findEdit_, &QLineEdit::returnPressed, this, [this] { findNext(); });
    connect(next, &QPushButton::clicked, this, [this] { findNext(); });

    auto* goTo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
    goTo->setContext(Qt::WidgetWithChildrenShortcut);
    connect(goTo, &QShortcut::activated, this, &HexView::showGoTo);
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &HexView::showFind);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WidgetWithChildrenShortcut);
    connect(close, &QShortcut::activated, this, [this] {
        cancelSearch();
        goToBar_->hide();
        findBar_->hide();
        canvas_->setFocus();
    });

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, &HexView::pollSearch);
    setFocusProxy(canvas_);
}

HexView::~HexView() {
    stopSearchThread();
}

QAbstractScrollArea* HexView::canvas() const {
    return canvas_;
}

int HexView::visibleRows() const {
    return canvas_->rowsInView();
}

std::int64_t HexView::dataSize() const {
    return source_->size();
}

int HexView::loadFile(const QString& path) {
    int error = 0;
    std::shared_ptr<ByteSource> source = ByteSource::openFile(path, &error);
    if (!source) return error;
    resetTo(std::move(source), path);
    return 0;
}

void HexView::setBytes(const QByteArray& bytes) {
    resetTo(ByteSource::fromBytes(bytes), QString());
}

void HexView::resetTo(std::shared_ptr<ByteSource> source, const QString& name) {
    stopSearchThread();
    findStatus_->clear();
    source_ = std::move(source);
    fileName_ = name;
    caret_ = anchor_ = 0;
    topRow_ = 0;
    updateScrollBar();
    canvas_->viewport()->update();
    emit selectionChanged();
}

void HexView::setCaret(std::int64_t offset, bool extend) {
    const std::int64_t last = std::max<std::int64_t>(0, dataSize() - 1);
    caret_ = std::clamp<std::int64_t>(offset, 0, last);
    anchor_ = extend ? std::min(anchor_, last) : caret_;
    scrollToCaret();
    canvas_->viewport()->update();
    emit selectionChanged();
}

std::int64_t HexView::selectionStart() const {
    return std::min(anchor_, caret_);
}

std::int64_t HexView::selectionLength() const {
    return dataSize() == 0 ? 0 : std::abs(caret_ - anchor_) + 1;
}

QString HexView::offsetText(std::int64_t offset) const {
    return FormatOffset(offset, OffsetDigits(dataSize()));
}

QString HexView::selectionText() const {
    const std::int64_t length = selectionLength();
    if (length <= 1) return offsetText(caret_);
    return QStringLiteral("%1 length %2").arg(offsetText(selectionStart())).arg(length);
}

void HexView::scrollToCaret() {
    const std::int64_t row = caret_ / kBytesPerRow;
    const int rows = visibleRows();
    if (row < topRow_)
        setTopRow(row);
    else if (row >= topRow_ + rows)
        setTopRow(row - rows + 1);
}

void HexView::setTopRow(std::int64_t row) {
    const std::int64_t rows = (dataSize() + kBytesPerRow - 1) / kBytesPerRow;
    const std::int64_t maxTop = std::max<std::int64_t>(0, rows - visibleRows());
    row = std::clamp<std::int64_t>(row, 0, maxTop);
    if (row == topRow_) return;
    topRow_ = row;
    canvas_->syncing_ = true;
    canvas_->verticalScrollBar()->setValue(int(topRow_ / scrollScale_));
    canvas_->syncing_ = false;
    canvas_->viewport()->update();
}

void HexView::updateScrollBar() {
    const std::int64_t size = dataSize();
    canvas_->digits_ = OffsetDigits(size);
    canvas_->shownSize_ = size;
    const std::int64_t rows = (size + kBytesPerRow - 1) / kBytesPerRow;
    const std::int64_t maxTop = std::max<std::int64_t>(0, rows - visibleRows());
    // A scroll bar counts in int: beyond a billion rows (16 GiB) one step stands for several rows.
    scrollScale_ = std::max<std::int64_t>(1, maxTop / 1000000000 + 1);
    QScrollBar* bar = canvas_->verticalScrollBar();
    canvas_->syncing_ = true;
    bar->setRange(0, int(maxTop / scrollScale_));
    bar->setPageStep(visibleRows());
    bar->setSingleStep(1);
    topRow_ = std::min(topRow_, maxTop);
    bar->setValue(int(topRow_ / scrollScale_));
    canvas_->syncing_ = false;
    QScrollBar* hbar = canvas_->horizontalScrollBar();
    hbar->setRange(0, std::max(0, int(canvas_->totalWidth() + canvas_->charWidth()) -
                                      canvas_->viewport()->width()));
    hbar->setPageStep(canvas_->viewport()->width());
}

void HexView::showGoTo() {
    findBar_->hide();
    goToStatus_->clear();
    goToBar_->show();
    goToEdit_->setFocus();
    goToEdit_->selectAll();
}

void HexView::showFind() {
    goToBar_->hide();
    findBar_->show();
    findEdit_->setFocus();
    findEdit_->selectAll();
}

bool HexView::goToTyped() {
    const std::optional<std::int64_t> offset = ParseOffset(goToEdit_->text());
    if (!offset) {
        goToStatus_->setText(QStringLiteral("Not an offset"));
        return false;
    }
    if (*offset >= dataSize()) {
        goToStatus_->setText(QStringLiteral("Past the end (%1)").arg(offsetText(dataSize())));
        return false;
    }
    goToStatus_->clear();
    setCaret(*offset);
    // The target row in the middle of the view, as far as the file allows.
    setTopRow(*offset / kBytesPerRow - visibleRows() / 2);
    return true;
}

bool HexView::findNext() {
    QByteArray pattern;
    if (findHex_->isChecked()) {
        const std::optional<QByteArray> bytes = ParseHexBytes(findEdit_->text());
        if (!bytes) {
            findStatus_->setText(QStringLiteral("Not hex bytes"));
            return false;
        }
        pattern = *bytes;
    } else {
        pattern = findEdit_->text().toLatin1();
    }
    if (pattern.isEmpty()) return false;
    stopSearchThread();
    searchCancel_ = false;
    searchDone_ = false;
    searchProgress_ = 0;
    const std::int64_t from = dataSize() == 0 ? 0 : caret_ + 1;
    std::shared_ptr<ByteSource> source = source_;
    progressTimer_->start();
    findStatus_->setText(QStringLiteral("Searching..."));
    searchLength_ = pattern.size();
    // The worker touches nothing but the atomics; the progress timer on this thread picks up
    // its result.
    searchThread_ = std::thread([this, source, pattern, from] {
        searchResult_.store(FindBytes(*source, pattern, from, searchCancel_, &searchProgress_));
        searchDone_.store(true);
    });
    return true;
}

void HexView::pollSearch() {
    if (!searchThread_.joinable()) {
        progressTimer_->stop();
        return;
    }
    if (!searchDone_.load()) {
        findStatus_->setText(QStringLiteral("Searching... %1%").arg(searchProgress_.load() / 10));
        return;
    }
    searchThread_.join();
    progressTimer_->stop();
    const std::int64_t foundAt = searchResult_.load();
    if (foundAt < 0) {
        findStatus_->setText(QStringLiteral("Not found"));
    } else {
        findStatus_->setText(QStringLiteral("Found at %1").arg(offsetText(foundAt)));
        setCaret(foundAt);
        setCaret(foundAt + searchLength_ - 1, true);
        setTopRow(foundAt / kBytesPerRow - visibleRows() / 2);
    }
    emit searchFinished(foundAt < 0 ? -1 : foundAt);
}

void HexView::cancelSearch() {
    if (!searching()) return;
    stopSearchThread();
    findStatus_->setText(QStringLiteral("Search stopped"));
}

void HexView::stopSearchThread() {
    searchCancel_ = true;
    if (searchThread_.joinable()) searchThread_.join();
    progressTimer_->stop();
}

}  // namespace keldrin
