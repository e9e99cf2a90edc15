#include "app/UpdateChecker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "app/UpdatePage.h"
#include "base/Version.h"

#ifndef PV_UPDATE_URL
#define PV_UPDATE_URL ""
#endif

namespace pv {

const char* updatePageUrl() {
    return PV_UPDATE_URL;
}

UpdateChecker::UpdateChecker(QObject* parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)) {}

UpdateChecker::~UpdateChecker() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

bool UpdateChecker::start(const QString& url) {
    const QUrl address(url);
    if (running() || !address.isValid() ||
        (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https"))) {
        return false;
    }
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kAgent));
    // Always the server's current page, never a cached copy.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(kTimeoutMs);
    page_.clear();
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateChecker::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &UpdateChecker::onFinished);
    return true;
}

// Only the head of the page matters; a huge page is neither kept nor read to its end.
void UpdateChecker::onReadyRead() {
    const qint64 room = static_cast<qint64>(kUpdatePageReadLimit) - page_.size();
    if (room > 0) {
        page_.append(reply_->read(room));
    }
    if (page_.size() >= static_cast<qsizetype>(kUpdatePageReadLimit)) {
        reply_->disconnect(this);
        reply_->abort();
        onFinished();
    }
}

void UpdateChecker::onFinished() {
    QNetworkReply* reply = reply_.data();
    if (reply == nullptr) {
        return;
    }
    reply_.clear();
    const bool complete = page_.size() >= static_cast<qsizetype>(kUpdatePageReadLimit);
    if (!complete) {
        page_.append(reply->read(static_cast<qint64>(kUpdatePageReadLimit) - page_.size()));
    }
    const bool ok = complete || reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    if (ok) {
        const std::optional<std::string> message = updateMessage(
            std::string_view(page_.constData(), static_cast<size_t>(page_.size())), kVersion);
        if (message) {
            emit newerVersion(QString::fromLatin1(message->c_str()));
        }
    }
    emit finished();
}

}  // namespace pv
