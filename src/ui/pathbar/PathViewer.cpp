#include "ui/pathbar/PathViewer.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "common/Translate.h"
#include "ui/pathbar/PathViewerAccessible.h"

TqvPathViewer::TqvPathViewer(QWidget *parent)
    : QWidget(parent)
{
    InstallPathViewerAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QString::fromStdString(_("Location")));
    resize(150, 25);
}

TqvPathViewer::~TqvPathViewer()
{
    FInShutdown = true;
    if (FPathEdit)
        FPathEdit->removeEventFilter(this);
}

QSize TqvPathViewer::sizeHint() const
{
    return {150, 25};
}

void TqvPathViewer::SetPath(const QString &path)
{
    FPath = path;
    SplitPath();
    FHotPos = -2;
    FPathIdx = -1;
    FState = isNormal;
    CalcPathOffset();
    emit PathChanged();
    if (QAccessible::isActive()) {
        QAccessibleEvent ev(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&ev);
        QAccessibleTableModelChangeEvent reset(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&reset);
    }
    update();
}

void TqvPathViewer::SetPathSeparator(QChar separator)
{
    FSeparator = separator;
    SetPath(FPath);
}

void TqvPathViewer::SplitPath()
{
    FPaths.clear();
    const QStringList pieces = FPath.split(FSeparator);
    for (int i = 0; i < pieces.size(); ++i) {
        // An empty piece right after the first one is the root of an absolute path, unless the
        // text ends there (a trailing separator); every other empty piece is a doubled or a
        // trailing separator and names nothing.
        const bool root = i == 1 && FPaths.size() == 1 && pieces.size() > 2;
        if (!pieces[i].isEmpty() || root)
            FPaths.append(pieces[i]);
    }
}

QString TqvPathViewer::GetPathPart(int beginIndex, int endIndex) const
{
    QString result;
    for (int i = std::max(beginIndex, 0); i <= endIndex && i < FPaths.size(); ++i)
        result += FPaths[i] + FSeparator;
    return result;
}

QString TqvPathViewer::SegmentText(int index) const
{
    if (index < 0 || index >= FPaths.size())
        return {};
    return FPaths[index].isEmpty() ? QString(FSeparator) : FPaths[index];
}

void TqvPathViewer::SetHasSubItems(bool value)
{
    FShowArrow = value;
    CalcPathOffset();
    update();
}

void TqvPathViewer::SetHideFirstLevel(bool value)
{
    FHideFirst = value;
    CalcPathOffset();
    update();
}

void TqvPathViewer::SetFramed(bool value)
{
    FFramed = value;
    update();
}

void TqvPathViewer::SetColors(const TPathViewerColors &colors)
{
    FColors = colors;
    update();
}

void TqvPathViewer::SetImage(const QIcon &icon)
{
    FImage = icon;
    update();
}

int TqvPathViewer::TextWidth(int index) const
{
    return fontMetrics().horizontalAdvance(SegmentText(index));
}

void TqvPathViewer::CalcPathOffset()
{
    const int count = static_cast<int>(FPaths.size());
    if (count == 0)
        return;
    std::vector<int> widths(static_cast<std::size_t>(count));
    long long needed = 36;
    for (int i = 0; i < count; ++i) {
        widths[static_cast<std::size_t>(i)] = TextWidth(i);
        needed += widths[static_cast<std::size_t>(i)] + 23;
    }
    if (!FShowArrow)
        needed -= 14;
    const long long available = width() - 8;
    int offset = 0;
    if (needed >= available) {
        long long excess = needed - available;
        int i = 0;
        while (excess > 0 && i < count - 1) {
            excess -= widths[static_cast<std::size_t>(i)] + 23;
            ++i;
        }
        offset = excess <= 0 ? i : count;
    }
    if (FHideFirst && count >= 2 && offset == 0)
        offset = 1;
    FPathOffset = offset;
    FArrowStyle = offset > 0 ? pvaBack : pvaNone;
}

