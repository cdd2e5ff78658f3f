// The lock-file variant, for every platform but Windows.
#include "app/single_instance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace kvu {

namespace {

QString lockDirectory() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

}  // namespace

struct SingleInstance::Impl {
    std::unique_ptr<QLockFile> lock;
};

SingleInstance::SingleInstance() : impl_(std::make_unique<Impl>()) {}

SingleInstance::~SingleInstance() {
    release();
}

SingleInstance::State SingleInstance::acquire() {
    release();
    error_.clear();
    const QString path =
        QDir(lockDirectory())
            .filePath(QString::fromLatin1(kInstanceLockName) + QStringLiteral(".lock"));
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age: a running instance keeps it however long it runs. A lock left by a
    // crashed instance is still taken over, because its process no longer exists.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        impl_->lock = std::move(lock);
        return State::Acquired;
    }
    if (lock->error() == QLockFile::LockFailedError) {
        return State::AlreadyRunning;
    }
    error_ = QStringLiteral("cannot create %1").arg(path).toStdString();
    return State::Unavailable;
}

void SingleInstance::release() {
    if (impl_->lock) {
        impl_->lock->unlock();
        impl_->lock.reset();
    }
}

bool SingleInstance::held() const {
    return impl_->lock != nullptr;
}

}  // namespace kvu
