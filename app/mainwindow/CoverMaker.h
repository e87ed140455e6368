// Covers made when they are shown: an analysis for the window leaves the covers that need a
// full decode (a picture without a large enough preview, a film's frame) to be made here,
// on a background thread, for the files whose row or view is on screen.
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include "model/PerspixData.h"

namespace perspix {

class CoverMaker : public QObject
{
    Q_OBJECT
public:
    static CoverMaker& instance();

    // The cover made for the file's data; null while it is being made (coverMade follows)
    // and when the file gives none. Data without a cover left to make gives null at once.
    QImage cover(const PerspixDataPtr& data);

signals:
    void coverMade(const QString& path);

private:
    explicit CoverMaker(QObject* parent = nullptr);
    ~CoverMaker() override;
    void made(const QString& key, const QString& path, const QImage& image);

    QCache<QString, QImage> m_made; // cost in KiB
    QSet<QString> m_waiting;
    QSet<QString> m_failed;
    int m_requests = 0;
    QThreadPool m_pool;
};

} // namespace perspix