std::vector<TPathElement> TqvPathViewer::Layout() const
{
    std::vector<TPathElement> elements;
    const int count = static_cast<int>(FPaths.size());
    if (count == 0)
        return elements;
    const int offset = std::max(FPathOffset, 0);
    int x = LeadWidth;
    if (offset > 0) {
        elements.push_back({TPathElement::BackArrow, x, x + ArrowWidth, offset - 1});
        x += ArrowWidth;
    }
    for (int i = offset; i < count; ++i) {
        const int w = TextWidth(i) + SegmentPadding;
        elements.push_back({TPathElement::Segment, x, x + w, i});
        x += w;
        if (i < count - 1 || FShowArrow)
            elements.push_back({TPathElement::Arrow, x, x + ArrowWidth, i});
        x += ArrowWidth;
    }
    return elements;
}

void TqvPathViewer::UpdateHotState()
{
    FState = isNormal;
    FInButton = FButtonDown && FHotPt.y() > 0 && FHotPt.y() <= height();
    CalcPathOffset();
    const std::vector<TPathElement> elements = Layout();
    const TPathElement *hot = nullptr;
    for (const TPathElement &e : elements)
        if (FHotPt.x() >= e.Left && FHotPt.x() <= e.Right)
            hot = &e; // on a shared border the later element wins
    if (!hot) {
        FHotPos = -2;
        return;
    }
    const bool arrow = hot->Kind != TPathElement::Segment;
    if (FButtonDown)
        FState = arrow ? isArrowPressed : isButtonPressed;
    else
        FState = arrow ? isArrowHot : isButtonHot;
    FPopupPos = mapToGlobal(QPoint(hot->Right - 35, height() - 1));
    if (hot->Kind == TPathElement::BackArrow) {
        FPopupPath = QStringLiteral("*");
        FPathIdx = -1;
    } else {
        FPopupPath = GetPathPart(0, hot->Index);
        FPathIdx = hot->Index;
    }
    FHotPos = hot->Index;
    if (FButtonDown && (FHotPos != FBtnIdx || !FInButton) && (FState == isArrowPressed || FState == isButtonPressed))
        FState = isNormal;
}

QString TqvPathViewer::ElementName(const TPathElement &element) const
{
    switch (element.Kind) {
    case TPathElement::Segment:
        return SegmentText(element.Index);
    case TPathElement::Arrow:
        return QString::fromStdString(_("Sub-folders of %s")).replace(QStringLiteral("%s"), SegmentText(element.Index));
    case TPathElement::BackArrow:
        break;
    }
    return QString::fromStdString(_("Hidden levels"));
}

void TqvPathViewer::PressElement(const TPathElement &element)
{
    if (element.Kind == TPathElement::Segment) {
        emit PathClick(element.Index);
        return;
    }
    const QString path = element.Kind == TPathElement::BackArrow ? QStringLiteral("*") : GetPathPart(0, element.Index);
    const int index = element.Kind == TPathElement::BackArrow ? -1 : element.Index;
    emit CustomPopup(path, FPathOffset, index, mapToGlobal(QPoint(element.Right - 35, height() - 1)));
}

void TqvPathViewer::ResetAfterPopup()
{
    if (FInShutdown)
        return;
    FHotPos = -2;
    FHotPt = {-1, -1};
    FState = isNormal;
    FPathIdx = -1;
    FPopupPath.clear();
    FButtonDown = false;
    FPopUp = false;
    repaint();
}

void TqvPathViewer::mouseMoveEvent(QMouseEvent *event)
{
    FHotPt = event->position().toPoint();
    FHotPos = -2;
    update();
}

