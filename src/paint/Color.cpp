#include "paint/Color.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// The palette role that plays the part of each system colour index on a Linux desktop.
bool SystemColorRole(unsigned index, QPalette::ColorGroup &group, QPalette::ColorRole &role)
{
    group = QPalette::Active;
    switch (index) {
    case 0: // scroll bar
    case 15: // button face
        role = QPalette::Button;
        return true;
    case 1: // desktop background
    case 4: // menu
        role = QPalette::Window;
        return true;
    case 2: // active caption
    case 13: // highlight
    case 26: // hot light
        role = QPalette::Highlight;
        return true;
    case 3: // inactive caption
        group = QPalette::Inactive;
        role = QPalette::Highlight;
        return true;
    case 5: // window
        role = QPalette::Base;
        return true;
    case 6: // window frame
    case 21: // 3-D dark shadow
        role = QPalette::Shadow;
        return true;
    case 7: // menu text
        role = QPalette::WindowText;
        return true;
    case 8: // window text
        role = QPalette::Text;
        return true;
    case 9: // caption text
    case 14: // highlight text
        role = QPalette::HighlightedText;
        return true;
    case 10: // active border
    case 11: // inactive border
        role = QPalette::Mid;
        return true;
    case 12: // application workspace
        role = QPalette::Dark;
        return true;
    case 16: // button shadow
        role = QPalette::Dark;
        return true;
    case 17: // grey text
        group = QPalette::Disabled;
        role = QPalette::Text;
        return true;
    case 18: // button text
        role = QPalette::ButtonText;
        return true;
    case 19: // inactive caption text
        group = QPalette::Inactive;
        role = QPalette::HighlightedText;
        return true;
    case 20: // button highlight
        role = QPalette::Light;
        return true;
    case 22: // 3-D light
        role = QPalette::Midlight;
        return true;
    case 23: // tooltip text
        role = QPalette::ToolTipText;
        return true;
    case 24: // tooltip background
        role = QPalette::ToolTipBase;
        return true;
    default:
        return false;
    }
}

} // namespace

TColor ColorToRGB(TColor color)
{
    if (!IsSystemColor(color)) {
        return color & 0x00FFFFFFu;
    }
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    if (!SystemColorRole(color & 0xFFu, group, role)) {
        return clBlack;
    }
    return FromQColor(QGuiApplication::palette().color(group, role));
}

QColor ToQColor(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return QColor(
        static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>((rgb >> 16) & 0xFF));
}

TColor FromQColor(const QColor &color)
{
    return RGBColor(color.red(), color.green(), color.blue());
}
