// The named-mutex variant for Windows: the standard library and the Windows API only.
#include "app/single_instance.h"

#include <windows.h>

namespace kvu {

struct SingleInstance::Impl {
    HANDLE mutex = nullptr;
};

SingleInstance::SingleInstance() : impl_(std::make_unique<Impl>()) {}

SingleInstance::~SingleInstance() {
    release();
}

SingleInstance::State SingleInstance::acquire() {
    release();
    error_.clear();
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"KVUUtility.exe");
    if (mutex == nullptr) {
        error_ = "CreateMutexW failed, error " + std::to_string(GetLastError());
        return State::Unavailable;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        SetLastError(0);
        CloseHandle(mutex);
        return State::AlreadyRunning;
    }
    impl_->mutex = mutex;
    return State::Acquired;
}

// Must run on the thread that acquired: that thread owns the mutex.
void SingleInstance::release() {
    if (impl_->mutex != nullptr) {
        ReleaseMutex(impl_->mutex);
        CloseHandle(impl_->mutex);
        impl_->mutex = nullptr;
    }
}

bool SingleInstance::held() const {
    return impl_->mutex != nullptr;
}

}  // namespace kvu
