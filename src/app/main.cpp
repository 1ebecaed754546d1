#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lyrafold"));
    QApplication::setApplicationName(QStringLiteral("Lyrafold"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lyrafold"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("LYRAFOLD (beta)"));
    window.resize(1380, 640);
    window.setMinimumSize(1200, 480);
    window.show();
    return app.exec();
}
