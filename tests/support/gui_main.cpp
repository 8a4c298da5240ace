// Runs GoogleTest inside a QApplication on the offscreen platform, so widget tests need no
// display.
#include <QApplication>
#include <QStyleFactory>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Keep the tests' Start Menu, config and clipboard away from the user's own.
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("wendrel-test"));
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
