#include "app/theme.h"
#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace quillon {

bool WantsDarkTheme()
{
    const QString chosen = qEnvironmentVariable("QUILLON_THEME").trimmed().toLower();
    if (chosen == QLatin1String("dark"))
        return true;
    if (chosen == QLatin1String("light"))
        return false;
    const QString gtk = qEnvironmentVariable("GTK_THEME").toLower();
    if (gtk.endsWith(QLatin1String(":dark")) || gtk.endsWith(QLatin1String("-dark")))
        return true;
    if (!qApp)
        return false;
    // A platform theme that already hands out a dark palette.
    return QApplication::palette().color(QPalette::Window).lightness() < 100;
}

QPalette DarkPalette()
{
    const QColor window(62, 65, 70), base(24, 25, 28), text(225, 227, 230), disabled(125, 128, 133);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    // Fusion outlines boxes in a darker shade of Window: Base must stay well below it.
    p.setColor(QPalette::AlternateBase, QColor(34, 35, 39));
    p.setColor(QPalette::ToolTipBase, QColor(60, 63, 68));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(70, 73, 78));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 110, 110));
    p.setColor(QPalette::Light, QColor(75, 78, 84));
    p.setColor(QPalette::Midlight, QColor(62, 65, 70));
    p.setColor(QPalette::Mid, QColor(40, 42, 46));
    p.setColor(QPalette::Dark, QColor(25, 26, 28));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    p.setColor(QPalette::Highlight, QColor(42, 110, 190));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(110, 170, 250));
    p.setColor(QPalette::LinkVisited, QColor(170, 140, 240));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 72, 76));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, disabled);
    return p;
}

void ApplyDesktopTheme()
{
    static bool applied = false;
    if (applied || !qApp)
        return;
    applied = true;
    if (!WantsDarkTheme())
        return;
    // The native styles draw with their own colours and ignore a dark palette.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(DarkPalette());
}

} // namespace quillon
