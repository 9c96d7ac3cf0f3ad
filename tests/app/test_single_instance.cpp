// One running program per user: only a lock that another program holds
// keeps a start from running. Whatever else stands in the way of the lock
// file lets the program run on its own, and the log says why. A later start
// reaches the first through a socket in a folder of the user's own, whatever
// others or a killed copy left in the way, and hands over its launch token
// intact; a request that is not exactly one to show the window is refused.
// "Another user" is a file or folder given to nobody (65534) by the test,
// which runs as root.

#include "ScratchFolder.h"
#include "SingleInstance.h"
#include "TestHome.h"
#include "WindowActivation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorbel;
using quorbel::test::ScopedEnvironment;

namespace {

constexpr uid_t kNobody = 65534;

// Leaves a socket file at `path` with nothing listening on it, as a program
// killed while listening does.
bool leaveDeadSocket(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

struct Identity {
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    ino_t inode = 0;
};

Identity identityOf(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, info.st_mode, info.st_uid, info.st_ino};
}

// The longest token a launcher may hand over, of every byte a token may hold.
QByteArray longestToken()
{
    QByteArray allowed;
    for (char c = '!'; c <= '~'; ++c) {
        if (c != '"' && c != '\\')
            allowed += c;
    }
    QByteArray token;
    while (token.size() < LaunchToken::kMaxSize)
        token += allowed;
    return token.left(LaunchToken::kMaxSize);
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    // The lock lives in a cache folder of the test's own.
    void initTestCase()
    {
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void init()
    {
        m_key = QStringLiteral("quorbel-test-%1").arg(++m_round);
        m_lockPath = cacheFolder() + QLatin1Char('/') + m_key + QStringLiteral(".lock");
    }

    void cleanup()
    {
        ::chmod(QFile::encodeName(cacheFolder()).constData(), 0700);
        QDir(m_lockPath).removeRecursively();
        QFile::remove(m_lockPath);
    }

    void onlyAHeldLockMeansAnotherCopyRuns_data()
    {
        QTest::addColumn<QString>("atLockPath");
        QTest::addColumn<bool>("runs");
        QTest::newRow("nothing") << "" << true;
        QTest::newRow("lock held by another program") << "held" << false;
        QTest::newRow("folder") << "folder" << true;
        QTest::newRow("dangling link") << "dangling link" << true;
        QTest::newRow("link to a file") << "file link" << true;
        QTest::newRow("read-only cache folder") << "read-only" << true;
    }

    void onlyAHeldLockMeansAnotherCopyRuns()
    {
        QFETCH(QString, atLockPath);
        QFETCH(bool, runs);
        const QByteArray path = QFile::encodeName(m_lockPath);
        int held = -1;
        QFile target(cacheFolder() + QStringLiteral("/link-target"));
        if (atLockPath == u"held") {
            held = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            QVERIFY(held >= 0);
            QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        } else if (atLockPath == u"folder") {
            QVERIFY(QDir().mkdir(m_lockPath));
        } else if (atLockPath == u"dangling link") {
            QCOMPARE(::symlink("no-such-file", path.constData()), 0);
        } else if (atLockPath == u"file link") {
            QVERIFY(target.open(QIODevice::WriteOnly));
            target.write("kept");
            target.close();
            QCOMPARE(::symlink(QFile::encodeName(target.fileName()).constData(), path.constData()), 0);
        } else if (atLockPath == u"read-only") {
            if (::geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QCOMPARE(::chmod(QFile::encodeName(cacheFolder()).constData(), 0500), 0);
        }
        if (runs && !atLockPath.isEmpty()) {
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("single-instance lock .* runs on its own")));
        }

        {
            SingleInstance instance(m_key);
            QCOMPARE(instance.isFirst(), runs);
        }
        if (held >= 0)
            ::close(held);
        if (atLockPath == u"file link") {
            QVERIFY(target.open(QIODevice::ReadOnly));
            QCOMPARE(target.readAll(), QByteArray("kept"));
            target.remove();
        }
        // A copy that ran on its own leaves what it found in place.
        struct stat info {};
        if (atLockPath == u"folder")
            QVERIFY(::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode));
        if (atLockPath.endsWith(u"link"))
            QVERIFY(::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode));
    }

    // The first copy listens in the runtime folder when it is a private
    // folder of the user's own, else in the cache folder; whatever another
    // user or a killed copy put in the way, a later start's request arrives
    // within 3 s with its launch token intact, and what others put there is
    // neither followed nor removed.
    void aLaterStartReachesTheFirst_data()
    {
        QTest::addColumn<QString>("inTheWay");
        QTest::addColumn<bool>("inRuntimeFolder");
        QTest::newRow("nothing") << "" << true;
        QTest::newRow("old abstract name taken") << "abstract name" << true;
        QTest::newRow("socket of a killed copy") << "dead socket" << true;
        QTest::newRow("socket of another user") << "foreign socket" << false;
        QTest::newRow("link at the socket's path") << "link" << false;
        QTest::newRow("runtime folder of another user") << "foreign folder" << false;
        QTest::newRow("runtime folder open to others") << "open folder" << false;
        QTest::newRow("runtime folder is a link") << "folder link" << false;
        QTest::newRow("no runtime folder") << "no folder" << false;
        QTest::newRow("socket path longer than an address") << "deep folder" << true;
        QTest::newRow("socket path just short of an address") << "107 bytes" << true;
    }

    void aLaterStartReachesTheFirst()
    {
        QFETCH(QString, inTheWay);
        QFETCH(bool, inRuntimeFolder);
        if (inTheWay.startsWith(u"foreign") && ::geteuid() != 0)
            QSKIP("only root gives a file to another user");
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QString runtime = scratch.filePath(inTheWay == u"deep folder" ? QString(110, u'r') : QStringLiteral("runtime"));
        if (inTheWay == u"107 bytes") {
            // The socket's path, with its NUL, fills a socket address exactly.
            const qsizetype room = 107 - QFile::encodeName(scratch.path()).size() - 2 - m_key.size() - 7;
            QVERIFY(room > 0);
            runtime = scratch.filePath(QString(room, u'r'));
        }
        QVERIFY(QDir().mkdir(runtime));
        QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
        const QString name = m_key + QStringLiteral(".socket");
        const QString planted = runtime + QLatin1Char('/') + name;
        const QByteArray plantedPath = QFile::encodeName(planted);
        const QString target = scratch.filePath(QStringLiteral("target"));
        ScopedEnvironment environment;
        QLocalServer squatter;

        if (inTheWay == u"abstract name") {
            squatter.setSocketOptions(QLocalServer::AbstractNamespaceOption);
            QVERIFY(squatter.listen(m_key));
        } else if (inTheWay == u"foreign socket") {
            // Listening: a later start that connected to it would hand its
            // request to the other user.
            QVERIFY(squatter.listen(planted));
            QCOMPARE(::lchown(plantedPath.constData(), kNobody, kNobody), 0);
        } else if (inTheWay == u"dead socket" || inTheWay == u"foreign folder") {
            QVERIFY(leaveDeadSocket(planted));
            if (inTheWay == u"foreign folder") {
                QCOMPARE(::lchown(plantedPath.constData(), kNobody, kNobody), 0);
                QCOMPARE(::chown(QFile::encodeName(runtime).constData(), kNobody, kNobody), 0);
            }
        } else if (inTheWay == u"link") {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
            file.close();
            QCOMPARE(::symlink(QFile::encodeName(target).constData(), plantedPath.constData()), 0);
        } else if (inTheWay == u"open folder") {
            QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), 0777), 0);
        } else if (inTheWay == u"folder link") {
            const QString link = scratch.filePath(QStringLiteral("runtime-link"));
            QVERIFY(QFile::link(runtime, link));
            runtime = link;
        }
        if (inTheWay == u"no folder")
            environment.unset("XDG_RUNTIME_DIR");
        else
            environment.set("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        if (inTheWay == u"foreign socket" || inTheWay == u"link") {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                "single-instance socket .* is taken by something else than a socket of this user's own")));
        }
        const Identity before = identityOf(planted);

        const QString expected = (inRuntimeFolder ? runtime : cacheFolder()) + QLatin1Char('/') + name;
        {
            SingleInstance first(m_key);
            QVERIFY(first.isFirst());
            QCOMPARE(first.socketPath(), expected);
            QSignalSpy requests(&first, &SingleInstance::showRequested);

            SingleInstance second(m_key);
            QVERIFY(!second.isFirst());
            const LaunchToken launch {longestToken(), "launcher/Quorbel/4711-0-host_TIME3141592"};
            QElapsedTimer clock;
            clock.start();
            QVERIFY(second.askFirstToShow(launch, 3000));
            QTRY_COMPARE_WITH_TIMEOUT(requests.size(), 1, 3000);
            QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(requests.first().first().value<LaunchToken>(), launch);
            QVERIFY(!squatter.hasPendingConnections());
        }
        // The first copy's socket goes with it; what others put there stays
        // as it was, and a link's target is untouched.
        QVERIFY(!identityOf(expected).exists);
        if (inTheWay == u"foreign socket" || inTheWay == u"link" || inTheWay == u"foreign folder") {
            const Identity after = identityOf(planted);
            QVERIFY(after.exists);
            QCOMPARE(after.inode, before.inode);
            QCOMPARE(after.owner, before.owner);
        }
        if (inTheWay == u"link") {
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("kept"));
        }
        if (inTheWay == u"foreign folder")
            QCOMPARE(::chown(QFile::encodeName(runtime).constData(), 0, 0), 0);
    }

    // Anything but a complete request to show the window, sent within the
    // time allowed, is refused: the first copy closes the connection without
    // showing its window, and answers the next request as before.
    void requestsOtherThanShowAreRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("why");
        const QByteArray longest = longestToken();
        QTest::newRow("too long") << "show\nactivation-token=" + longest + "\nstartup-id=" + longest + "\n"
                + QByteArray(600, 'x') + "\n\n" << "was too long";
        QTest::newRow("endless line") << QByteArray(64 * 1024, 'x') << "was too long";
        QTest::newRow("another request") << QByteArray("open /etc/shadow\n\n") << "was not a request";
        QTest::newRow("NUL in the show line") << QByteArray("show\0\n\n", 7) << "was not a request";
        QTest::newRow("token too long") << "show\nactivation-token=" + longest + "a\n\n" << "was not a request";
        QTest::newRow("space in a token") << QByteArray("show\nstartup-id=a b\n\n") << "was not a request";
        QTest::newRow("control byte in a token") << QByteArray("show\nstartup-id=a\x1b]0;\n\n")
                                                 << "was not a request";
        QTest::newRow("empty token") << QByteArray("show\nactivation-token=\n\n") << "was not a request";
        QTest::newRow("a token twice") << QByteArray("show\nstartup-id=a\nstartup-id=b\n\n") << "was not a request";
        QTest::newRow("unknown field") << QByteArray("show\ndisplay=:0\n\n") << "was not a request";
        QTest::newRow("more after the end") << QByteArray("show\n\nshow\n\n") << "was not a request";
        QTest::newRow("never complete") << QByteArray("show\n") << "was not complete in time";
    }

    void requestsOtherThanShowAreRefused()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, why);
        SingleInstance first(m_key);
        QVERIFY(!first.socketPath().isEmpty());
        QSignalSpy requests(&first, &SingleInstance::showRequested);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("request to show the window was refused: it ")
                                                + QRegularExpression::escape(why)));

        QLocalSocket hostile;
        hostile.connectToServer(first.socketPath());
        QVERIFY(hostile.waitForConnected(1000));
        hostile.write(request);
        QTRY_COMPARE_WITH_TIMEOUT(hostile.state(), QLocalSocket::UnconnectedState,
                                  SingleInstance::kRequestWaitMs + 2000);
        QCOMPARE(requests.size(), 0);

        QLocalSocket later;
        later.connectToServer(first.socketPath());
        QVERIFY(later.waitForConnected(1000));
        later.write("show\nstartup-id=id_TIME1\n\n");
        QTRY_COMPARE(requests.size(), 1);
        QCOMPARE(requests.first().first().value<LaunchToken>(), (LaunchToken {{}, "id_TIME1"}));
    }

    // The window manager lets a window come forward at the time of the user's
    // action that launched the later start, which the startup id carries.
    void startupIdCarriesTheLaunchTime_data()
    {
        QTest::addColumn<QByteArray>("startupId");
        QTest::addColumn<uint>("time");
        QTest::newRow("time") << QByteArray("gnome-shell/Quorbel/2718-6-host_TIME123456") << 123456u;
        QTest::newRow("last of two") << QByteArray("a_TIME1-b_TIME42") << 42u;
        QTest::newRow("largest time") << QByteArray("x_TIME4294967295") << 4294967295u;
        QTest::newRow("beyond 32 bits") << QByteArray("x_TIME4294967296") << 0u;
        QTest::newRow("eleven digits") << QByteArray("x_TIME00000000001") << 0u;
        QTest::newRow("no digits") << QByteArray("x_TIME") << 0u;
        QTest::newRow("not digits") << QByteArray("x_TIME12a") << 0u;
        QTest::newRow("no time") << QByteArray("kwin-7f3a") << 0u;
    }

    void startupIdCarriesTheLaunchTime()
    {
        QFETCH(QByteArray, startupId);
        QFETCH(uint, time);
        QCOMPARE(startupIdTime(startupId), time);
    }

private:
    QTemporaryDir m_cache;
    int m_round = 0;
    QString m_key;
    QString m_lockPath;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
