#pragma once

#include <functional>
#include <vector>

#include <QColor>
#include <QIcon>
#include <QLineEdit>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>

enum TpvItemState { isNormal, isButtonPressed, isArrowPressed, isButtonHot, isArrowHot };
enum TpvArrow { pvaNone, pvaNormal, pvaBack };

// One clickable element of the bar, in client x coordinates with both ends inclusive.
struct TPathElement
{
    enum TKind { Segment, Arrow, BackArrow };
    TKind Kind = Segment;
    int Left = 0;
    int Right = 0;
    int Index = -1; // segment index; the back arrow carries the first visible index - 1
};

// The colours of the highlighted elements. Qt colours; the defaults are the light look.
struct TPathViewerColors
{
    QColor BtnGreyGrad1 {242, 242, 242};
    QColor BtnGreyGrad2 {227, 227, 227};
    QColor BtnNormGrad1 {234, 246, 253};
    QColor BtnNormGrad2 {166, 217, 244};
    QColor BtnHotGrad1 {234, 246, 253};
    QColor BtnHotGrad2 {172, 223, 250};
    QColor BtnPenGray {143, 143, 143};
    QColor BtnPenNorm {60, 127, 177};
    QColor BtnPenShade1 {100, 119, 146};
    QColor BtnPenShade2 {156, 207, 234};
    QColor BtnPenArrow {0, 0, 0};
};

// A breadcrumb bar: the segments of a path, each followed by an arrow that asks for a drop-down
// of what lies below. Clicking a segment reports its index; clicking the empty part turns the
// bar into a text field. Leading segments that do not fit hide behind a back arrow.
//
// Splitting: the path is cut at every separator; the trailing separator and empty pieces are
// dropped, except an empty piece right after the first segment, which stands for the root of
// an absolute path ("Home//usr" gives "Home", "", "usr"). It shows as the separator itself and
// GetPathPart(1, 1) gives just the separator. Names are kept byte for byte: no trimming.
class TqvPathViewer final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LeadWidth = 22;
    static constexpr int ArrowWidth = 14;
    static constexpr int SegmentPadding = 9;

    explicit TqvPathViewer(QWidget *parent = nullptr);
    ~TqvPathViewer() override;

    [[nodiscard]] const QString &Path() const { return FPath; }
    void SetPath(const QString &path);
    [[nodiscard]] QChar PathSeparator() const { return FSeparator; }
    void SetPathSeparator(QChar separator);
    [[nodiscard]] const QStringList &PathParts() const { return FPaths; }
    // Segments beginIndex..endIndex (valid ones only), each followed by the separator.
    [[nodiscard]] QString GetPathPart(int beginIndex, int endIndex) const;
    // The text a segment shows: the separator for the root segment.
    [[nodiscard]] QString SegmentText(int index) const;
    [[nodiscard]] int PathOffset() const { return FPathOffset; }
    [[nodiscard]] TpvArrow ArrowStyle() const { return FArrowStyle; }
    [[nodiscard]] const QString &PopupPath() const { return FPopupPath; }

    [[nodiscard]] bool HasSubItems() const { return FShowArrow; }
    void SetHasSubItems(bool value);
    [[nodiscard]] bool HideFirstLevel() const { return FHideFirst; }
    void SetHideFirstLevel(bool value);
    [[nodiscard]] bool AllowEdit() const { return FAllowEdit; }
    void SetAllowEdit(bool value) { FAllowEdit = value; }
    [[nodiscard]] bool ClickSetPath() const { return FClickSetPath; }
    void SetClickSetPath(bool value) { FClickSetPath = value; }
    [[nodiscard]] bool Framed() const { return FFramed; }
    void SetFramed(bool value);
    [[nodiscard]] const TPathViewerColors &Colors() const { return FColors; }
    void SetColors(const TPathViewerColors &colors);
    void SetImage(const QIcon &icon);

    // Enters edit mode: a text field over the bar holding the path (or what OnPathEdit makes
    // of it), focused with its text selected.
    void DoEdit();
    // Leaves edit mode; the field is destroyed once the current event has been handled, since
    // this may run from inside the field's own key or focus handling.
    void ExitEditMode();
    [[nodiscard]] bool InEdit() const { return FInEdit; }
    [[nodiscard]] QLineEdit *EditField() const { return FPathEdit; }
    void UpdateView();

    // Recomputes the hidden levels for the current width.
    void CalcPathOffset();
    // The elements in layout order.
    [[nodiscard]] std::vector<TPathElement> Layout() const;
    [[nodiscard]] TpvItemState State() const { return FState; }
    [[nodiscard]] int HotPos() const { return FHotPos; }
    [[nodiscard]] int PathIdx() const { return FPathIdx; }
    // The accessible name of an element: the segment text, "Sub-folders of NAME" for an arrow.
    [[nodiscard]] QString ElementName(const TPathElement &element) const;
    // What a click on the element does, without a mouse: a segment reports its index, an arrow
    // asks for its drop-down.
    void PressElement(const TPathElement &element);

    // Called with the field and the text it would start with; may change the text.
    std::function<void(QLineEdit *edit, QString &path)> OnPathEdit;

signals:
    void PathClick(int pathIdx);
    // A drop-down for the level `path` ("*" for the back arrow, index -1) at a screen point.
    void CustomPopup(const QString &path, int offset, int index, const QPoint &screenPos);
    void EditedPath(const QString &path);
    void PathChanged();
    void Entered();
    void Exited();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    [[nodiscard]] QSize sizeHint() const override;

private:
    void SplitPath();
    [[nodiscard]] int TextWidth(int index) const;
    void UpdateHotState();
    void ResetAfterPopup();
    void DrawElement(QPainter &painter, QRect r, bool segment, bool back, TpvItemState state, const QString &text);
    void GradientFillRect(QPainter &painter, const QRect &r, const QColor &c1, const QColor &c2) const;
    void EditKey(int key);

    QString FPath;
    QStringList FPaths;
    QChar FSeparator = QLatin1Char('/');
    int FPathOffset = -1;
    TpvArrow FArrowStyle = pvaNone;
    bool FShowArrow = false;
    bool FHideFirst = false;
    bool FFramed = true;
    bool FAllowEdit = true;
    bool FClickSetPath = true;
    QColor FBorderColor {192, 192, 192};
    TPathViewerColors FColors;
    QIcon FImage;

    QPoint FHotPt {-1, -1};
    int FHotPos = -2;
    TpvItemState FState = isNormal;
    bool FButtonDown = false;
    int FBtnIdx = -2;
    bool FInButton = false;
    int FPathIdx = -1;
    QString FPopupPath;
    QPoint FPopupPos;
    bool FPopUp = false;
    QPointer<QLineEdit> FPathEdit;
    bool FInEdit = false;
    bool FInShutdown = false;
};
