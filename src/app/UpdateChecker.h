#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace pv {

// The update page of this build (the CMake setting PV_UPDATE_URL); empty when the build has none,
// and then no check is ever made.
const char* updatePageUrl();

// Asks the update page once, in the background, whether a newer version exists. Nothing waits
// for it and it never reports an error: a failed request, an error status or a page that
// cannot be read simply ends the check.
class UpdateChecker : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kAgent = "PortaVigilant Update Service";
    // A server that accepts the connection and then says nothing must not keep the request.
    static constexpr int kTimeoutMs = 30000;

    explicit UpdateChecker(QObject* parent = nullptr);
    ~UpdateChecker() override;

    // Starts the request; false (and no signal) for an empty or non-HTTP address, or while a
    // check runs.
    bool start(const QString& url);
    bool running() const { return !reply_.isNull(); }

  signals:
    // The page offers a newer version; the text is the one to show.
    void newerVersion(const QString& message);
    // The check has ended, whatever its outcome.
    void finished();

  private:
    void onReadyRead();
    void onFinished();

    QNetworkAccessManager* manager_ = nullptr;
    QPointer<QNetworkReply> reply_;
    QByteArray page_;
};

}  // namespace pv
