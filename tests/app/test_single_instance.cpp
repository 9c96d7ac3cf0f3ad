// One running program per user: only a lock that another program holds
// keeps a start from running. Whatever else stands in the way of the lock
// file lets the program run on its own, and the log says why.

#include "ScratchFolder.h"
#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorbel;

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    // The lock lives in a cache folder of the test's own.
    void initTestCase()
    {
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
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

private:
    QTemporaryDir m_cache;
    int m_round = 0;
    QString m_key;
    QString m_lockPath;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
