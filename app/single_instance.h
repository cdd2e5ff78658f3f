// Keeps the program to one running instance per user: a named mutex on Windows, a lock file in
// the user's runtime directory elsewhere. Held from acquire() until release() or destruction.
#pragma once

#include <memory>
#include <string>

namespace kvu {

class SingleInstance {
  public:
    enum class State {
        Acquired,        // this process is the one instance
        AlreadyRunning,  // another instance holds the lock
        Unavailable,     // no lock could be made at all; run without one
    };

    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    State acquire();
    void release();
    bool held() const;
    // Why the lock is unavailable, for the log; empty otherwise.
    const std::string& error() const { return error_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
};

// The name of the mutex, and of the lock file with ".lock" appended.
inline constexpr const char* kInstanceLockName = "KVUUtility.exe";

}  // namespace kvu
