// One rule for the process-wide services (the file system, the desktop, the
// run log, the undo journal, the launch's paths): a service is installed for
// the life of a scope, and the end of that scope puts back whatever was
// installed before, so scopes nest (a test inside a test's platform, a dry
// run's plan inside the dry run) and nothing outlives the one who installed it.
//
//     MyFiles files;
//     const Installed<FileSystem> use(files);  // Installed<FileSystem>::Current() is &files
//
// The program's entry point installs the real services; each service's own
// accessor says what it gives while nothing is installed.
#pragma once

namespace srdw {

template <class Service>
class [[nodiscard]] Installed {
  public:
    explicit Installed(Service& service) noexcept : previous_(current_) { current_ = &service; }
    ~Installed() { current_ = previous_; }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

    // The service of the innermost scope still open, or none.
    static Service* Current() noexcept { return current_; }

  private:
    static inline Service* current_ = nullptr;
    Service* previous_;
};

}  // namespace srdw
