#include "SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace wendrel {

QString SystemClipboard::text() const
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void SystemClipboard::setText(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

} // namespace wendrel
