// A program that claims the single instance like lyrafold does and reports on standard output what
// happened: "forwarded", "standalone", "not answering", "data in use", or "listening" followed by one
// "received <path>" line per path handed over by a later launch (then it ends).

#include "platform/desktop/SingleInstance.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList paths;
    for (const QString &argument : QCoreApplication::arguments().mid(1))
        paths.append(QFileInfo(argument).absoluteFilePath());

    SingleInstance instance;
    switch (instance.claim(paths)) {
    case SingleInstance::Role::Forwarded:
        std::puts("forwarded");
        return 0;
    case SingleInstance::Role::Standalone:
        std::puts("standalone");
        return 2;
    case SingleInstance::Role::NotAnswering:
        std::puts("not answering");
        return 3;
    case SingleInstance::Role::DataInUse:
        std::puts("data in use");
        return 4;
    case SingleInstance::Role::Primary:
        break;
    }
    QObject::connect(&instance, &SingleInstance::launchedAgain, &app, [](const QStringList &received) {
        for (const QString &path : received)
            std::printf("received %s\n", qPrintable(path));
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    std::puts("listening");
    std::fflush(stdout);
    return app.exec();
}
