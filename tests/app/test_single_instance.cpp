#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/single_instance.h"

namespace {

// Points the per-user runtime directory at a fresh directory for the test's duration.
class SingleInstanceLock : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        previous_ = qgetenv("XDG_RUNTIME_DIR");
        hadPrevious_ = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
    }
    void TearDown() override {
        if (hadPrevious_) {
            qputenv("XDG_RUNTIME_DIR", previous_);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
    }
    QString lockPath() const { return runtime_.filePath(QStringLiteral("KVUUtility.exe.lock")); }
    // The lock file is the POSIX rule's; Windows holds a named mutex and leaves no file.
    bool lockFileShows(bool held) const {
#ifdef _WIN32
        return !QFile::exists(lockPath());
#else
        return QFile::exists(lockPath()) == held;
#endif
    }

    QTemporaryDir runtime_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

TEST_F(SingleInstanceLock, SecondHolderIsRefusedUntilTheFirstReleases) {
    kvu::SingleInstance first;
    kvu::SingleInstance second;
    ASSERT_EQ(first.acquire(), kvu::SingleInstance::State::Acquired) << first.error();
    EXPECT_TRUE(first.held());
    EXPECT_TRUE(lockFileShows(true));

    EXPECT_EQ(second.acquire(), kvu::SingleInstance::State::AlreadyRunning);
    EXPECT_FALSE(second.held());

    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(lockFileShows(false));
    EXPECT_EQ(second.acquire(), kvu::SingleInstance::State::Acquired);
    EXPECT_EQ(first.acquire(), kvu::SingleInstance::State::AlreadyRunning);
}

TEST_F(SingleInstanceLock, DestructionReleases) {
    {
        kvu::SingleInstance first;
        ASSERT_EQ(first.acquire(), kvu::SingleInstance::State::Acquired);
    }
    EXPECT_TRUE(lockFileShows(false));
    kvu::SingleInstance again;
    EXPECT_EQ(again.acquire(), kvu::SingleInstance::State::Acquired);
}

TEST_F(SingleInstanceLock, RefusedLockIsNotRemoved) {
    kvu::SingleInstance first;
    ASSERT_EQ(first.acquire(), kvu::SingleInstance::State::Acquired);
    {
        kvu::SingleInstance second;
        EXPECT_EQ(second.acquire(), kvu::SingleInstance::State::AlreadyRunning);
    }
    // The refused one going away must not take the holder's lock with it.
    EXPECT_TRUE(lockFileShows(true));
    kvu::SingleInstance third;
    EXPECT_EQ(third.acquire(), kvu::SingleInstance::State::AlreadyRunning);
}

}  // namespace
