// Helper of the device test.
//   device-helper table   prints the key table as JSON: id, caption, rectangle, face colour,
//                         whether visual response lights the key, and the cells of its
//                         long-press popup (small letters, no modifier).
//   device-helper floor   the toolkit's floor for the start-up figures: a bare Qt window with a
//                         text edit and 66 push buttons at the keys' places, full screen.
#include "Alternates.h"
#include "KeyTable.h"
#include "PopupLayout.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <cstdio>

namespace {

int printTable()
{
    QJsonArray keys;
    for (const wendrel::KeyDef &key : wendrel::keyTable()) {
        const QStringList offered = wendrel::keyAlternates(key, false, false, false);
        const QList<QRectF> cells = wendrel::popupCellRects(
            QRectF(key.rect.x, key.rect.y, key.rect.width, key.rect.height), int(offered.size()));
        QJsonArray alternates;
        for (qsizetype i = 0; i < offered.size(); ++i) {
            const QRectF &r = cells[i];
            alternates.append(QJsonObject{{QStringLiteral("text"), offered[i]},
                                          {QStringLiteral("rect"), QJsonArray{r.x(), r.y(), r.width(), r.height()}}});
        }
        keys.append(QJsonObject{
            {QStringLiteral("alternates"), alternates},
            {QStringLiteral("id"), key.id},
            {QStringLiteral("caption"), wendrel::keyCaption(key, false, false, false)},
            {QStringLiteral("rect"), QJsonArray{key.rect.x, key.rect.y, key.rect.width, key.rect.height}},
            {QStringLiteral("face"), QJsonArray{key.face.red, key.face.green, key.face.blue}},
            {QStringLiteral("lights"), key.lights},
        });
    }
    const QJsonObject table{
        {QStringLiteral("keys"), keys},
        {QStringLiteral("background"), QJsonArray{wendrel::backgroundColour.red, wendrel::backgroundColour.green,
                                                  wendrel::backgroundColour.blue}},
        {QStringLiteral("lit"), QJsonArray{wendrel::litColour.red, wendrel::litColour.green, wendrel::litColour.blue}},
    };
    std::fputs(QJsonDocument(table).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

int runFloor(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QWidget window;
    // The window in the keyboard's background colour, so a test can tell when it is drawn.
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(wendrel::backgroundColour.red, wendrel::backgroundColour.green,
                                              wendrel::backgroundColour.blue));
    window.setPalette(palette);
    auto *edit = new QPlainTextEdit(&window);
    const wendrel::KeyRect area = wendrel::textAreaRect;
    edit->setGeometry(area.x, area.y, area.width, area.height);
    for (const wendrel::KeyDef &key : wendrel::keyTable()) {
        auto *button = new QPushButton(QString::fromUtf16(key.caption), &window);
        button->setGeometry(key.rect.x, key.rect.y, key.rect.width, key.rect.height);
    }
    window.showFullScreen();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "table")
        return printTable();
    if (mode == "floor")
        return runFloor(argc, argv);
    std::fputs("usage: device-helper table | floor\n", stderr);
    return 2;
}
