// A Qt text field for the Wayland tests: Qt 6.4 speaks no text-input v3, so it gets Wendrel's
// keys from the virtual keyboard. Prints the field's text as a JSON string whenever it changes.
#include <QApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLineEdit>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("wendrel-qt-field"));
    QLineEdit field;
    field.setWindowTitle(QStringLiteral("wendrel-qt-field"));
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString &text) {
        const QByteArray line = QJsonDocument::fromVariant(QVariantList{text}).toJson(QJsonDocument::Compact);
        // ["text"] -> "text"
        std::printf("%s\n", line.mid(1, line.size() - 2).constData());
        std::fflush(stdout);
    });
    field.show();
    std::printf("\"ready\"\n");
    std::fflush(stdout);
    return app.exec();
}
