#include "app/UpdateChecker.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace pv;

namespace {

const QByteArray kNewerPage =
    "<html><body>Project: PortaVigilant<br>Version: 6.10<br>Release: 01. 02. 2027<br>"
    "URL: http://www.example.invalid/pv.html<br></body></html>";

// A web server on 127.0.0.1 that answers every request with one canned response and keeps the
// request it got.
class PageServer : public QObject {
  public:
    explicit PageServer(QByteArray response) : response_(std::move(response)) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    request += socket->readAll();
                    if (request.contains("\r\n\r\n")) {
                        socket->write(response_);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    QString url() const {
        return QString("http://127.0.0.1:%1/PortaVigilant/update/PortaVigilant.html")
            .arg(server_.serverPort());
    }

    QByteArray request;

  private:
    QTcpServer server_;
    QByteArray response_;
};

QByteArray response(const char* status, const QByteArray& body) {
    return QByteArray("HTTP/1.1 ") + status +
           "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

struct Outcome {
    bool finished = false;
    QStringList messages;
};

Outcome check(const QString& url) {
    UpdateChecker checker;
    QSignalSpy finished(&checker, &UpdateChecker::finished);
    QSignalSpy newer(&checker, &UpdateChecker::newerVersion);
    EXPECT_TRUE(checker.start(url));
    EXPECT_TRUE(checker.running());
    Outcome outcome;
    outcome.finished = finished.wait(20000);
    EXPECT_FALSE(checker.running());
    for (const QList<QVariant>& args : newer) {
        outcome.messages << args.at(0).toString();
    }
    return outcome;
}

TEST(UpdateChecker, ANewerVersionOnThePageBecomesTheMessage) {
    PageServer server(response("200 OK", kNewerPage));
    const Outcome outcome = check(server.url());
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(outcome.messages.size(), 1);
    EXPECT_EQ(outcome.messages[0],
              "A newer version of PortaVigilant is available!\n\nThis version is V6.01, "
              "available is V6.10, released on 01.02.2027.\n\nSee "
              "http://www.example.invalid/pv.html for more information.");
    EXPECT_TRUE(server.request.startsWith("GET /PortaVigilant/update/PortaVigilant.html HTTP/1.1"))
        << server.request.toStdString();
    EXPECT_TRUE(server.request.contains("User-Agent: PortaVigilant Update Service\r\n"))
        << server.request.toStdString();
}

// Every way the check can fail ends it quietly: no message, and the check is over.
TEST(UpdateChecker, FailuresEndTheCheckSilently) {
    const QByteArray equal = QByteArray(kNewerPage).replace("6.10", "6.01");
    const struct {
        const char* name;
        QByteArray response;
    } cases[] = {
        {"same version", response("200 OK", equal)},
        {"error status with a newer page", response("404 Not Found", kNewerPage)},
        {"no answer, connection closed", QByteArray()},
        {"not HTTP", "garbage\r\n\r\n"},
    };
    for (const auto& c : cases) {
        PageServer server(c.response);
        const Outcome outcome = check(server.url());
        EXPECT_TRUE(outcome.finished) << c.name;
        EXPECT_TRUE(outcome.messages.isEmpty()) << c.name;
    }

    // Nobody listening.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const Outcome refused = check(QString("http://127.0.0.1:%1/x.html").arg(port));
    EXPECT_TRUE(refused.finished);
    EXPECT_TRUE(refused.messages.isEmpty());

    UpdateChecker checker;
    EXPECT_FALSE(checker.start(QString())) << "an empty address makes no check";
    EXPECT_FALSE(checker.start("ftp://127.0.0.1/x.html"));
    EXPECT_FALSE(checker.running());
}

// A huge page is not read to its end: its head decides.
TEST(UpdateChecker, OnlyTheHeadOfALongPageIsRead) {
    PageServer server(response("200 OK", kNewerPage + QByteArray(4 << 20, ' ')));
    const Outcome outcome = check(server.url());
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.messages.size(), 1);
}

}  // namespace
