#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Collects what would have gone to the desktop's default handler; register it with
// QDesktopServices::setUrlHandler(scheme, &recorder, "open").
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};
