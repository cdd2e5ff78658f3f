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

    QTemporaryDir runtime_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

TEST_F(SingleInstanceLock, SecondHolderIsRefusedUntilTheFirstReleases) {
    kvu::SingleInstance first;
    kvu::SingleInstance second;
    ASSERT_EQ(first.acquire(), kvu::SingleInstance::State::Acquired) << first.error();
    EXPECT_TRUE(first.held());
    EXPECT_TRUE(QFile::exists(lockPath()));

    EXPECT_EQ(second.acquire(), kvu::SingleInstance::State::AlreadyRunning);
    EXPECT_FALSE(second.held());

    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_FALSE(QFile::exists(lockPath()));
    EXPECT_EQ(second.acquire(), kvu::SingleInstance::State::Acquired);
    EXPECT_EQ(first.acquire(), kvu::SingleInstance::State::AlreadyRunning);
}

TEST_F(SingleInstanceLock, DestructionReleases) {
    {
        kvu::SingleInstance first;
        ASSERT_EQ(first.acquire(), kvu::SingleInstance::State::Acquired);
    }
    EXPECT_FALSE(QFile::exists(lockPath()));
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
    EXPECT_TRUE(QFile::exists(lockPath()));
    kvu::SingleInstance third;
    EXPECT_EQ(third.acquire(), kvu::SingleInstance::State::AlreadyRunning);
}

}  // namespace