void TqvPathViewer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    FHotPt = event->position().toPoint();
    FButtonDown = false; // a new press: whatever an earlier one left behind is over
    UpdateHotState();
    if (FInEdit) {
        FButtonDown = true;
        UpdateHotState();
        update();
        return;
    }
    const bool hit = FState != isNormal;
    FBtnIdx = FHotPos;
    FPopUp = FState == isArrowHot;
    FButtonDown = true;
    UpdateHotState();
    repaint();
    if (FPopUp && !FPopupPath.isEmpty()) {
        emit CustomPopup(FPopupPath, FPathOffset, FPathIdx, FPopupPos);
        // Once the drop-down is up, the bar forgets the press: the drop-down owns the mouse.
        QMetaObject::invokeMethod(this, &TqvPathViewer::ResetAfterPopup, Qt::QueuedConnection);
    }
    if (!hit && FAllowEdit && !FInEdit)
        DoEdit();
    if (!hit)
        FPopupPath = FPath;
    QWidget::mousePressEvent(event);
}

void TqvPathViewer::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || FPopUp) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    FHotPt = event->position().toPoint();
    UpdateHotState();
    const bool click = FState == isButtonPressed && FClickSetPath && FInButton;
    const int index = FPathIdx;
    FButtonDown = false;
    FPopUp = false;
    update();
    if (click)
        emit PathClick(index);
}

void TqvPathViewer::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (FPopUp)
        return;
    FButtonDown = false;
    FPopUp = false;
    FHotPt = {-1, -1};
    FHotPos = -2;
    FState = isNormal;
    update();
}

void TqvPathViewer::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    update();
}

void TqvPathViewer::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    emit Entered();
}

void TqvPathViewer::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    emit Exited();
    FButtonDown = false;
    FPopUp = false;
    FHotPt = {-1, -1};
    FHotPos = -2;
    FState = isNormal;
    FPathIdx = -1;
    FPopupPath.clear();
    update();
}

void TqvPathViewer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    CalcPathOffset();
    if (FPathEdit)
        FPathEdit->setGeometry(4, (height() - FPathEdit->height()) / 2, width() - 8, FPathEdit->height());
    update();
}

void TqvPathViewer::DoEdit()
{
    if (FInEdit)
        return;
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("PathEdit"));
    edit->setFrame(false);
    edit->setFont(font());
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, palette().color(QPalette::Base));
    edit->setPalette(pal);
    // Text height plus a margin; a height taken from the point size alone clips the text on
    // screens of other densities.
    const int h = edit->fontMetrics().height() + 6;
    edit->setGeometry(4, (height() - h) / 2, width() - 8, h);
    edit->setAccessibleName(QString::fromStdString(_("Location")));
    QString text = FPath;
    if (OnPathEdit)
        OnPathEdit(edit, text);
    edit->setText(text);
    edit->installEventFilter(this);
    FPathEdit = edit;
    FInEdit = true;
    edit->show();
    update();
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    if (QAccessible::isActive()) {
        QAccessibleEvent ev(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&ev);
    }
}

void TqvPathViewer::ExitEditMode()
{
    if (!FInEdit)
        return;
    FInEdit = false;
    QPointer<QLineEdit> edit = FPathEdit;
    FPathEdit = nullptr;
    if (edit) {
        const bool hadFocus = edit->hasFocus();
        edit->removeEventFilter(this);
        edit->hide();
        // This runs from the field's own key and focus handlers: it goes once they returned.
        edit->deleteLater();
        if (hadFocus && parentWidget() && !FInShutdown)
            setFocus(Qt::OtherFocusReason);
    }
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent ev(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&ev);
    }
}

bool TqvPathViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != FPathEdit || !FInEdit)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
            EditKey(key);
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        QMetaObject::invokeMethod(FPathEdit, &QLineEdit::selectAll, Qt::QueuedConnection);
        break;
    case QEvent::FocusOut:
        // A drop-down of the field's own (its context menu) is no loss of focus.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            ExitEditMode();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TqvPathViewer::EditKey(int key)
{
    if (key == Qt::Key_Escape) {
        ExitEditMode();
        return;
    }
    const QString text = FPathEdit->text();
    QPointer<TqvPathViewer> self(this);
    emit EditedPath(text);
    if (self)
        ExitEditMode();
}
